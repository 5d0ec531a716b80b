// timeline.h -- the show: eight scenes with two white flashes, each scene a frame loop that
// ends when the music reaches the scene's end position or Escape is down
//
// Animation counters move once per frame; scene changes, beats and texts follow the music
// position, read through render::current_music_position.
#pragma once
#include <cstdint>
#include <functional>

namespace shell {

constexpr int32_t SCENE_COUNT = 10;  // eight scenes and two flashes, in show order

// Where a driver can watch the show go by (capture, tests). `scene` is "1" .. "8" or "flash".
struct SceneHooks {
    std::function<void(const char* scene)> begin;  // before the scene's first frame
    // After its last frame, with the position its end test read on that frame (read for the
    // record after a flash and in scene 8, whose end tests do not look at it).
    std::function<void(const char* scene, uint16_t end_position)> end;
};
void set_scene_hooks(SceneHooks hooks);

// One frame of scene 1 .. 8 as the show draws it, from the animation state as it stands, not
// presented (previews and benchmarks). Scene 6 needs the cloud, which the show makes on the
// way in: call make_show_cloud first.
void scene_frame(int32_t scene);
void make_show_cloud();

// Runs the whole show; returns once the last scene has seen Escape, or after end_show.
// `gentle` is the show for viewers sensitive to flicker: scene 7 swaps its pictures once per
// listed row instead of on every frame of it, and each white flash is a short fade up to white
// and back.
void run_timeline(bool gentle = false);
// Ends the show after the frame being presented, without the scenes still to come: for a
// driver whose output failed (quorbela-capture), called from its frame sink or clock.
void end_show();

// Every piece of animation state the show drives (its own, the passes' and the renderer's
// counters) back to where a fresh process starts.
void reset_timeline();

}  // namespace shell
