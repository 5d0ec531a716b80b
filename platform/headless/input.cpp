// input.cpp -- headless backend: the keyboard follows a script and injected key events
#include <algorithm>
#include <array>
#include <utility>
#include <vector>
#include "platform/backend.h"
#include "platform/headless/headless.h"
#include "platform/headless/state.h"
#include "platform/input.h"

namespace platform {

namespace {

struct HeadlessKeyboard {
    bool open = false;
    std::vector<headless::KeyHold> script;
    std::array<bool, KEY_COUNT> held{};
    std::array<bool, KEY_COUNT> pressed_since_poll{};  // so a quick tap is not lost
    int32_t failing_polls = 0;
};
HeadlessKeyboard keyboard;

}  // namespace

bool input_open(WindowHandle window)
{
    (void)window;
    keyboard.open = true;
    backend::key_state_clear();
    return true;
}

void input_poll()
{
    if (!keyboard.open) {
        backend::key_state_update(nullptr);
        return;
    }
    if (keyboard.failing_polls > 0) {
        --keyboard.failing_polls;
        backend::key_state_update(nullptr);
        return;
    }
    std::array<uint8_t, KEY_COUNT> device{};
    for (int32_t k = 0; k < KEY_COUNT; ++k) {
        if (keyboard.held[k] || keyboard.pressed_since_poll[k]) device[k] = 0x80;
    }
    const uint64_t frame = headless::frames_presented();
    for (const headless::KeyHold& hold : keyboard.script) {
        if (frame >= hold.first_frame && frame <= hold.last_frame) device[hold.scan_code] = 0x80;
    }
    keyboard.pressed_since_poll.fill(false);
    backend::key_state_update(device.data());
}

void headless::set_key_script(std::vector<KeyHold> script)
{
    keyboard.script = std::move(script);
}

void headless::key_event(uint8_t scan_code, bool down)
{
    keyboard.held[scan_code] = down;
    if (down) keyboard.pressed_since_poll[scan_code] = true;
}

void headless::fail_polls(int32_t count)
{
    keyboard.failing_polls = std::max(count, 0);
}

void headless::detail::input_reset()
{
    keyboard = {};
}

}  // namespace platform
