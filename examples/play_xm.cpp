// play_xm.cpp -- plays an XM file on the sound device through the installed player library
// until Enter is pressed

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/audio.h"
#include "platform/sdl/sdl_audio.h"
#include "player/player.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: play_xm FILE.xm\n", stderr);
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    player::mem_register(bytes.data(), static_cast<uint32_t>(bytes.size()));
    player::stream_set_callbacks(player::mem_open, player::mem_close, player::mem_read,
                                 player::mem_seek, player::mem_tell);
    platform::audio_set_device(platform::sdl_audio_device());
    if (!player::sound_open(44100)) {
        std::fprintf(stderr, "play_xm: no sound device (%s)\n", platform::audio_error());
        return 1;
    }
    player::Song* song = player::song_load(argv[1], nullptr);
    if (song == nullptr) {
        std::fprintf(stderr, "play_xm: %s: not a module this player can load\n", argv[1]);
        player::sound_close();
        return 1;
    }
    player::song_start(song);
    std::puts("playing; Enter stops");
    std::getchar();
    player::song_free(song);
    player::sound_close();
    return 0;
}
