// input.cpp -- Windows backend: DirectInput 5 keyboard snapshots, and the mouse kept to the show
#define DIRECTINPUT_VERSION 0x0500
#include <windows.h>
#include <dinput.h>

#include <array>

#include "platform/backend.h"
#include "platform/input.h"
#include "platform/win32/win32.h"

namespace platform {

namespace {

// Acquiring can succeed while the device is lost again at once (focus going back and forth);
// a poll gives up after this many tries and keeps the last snapshot.
constexpr int32_t ACQUIRE_TRIES = 4;

struct Win32Input {
    LPDIRECTINPUTA input = nullptr;
    LPDIRECTINPUTDEVICEA keyboard = nullptr;
    LPDIRECTINPUTDEVICEA mouse = nullptr;  // acquired so the pointer stays away; never read
};
Win32Input devices;

// Lost input, and a device that never was acquired (the window was not in front when the
// keyboard opened): both are answered by acquiring again.
bool needs_acquiring(HRESULT result)
{
    return result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED;
}

}  // namespace

bool input_open(WindowHandle window)
{
    HWND handle = static_cast<HWND>(window);
    DirectInputCreateA(win32::module_instance(), DIRECTINPUT_VERSION, &devices.input, nullptr);
    if (devices.input != nullptr) {
        devices.input->CreateDevice(GUID_SysKeyboard, &devices.keyboard, nullptr);
        devices.input->CreateDevice(GUID_SysMouse, &devices.mouse, nullptr);
    }
    if (devices.keyboard != nullptr) {
        devices.keyboard->SetDataFormat(&c_dfDIKeyboard);
        devices.keyboard->SetCooperativeLevel(handle, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
        devices.keyboard->Acquire();
    }
    if (devices.mouse != nullptr) {
        devices.mouse->SetDataFormat(&c_dfDIMouse);
        devices.mouse->SetCooperativeLevel(handle, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
        devices.mouse->Acquire();
    }
    backend::key_state_clear();
    return true;
}

void win32::release_pointer()
{
    if (devices.mouse != nullptr) devices.mouse->Unacquire();
}

void input_poll()
{
    win32::pump_messages();
    if (devices.keyboard == nullptr) {
        backend::key_state_update(nullptr);
        return;
    }
    std::array<uint8_t, KEY_COUNT> device{};
    HRESULT result = devices.keyboard->GetDeviceState(KEY_COUNT, device.data());
    for (int32_t tries = 0; needs_acquiring(result) && tries < ACQUIRE_TRIES; ++tries) {
        if (FAILED(devices.keyboard->Acquire())) break;
        result = devices.keyboard->GetDeviceState(KEY_COUNT, device.data());
    }
    backend::key_state_update(SUCCEEDED(result) ? device.data() : nullptr);
}

}  // namespace platform
