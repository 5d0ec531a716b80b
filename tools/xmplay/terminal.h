// terminal.h -- the terminal around live playing: single keys without Enter, Ctrl-C, and a
// quiet stderr while the sound device is opened; one implementation per platform
#pragma once
#include <functional>

namespace xmplay {

bool output_is_terminal();  // stdout

// While one exists, keys arrive at once without echo and Ctrl-C (or the window closing) is
// caught instead of ending the process; the terminal is put back as it was afterwards.
class KeyReader {
public:
    KeyReader();
    ~KeyReader();
    KeyReader(const KeyReader&) = delete;
    KeyReader& operator=(const KeyReader&) = delete;

    // True once q or Escape was pressed or Ctrl-C came. An Escape that starts a key sequence
    // (an arrow key) does not count.
    bool quit_pressed();
};

// Runs `open` with stderr silenced: sound libraries print their own complaints while they
// probe for devices, and the one line xmplay prints says what matters.
bool run_quietly(const std::function<bool()>& open);

}  // namespace xmplay
