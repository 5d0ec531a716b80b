// sdl.h -- SDL backend internals shared between its window, video and input files
#pragma once
#include <SDL.h>
#include <cstdint>

namespace platform::sdl {

// PC set-1 scan code (extended keys with bit 7 set) for an SDL scancode; 0 when the key has
// none.
uint8_t pc_scan_code(SDL_Scancode scancode);

// Takes a reference on SDL's video subsystem; false when there is no display. SDL falls back
// to its offscreen or dummy driver when nothing else works: that counts as no display unless
// SDL_VIDEODRIVER asked for it by name.
bool video_init();

// Turns one SDL event into the window's messages; true when it was one of them.
bool window_event(const SDL_Event& event);

}  // namespace platform::sdl
