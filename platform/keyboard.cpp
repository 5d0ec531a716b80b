// keyboard.cpp -- key_state and the snapshot rule, shared by every backend
#include <algorithm>
#include <iterator>
#include "platform/backend.h"

namespace platform {

int32_t key_state[KEY_COUNT] = {};

void backend::key_state_update(const uint8_t* device_state)
{
    if (device_state != nullptr) {
        for (int32_t k = 0; k < KEY_COUNT; ++k)
            key_state[k] = (device_state[k] & 0x80) != 0 ? 1 : 0;
    }
    // A closed window cannot be answered any other way: Escape held runs the show out and
    // shuts it down cleanly, even when the keyboard itself cannot be read.
    if (window_close_requested()) key_state[KEY_ESCAPE] = 1;
}

void backend::key_state_clear()
{
    std::fill(std::begin(key_state), std::end(key_state), 0);
}

}  // namespace platform
