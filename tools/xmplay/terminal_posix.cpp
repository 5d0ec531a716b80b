// terminal_posix.cpp -- the terminal around live playing on POSIX systems

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

#include "terminal.h"

namespace xmplay {

namespace {

volatile sig_atomic_t interrupted = 0;

void on_signal(int)
{
    interrupted = 1;
}

struct TerminalState {
    termios saved{};
    bool raw = false;
    struct sigaction old_int {
    }, old_term{}, old_hup{};
};
TerminalState terminal;

}  // namespace

bool output_is_terminal()
{
    return isatty(STDOUT_FILENO) != 0;
}

KeyReader::KeyReader()
{
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &terminal.old_int);
    sigaction(SIGTERM, &action, &terminal.old_term);
    sigaction(SIGHUP, &action, &terminal.old_hup);

    terminal.raw = isatty(STDIN_FILENO) != 0 && tcgetattr(STDIN_FILENO, &terminal.saved) == 0;
    if (!terminal.raw) return;
    termios raw = terminal.saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    terminal.raw = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

KeyReader::~KeyReader()
{
    if (terminal.raw) tcsetattr(STDIN_FILENO, TCSANOW, &terminal.saved);
    terminal.raw = false;
    sigaction(SIGINT, &terminal.old_int, nullptr);
    sigaction(SIGTERM, &terminal.old_term, nullptr);
    sigaction(SIGHUP, &terminal.old_hup, nullptr);
}

bool KeyReader::quit_pressed()
{
    if (interrupted != 0) return true;
    if (!terminal.raw) return false;
    char keys[32];
    const ssize_t count = read(STDIN_FILENO, keys, sizeof keys);
    for (ssize_t i = 0; i < count; ++i) {
        if (keys[i] == 'q' || keys[i] == 'Q') return true;
        if (keys[i] == 27) {
            if (i + 1 == count) return true;
            break;
        }
    }
    return false;
}

bool run_quietly(const std::function<bool()>& open)
{
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    if (saved >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
    const bool opened = open();
    std::fflush(stderr);
    if (saved >= 0) {
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
    return opened;
}

}  // namespace xmplay
