// list.h -- circular doubly-linked lists whose nodes begin with `next` and `prev`
//
// A list head is a node of the same type whose payload is unused. An empty head and an
// unlinked node point to themselves both ways, so unlinking twice is harmless.
#pragma once

namespace player {

template <class Node>
void list_init(Node* node)
{
    node->next = node;
    node->prev = node;
}

// Links `node` just before `anchor`: at the tail when `anchor` is the list head.
template <class Node>
void list_insert_before(Node* node, Node* anchor)
{
    node->next = anchor;
    node->prev = anchor->prev;
    anchor->prev->next = node;
    anchor->prev = node;
}

// Joins the node's neighbours and leaves the node pointing to itself.
template <class Node>
void list_unlink(Node* node)
{
    node->prev->next = node->next;
    node->next->prev = node->prev;
    list_init(node);
}

template <class Node>
bool list_empty(const Node* head)
{
    return head->next == head;
}

}  // namespace player
