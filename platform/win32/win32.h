// win32.h -- Windows backend internals shared between its window, video and input files
#pragma once
#include <windows.h>

namespace platform::win32 {

// The module instance: instance_handle as the entry point stored it, or the program's own when
// an entry point without one (main) started the show.
HINSTANCE module_instance();

// Hands every waiting message of this thread to its window. The show runs no message loop of
// its own; the keyboard poll calls this once per frame.
void pump_messages();

// Lets go of the mouse the input devices hold, so an error box can be clicked.
void release_pointer();

}  // namespace platform::win32
