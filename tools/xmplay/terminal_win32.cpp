// terminal_win32.cpp -- the console around live playing on Windows

#include <windows.h>
#include <conio.h>
#include <io.h>

#include <atomic>
#include <cstdio>

#include "terminal.h"

namespace xmplay {

namespace {

std::atomic<bool> interrupted{false};

// Runs on a thread of its own that the system starts for Ctrl-C, Ctrl-Break or the console
// window closing; answering TRUE keeps the process alive until the player has stopped.
BOOL WINAPI on_console_event(DWORD)
{
    interrupted.store(true);
    return TRUE;
}

bool console_input()
{
    return _isatty(_fileno(stdin)) != 0;
}

}  // namespace

bool output_is_terminal()
{
    return _isatty(_fileno(stdout)) != 0;
}

KeyReader::KeyReader()
{
    interrupted.store(false);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

KeyReader::~KeyReader()
{
    SetConsoleCtrlHandler(on_console_event, FALSE);
}

bool KeyReader::quit_pressed()
{
    if (interrupted.load()) return true;
    if (!console_input()) return false;
    while (_kbhit() != 0) {
        const int key = _getch();
        if (key == 'q' || key == 'Q' || key == 27) return true;
        // Arrow and function keys come as a prefix byte and a code: skip the code.
        if ((key == 0 || key == 0xE0) && _kbhit() != 0) (void)_getch();
    }
    return false;
}

// The wave-out device prints nothing of its own.
bool run_quietly(const std::function<bool()>& open)
{
    return open();
}

}  // namespace xmplay
