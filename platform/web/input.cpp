// input.cpp -- browser backend: the page's key events as a PC scan-code snapshot
#include <emscripten/emscripten.h>

#include <array>

#include "platform/backend.h"
#include "platform/input.h"
#include "platform/web/keys.h"
#include "platform/web/page.h"
#include "platform/web/web.h"

namespace platform {

namespace {

struct WebKeyboard {
    bool open = false;
    bool scripted = false;
    std::array<bool, KEY_COUNT> held{};
    // Keys that went down since the last poll: a tap that is over before the poll still counts.
    std::array<bool, KEY_COUNT> pressed_since_poll{};
};
WebKeyboard keyboard;

void press(uint8_t code, bool down)
{
    if (code == 0) return;
    keyboard.held[code] = down;
    if (down) keyboard.pressed_since_poll[code] = true;
}

}  // namespace

bool input_open(WindowHandle window)
{
    (void)window;
    const bool scripted = keyboard.scripted;
    keyboard = {};
    keyboard.scripted = scripted;
    keyboard.open = true;
    web_keyboard_open();
    backend::key_state_clear();
    return true;
}

void input_poll()
{
    if (!keyboard.open) {
        backend::key_state_update(nullptr);
        return;
    }
    std::array<uint8_t, KEY_COUNT> device{};
    for (int32_t k = 0; k < KEY_COUNT; ++k) {
        if (keyboard.held[k] || keyboard.pressed_since_poll[k]) device[k] = 0x80;
    }
    keyboard.pressed_since_poll.fill(false);
    backend::key_state_update(device.data());
}

void web::script_keyboard(bool scripted)
{
    keyboard.scripted = scripted;
}

void web::key_event(uint8_t scan_code, bool down)
{
    press(scan_code, down);
}

}  // namespace platform

// The page's key events (platform/web/library.js), by KeyboardEvent.code.
extern "C" EMSCRIPTEN_KEEPALIVE void web_key_event(const char* code, int down)
{
    if (platform::keyboard.scripted) return;
    platform::press(platform::web::pc_scan_code(code), down != 0);
}
