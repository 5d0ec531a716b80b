// flash.cpp -- the general-flash test: cells followed one by one, the screen judged as a whole
//
// How "over a quarter of the screen" is judged: the frame is cut into 4 x 4 cells and each
// cell's mean luminance is followed on its own. A cell changes when it has moved a whole step
// from the darkest (or brightest) it reached since its last change the other way, so a slow
// fade changes it once, not on every frame. The screen changes on a frame when the cells that
// changed the same way on that frame cover a quarter of it: a flash is the screen going bright
// and dark together. Motion is not flashing: a picture sliding or turning makes some cells
// brighter and others darker on every frame, each part far below a quarter. Where a quarter
// goes each way at once (two halves flashing in turn) the screen changes too. Cells rather
// than pixels, because the grain some scenes lay over their pictures moves every frame; a
// 4 x 4 cell evens it out and is far too small to hide anything the size of a quarter.

#include "tools/flash/flash.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstring>

namespace flash {

namespace {

double linear(uint32_t value8)
{
    const double c = value8 / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Each channel's share of the luminance by its RGB565 value.
struct Shares {
    std::array<float, 32> red;
    std::array<float, 64> green;
    std::array<float, 32> blue;
};

const Shares& shares()
{
    static const Shares table = [] {
        Shares s{};
        for (uint32_t v = 0; v < 32; ++v) {
            const uint32_t wide = (v << 3) | (v >> 2);
            s.red[v] = static_cast<float>(0.2126 * linear(wide));
            s.blue[v] = static_cast<float>(0.0722 * linear(wide));
        }
        for (uint32_t v = 0; v < 64; ++v)
            s.green[v] = static_cast<float>(0.7152 * linear((v << 2) | (v >> 4)));
        return s;
    }();
    return table;
}

float pixel_luminance(uint16_t pixel)
{
    const Shares& s = shares();
    return s.red[pixel >> 11] + s.green[(pixel >> 5) & 63] + s.blue[pixel & 31];
}

}  // namespace

double luminance(uint16_t pixel)
{
    return pixel_luminance(pixel);
}

FlashMeter::FlashMeter(int32_t width, int32_t height) : columns_(width / CELL), rows_(height / CELL)
{
    assert(width > 0 && height > 0 && width % CELL == 0 && height % CELL == 0);
    cells_.resize(static_cast<size_t>(columns_) * static_cast<size_t>(rows_));
    sums_.resize(cells_.size());
}

bool FlashMeter::add_frame(const uint8_t* pixels, int32_t pitch)
{
    std::fill(sums_.begin(), sums_.end(), 0.0f);
    for (int32_t y = 0; y < rows_ * CELL; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch);
        float* sums = sums_.data() + static_cast<size_t>(y / CELL) * static_cast<size_t>(columns_);
        for (int32_t x = 0; x < columns_ * CELL; ++x) {
            uint16_t pixel;
            std::memcpy(&pixel, row + 2 * x, 2);
            sums[x / CELL] += pixel_luminance(pixel);
        }
    }

    const auto step = static_cast<float>(LUMINANCE_STEP);
    const auto dark = static_cast<float>(DARK_BELOW);
    size_t brighter = 0, darker = 0;
    for (size_t c = 0; c < cells_.size(); ++c) {
        Cell& cell = cells_[c];
        const float level = sums_[c] / (CELL * CELL);
        if (first_) {
            cell.low = cell.high = level;
        } else if (cell.last >= 0 && cell.high - level >= step && level < dark) {
            cell.last = -1;
            cell.low = level;
            ++darker;
        } else if (cell.last <= 0 && level - cell.low >= step && cell.low < dark) {
            cell.last = 1;
            cell.high = level;
            ++brighter;
        } else {
            cell.low = std::min(cell.low, level);
            cell.high = std::max(cell.high, level);
        }
    }
    first_ = false;

    const size_t quarter = (cells_.size() + 3) / 4;
    const int32_t before = screen_last_;
    if (brighter >= quarter && darker >= quarter) {
        screen_last_ = 0;
        return true;
    }
    if (brighter >= quarter) screen_last_ = 1;
    if (darker >= quarter) screen_last_ = -1;
    return screen_last_ != before;
}

Second busiest_second(const std::vector<bool>& changed, size_t first, size_t end,
                      int32_t frames_per_second)
{
    assert(frames_per_second > 0);
    const auto length = static_cast<size_t>(frames_per_second);
    end = std::min(end, changed.size());
    Second busiest;
    busiest.first_frame = first;
    if (first >= end) return busiest;
    // Changes in [first, first + length), then slid one frame at a time.
    int32_t changes = 0;
    for (size_t f = first; f < std::min(first + length, changed.size()); ++f)
        changes += changed[f] ? 1 : 0;
    busiest.flashes = changes / 2;
    for (size_t start = first + 1; start < end; ++start) {
        if (changed[start - 1]) --changes;
        if (start + length - 1 < changed.size() && changed[start + length - 1]) ++changes;
        if (changes / 2 > busiest.flashes) {
            busiest.flashes = changes / 2;
            busiest.first_frame = start;
        }
    }
    return busiest;
}

}  // namespace flash
