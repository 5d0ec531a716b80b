// input.h -- keyboard snapshot by PC scan code, refreshed once per frame
#pragma once
#include <cstdint>
#include "platform/window.h"

namespace platform {

constexpr int32_t KEY_COUNT = 256;

// PC set-1 scan codes (extended keys have bit 7 set: 0xC8 is the up arrow).
constexpr uint8_t KEY_ESCAPE = 0x01;
constexpr uint8_t KEY_1 = 0x02;
constexpr uint8_t KEY_0 = 0x0B;
constexpr uint8_t KEY_Q = 0x10;
constexpr uint8_t KEY_RETURN = 0x1C;
constexpr uint8_t KEY_LEFT_CONTROL = 0x1D;
constexpr uint8_t KEY_A = 0x1E;
constexpr uint8_t KEY_LEFT_SHIFT = 0x2A;
constexpr uint8_t KEY_Z = 0x2C;
constexpr uint8_t KEY_SPACE = 0x39;
constexpr uint8_t KEY_F1 = 0x3B;
constexpr uint8_t KEY_F10 = 0x44;
constexpr uint8_t KEY_F11 = 0x57;
constexpr uint8_t KEY_F12 = 0x58;
constexpr uint8_t KEY_NUMPAD_ENTER = 0x9C;
constexpr uint8_t KEY_RIGHT_CONTROL = 0x9D;
constexpr uint8_t KEY_NUMPAD_DIVIDE = 0xB5;
constexpr uint8_t KEY_RIGHT_ALT = 0xB8;
constexpr uint8_t KEY_HOME = 0xC7;
constexpr uint8_t KEY_UP = 0xC8;
constexpr uint8_t KEY_LEFT = 0xCB;
constexpr uint8_t KEY_RIGHT = 0xCD;
constexpr uint8_t KEY_DOWN = 0xD0;
constexpr uint8_t KEY_DELETE = 0xD3;

// 1 while the key was down at the last successful poll, else 0; entry KEY_ESCAPE is Escape.
extern int32_t key_state[KEY_COUNT];

bool input_open(WindowHandle window);  // clears key_state; true in every case
void input_poll();  // refreshes key_state; a failed read keeps the previous snapshot

}  // namespace platform
