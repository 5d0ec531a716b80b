// flash.h -- the general-flash test over a run of RGB565 frames: a flash is a pair of opposite
// changes of relative luminance of at least 0.1 over at least a quarter of the screen, where
// the darker state is below 0.8; more than 3 flashes in any one second is unsafe
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace flash {

constexpr double LUMINANCE_STEP = 0.1;  // relative luminance, 0 (black) .. 1 (white)
constexpr double DARK_BELOW = 0.8;      // a change counts only if its darker end is below this
constexpr int32_t SAFE_FLASHES = 3;     // the most flashes in any one second that are safe
constexpr int32_t CELL = 4;             // luminance is followed in CELL x CELL pixel cells

// sRGB relative luminance of an RGB565 pixel, each channel widened to 8 bits and linearised.
double luminance(uint16_t pixel);

// Follows the frames of one screen in order and says on which the screen as a whole changed.
class FlashMeter {
public:
    // `width` and `height` in pixels, both multiples of CELL.
    FlashMeter(int32_t width, int32_t height);

    // `pixels`: height rows of width RGB565 pixels, `pitch` bytes apart. True when this frame
    // changes the screen: a quarter of it went a step brighter on it after the screen's last
    // change was darker (or before any), or likewise darker, or a quarter went each way at
    // once. Two changes make a flash.
    bool add_frame(const uint8_t* pixels, int32_t pitch);

private:
    struct Cell {
        float low = 0;    // darkest since its last change up
        float high = 0;   // brightest since its last change down
        int8_t last = 0;  // +1 after a change up, -1 after one down, 0 before the first
    };
    int32_t columns_;
    int32_t rows_;
    std::vector<Cell> cells_;
    std::vector<float> sums_;  // this frame's luminance summed per cell
    int32_t screen_last_ = 0;  // the screen's last change: +1, -1, or 0 before any or after both
    bool first_ = true;
};

// One second: from `first_frame` on, with `flashes` flashes in it.
struct Second {
    size_t first_frame = 0;
    int32_t flashes = 0;
};

// Of the seconds that start in frames [first, end), the one with the most flashes (the first
// of those that tie). `changed` holds one entry per frame, true where the screen changed; a
// second is `frames_per_second` frames, cut short where `changed` ends.
Second busiest_second(const std::vector<bool>& changed, size_t first, size_t end,
                      int32_t frames_per_second);

}  // namespace flash
