// demo.cpp -- start-up, the show, shut-down

#include "shell/demo.h"

#include "assets/assets.h"
#include "platform/input.h"
#include "platform/video.h"
#include "platform/window.h"
#include "player/player.h"
#include "render/music_source.h"
#include "render/tables.h"
#include "shell/timeline.h"

namespace shell {

int run_demo(void* instance_handle, int32_t show_command, const DemoSetup& setup)
{
    platform::instance_handle = instance_handle;
    platform::show_command = show_command;

    // The song is the module linked into the program; the stream serves it whatever the name.
    player::mem_register(assets::module_xm, assets::MODULE_SIZE);
    player::stream_set_callbacks(player::mem_open, player::mem_close, player::mem_read,
                                 player::mem_seek, player::mem_tell);
    player::sound_set_buffer_time(100);
    // Neither result is looked at: without sound or song the music stays at position 0 and
    // every scene waits for Escape.
    if (setup.offline_sound) {
        player::sound_open_offline(44100);
    } else {
        player::sound_open(44100);
    }
    player::Song* song = player::song_load("quorbela.xm", nullptr);
    player::song_set_rules(song, player::Rules::SHOW);  // the show is timed to its own engine
    player::set_music_song(song);
    render::set_music_position_source(player::music_position);

    render::init_rotation_tables();
    render::init_wave_tables();
    render::init_reciprocal_table();
    render::init_palettes();

    platform::window_create();
    platform::input_open(platform::main_window);
    platform::video_create();                // ends the process if there is no display
    platform::video_set_mode(320, 200, 16);  // likewise if the mode is refused
    platform::frame_alloc(320, 200, 16);
    render::init_warp();
    player::song_start(song);

    run_timeline(setup.gentle);

    platform::frame_free();
    platform::video_release();
    // Freeing the song takes it off the register the renderer reads: the position is 0 now.
    player::song_free(song);
    player::sound_close();
    platform::window_quit();
    return 0;
}

}  // namespace shell
