// list_test.cpp -- the circular doubly-linked list

#include "player/list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct Node {
    Node* next;
    Node* prev;
    int value;
};

std::vector<int> walk(Node* head)
{
    std::vector<int> values;
    for (Node* n = head->next; n != head; n = n->next) values.push_back(n->value);
    // The backward links must mirror the forward ones.
    std::vector<int> backward;
    for (Node* n = head->prev; n != head; n = n->prev) backward.push_back(n->value);
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(values, backward);
    return values;
}

TEST(ListTest, InsertBeforeHeadAppendsInOrder)
{
    Node head{};
    Node a{nullptr, nullptr, 1}, b{nullptr, nullptr, 2}, c{nullptr, nullptr, 3};
    player::list_init(&head);
    EXPECT_TRUE(player::list_empty(&head));
    player::list_insert_before(&a, &head);
    player::list_insert_before(&b, &head);
    player::list_insert_before(&c, &head);
    EXPECT_FALSE(player::list_empty(&head));
    EXPECT_EQ(walk(&head), (std::vector<int>{1, 2, 3}));
}

TEST(ListTest, InsertBeforeANodeLinksItThere)
{
    Node head{};
    Node a{nullptr, nullptr, 1}, c{nullptr, nullptr, 3}, b{nullptr, nullptr, 2};
    player::list_init(&head);
    player::list_insert_before(&a, &head);
    player::list_insert_before(&c, &head);
    player::list_insert_before(&b, &c);
    EXPECT_EQ(walk(&head), (std::vector<int>{1, 2, 3}));
}

TEST(ListTest, UnlinkLeavesTheNodeSelfLinkedAndIsRepeatable)
{
    Node head{};
    Node a{nullptr, nullptr, 1}, b{nullptr, nullptr, 2}, c{nullptr, nullptr, 3};
    player::list_init(&head);
    player::list_insert_before(&a, &head);
    player::list_insert_before(&b, &head);
    player::list_insert_before(&c, &head);
    player::list_unlink(&b);
    EXPECT_EQ(b.next, &b);
    EXPECT_EQ(b.prev, &b);
    EXPECT_EQ(walk(&head), (std::vector<int>{1, 3}));
    player::list_unlink(&b);  // an unlinked node points to itself: unlinking again is harmless
    EXPECT_EQ(walk(&head), (std::vector<int>{1, 3}));
    player::list_unlink(&a);
    player::list_unlink(&c);
    EXPECT_TRUE(player::list_empty(&head));
}

}  // namespace
