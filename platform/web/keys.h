// keys.h -- the browser's key names (KeyboardEvent.code) as the PC scan codes the show reads
#pragma once
#include <cstdint>

namespace platform::web {

// PC set-1 scan code (extended keys with bit 7 set) for a KeyboardEvent.code such as "Escape"
// or "ArrowUp"; 0 for null, unknown names and keys without one.
uint8_t pc_scan_code(const char* code);

}  // namespace platform::web
