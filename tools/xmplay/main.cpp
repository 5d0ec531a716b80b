// main.cpp -- xmplay: plays an XM module, renders it to WAV, or tells what is in it

#include <cstdio>
#include <string>

#include "module_file.h"
#include "modes.h"
#include "options.h"

int main(int argc, char** argv)
{
    xmplay::Options options;
    std::string error;
    if (!xmplay::parse_options(argc, argv, options, error)) {
        std::fprintf(stderr, "xmplay: %s (xmplay --help tells more)\n", error.c_str());
        return 2;
    }
    if (options.mode == xmplay::Mode::HELP) {
        std::fputs(xmplay::usage_text(), stdout);
        return 0;
    }
    if (options.mode == xmplay::Mode::VERSION) {
        std::fputs(xmplay::version_text(), stdout);
        return 0;
    }

    xmplay::ModuleFile module;
    if (!xmplay::read_module_file(options.file, module, error)) {
        xmplay::report(options.file, error);
        return 1;
    }
    player::Song* song = xmplay::load_song(module, error);
    if (song == nullptr) {
        xmplay::report(options.file, error);
        return 1;
    }
    player::song_set_rules(song, options.rules);

    int code = 0;
    switch (options.mode) {
    case xmplay::Mode::INFO:
        code = xmplay::run_info(song, module, options);
        break;
    case xmplay::Mode::ROWS:
        code = xmplay::run_rows(song, options);
        break;
    case xmplay::Mode::WAV:
        code = xmplay::run_wav(song, options);
        break;
    case xmplay::Mode::PLAY:
        code = xmplay::run_play(song, module, options);
        break;
    case xmplay::Mode::HELP:
    case xmplay::Mode::VERSION:
        break;
    }
    player::song_free(song);
    return code;
}
