// web_test.cpp -- the browser backend's plain C++: key names, the canvas's colours, and the
// ring changes the page's sound device is sent
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "platform/input.h"
#include "platform/web/keys.h"
#include "platform/web/pixels.h"
#include "platform/web/ring_changes.h"

namespace {

using platform::web::pc_scan_code;

// Each scan code the show and the tools name, from the browser's name of the same key; the
// extended keys (bit 7) are where a mix-up with their main-block twins would show.
TEST(WebKeysTest, NamedKeysGiveTheirScanCodes)
{
    const std::pair<const char*, uint8_t> keys[] = {
        {"Escape", platform::KEY_ESCAPE},
        {"Digit1", platform::KEY_1},
        {"Digit0", platform::KEY_0},
        {"KeyQ", platform::KEY_Q},
        {"Enter", platform::KEY_RETURN},
        {"ControlLeft", platform::KEY_LEFT_CONTROL},
        {"KeyA", platform::KEY_A},
        {"ShiftLeft", platform::KEY_LEFT_SHIFT},
        {"KeyZ", platform::KEY_Z},
        {"Space", platform::KEY_SPACE},
        {"F1", platform::KEY_F1},
        {"F10", platform::KEY_F10},
        {"F11", platform::KEY_F11},
        {"F12", platform::KEY_F12},
        {"NumpadEnter", platform::KEY_NUMPAD_ENTER},
        {"ControlRight", platform::KEY_RIGHT_CONTROL},
        {"NumpadDivide", platform::KEY_NUMPAD_DIVIDE},
        {"AltRight", platform::KEY_RIGHT_ALT},
        {"Home", platform::KEY_HOME},
        {"ArrowUp", platform::KEY_UP},
        {"ArrowLeft", platform::KEY_LEFT},
        {"ArrowRight", platform::KEY_RIGHT},
        {"ArrowDown", platform::KEY_DOWN},
        {"Delete", platform::KEY_DELETE},
    };
    for (const auto& [code, scan_code] : keys) EXPECT_EQ(pc_scan_code(code), scan_code) << code;
}

// The page passes whatever the browser reports: names are exact, and the unknown give 0.
TEST(WebKeysTest, UnknownNamesGiveNoKey)
{
    for (const char* code : {"", "escape", "Escape ", "Fn", "Unidentified", "KeyF1"}) {
        EXPECT_EQ(pc_scan_code(code), 0) << '"' << code << '"';
    }
    EXPECT_EQ(pc_scan_code(nullptr), 0);
}

// Letters follow the keyboard's rows, not the alphabet: a table sorted by name would break it.
TEST(WebKeysTest, LettersFollowTheKeyboardRows)
{
    const char* rows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    const uint8_t first[] = {0x10, 0x1E, 0x2C};
    for (int r = 0; r < 3; ++r) {
        for (int i = 0; rows[r][i] != '\0'; ++i) {
            const char code[] = {'K', 'e', 'y', rows[r][i], '\0'};
            EXPECT_EQ(pc_scan_code(code), first[r] + i) << code;
        }
    }
}

std::vector<uint8_t> rgba_of(uint16_t pixel)
{
    const uint8_t source[2] = {static_cast<uint8_t>(pixel & 0xFF),
                               static_cast<uint8_t>(pixel >> 8)};
    std::vector<uint8_t> out(4, 0);
    platform::web::rgb565_to_rgba(source, out.data(), 1);
    return out;
}

TEST(WebPixelsTest, PrimariesBlackAndWhite)
{
    const std::pair<uint16_t, std::vector<uint8_t>> cases[] = {
        {0x0000, {0, 0, 0, 255}},
        {0xFFFF, {255, 255, 255, 255}},
        {0xF800, {255, 0, 0, 255}},
        {0x07E0, {0, 255, 0, 255}},
        {0x001F, {0, 0, 255, 255}},
        // Half intensity: 16 << 3 | 16 >> 2 = 132 for the 5-bit channels, 32 << 2 | 32 >> 4 = 130
        // for green.
        {0x8410, {132, 130, 132, 255}},
    };
    for (const auto& [pixel, rgba] : cases) EXPECT_EQ(rgba_of(pixel), rgba) << std::hex << pixel;
}

// Every step of a channel is a step up, from 0 to 255, and never leaks into the others.
TEST(WebPixelsTest, ChannelsRiseFromZeroToFullAlone)
{
    struct Channel {
        int shift, bits, byte;
    };
    for (const Channel channel : {Channel{11, 5, 0}, Channel{5, 6, 1}, Channel{0, 5, 2}}) {
        int previous = -1;
        for (int v = 0; v < (1 << channel.bits); ++v) {
            const std::vector<uint8_t> rgba = rgba_of(static_cast<uint16_t>(v << channel.shift));
            EXPECT_GT(rgba[channel.byte], previous) << v;
            previous = rgba[channel.byte];
            for (int other = 0; other < 3; ++other) {
                if (other != channel.byte) {
                    EXPECT_EQ(rgba[other], 0) << v;
                }
            }
        }
        EXPECT_EQ(previous, 255);
    }
}

TEST(WebPixelsTest, ConvertsEveryPixelOfARow)
{
    std::vector<uint8_t> source(2 * 320);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 37 + 11);
    std::vector<uint8_t> out(4 * 320 + 4, 0xEE);
    platform::web::rgb565_to_rgba(source.data(), out.data(), 320);
    for (size_t i = 0; i < 320; ++i) {
        const uint16_t pixel = static_cast<uint16_t>(source[2 * i] | source[2 * i + 1] << 8);
        EXPECT_EQ(std::vector<uint8_t>(out.begin() + 4 * i, out.begin() + 4 * i + 4),
                  rgba_of(pixel))
            << i;
    }
    // Nothing past the last pixel.
    for (size_t i = 4 * 320; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE);
}

struct Sent {
    uint32_t offset, length;
    bool operator==(const Sent&) const = default;
};

std::vector<Sent> send_changes(const std::vector<uint8_t>& ring, std::vector<uint8_t>& mirror,
                               uint32_t block)
{
    std::vector<Sent> sent;
    platform::web::send_ring_changes(ring.data(), mirror.data(), static_cast<uint32_t>(ring.size()),
                                     block, [&sent](uint32_t offset, uint32_t length) {
                                         sent.push_back({offset, length});
                                     });
    return sent;
}

TEST(WebRingChangesTest, RunsCoverTheChangedBlocksOnly)
{
    struct Case {
        const char* what;
        std::vector<std::pair<uint32_t, uint32_t>> writes;  // offset, length
        std::vector<Sent> expected;
    };
    // A ring of 10 blocks of 16 bytes and a short one of 8.
    const Case cases[] = {
        {"nothing written", {}, {}},
        {"one byte", {{37, 1}}, {{32, 16}}},
        {"a chunk across two blocks", {{40, 20}}, {{32, 32}}},
        {"two writes apart", {{0, 4}, {100, 4}}, {{0, 16}, {96, 16}}},
        {"neighbouring writes join", {{16, 16}, {32, 16}}, {{16, 32}}},
        {"the short last block", {{165, 2}}, {{160, 8}}},
        {"everything", {{0, 168}}, {{0, 168}}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> ring(168, 0);
        std::vector<uint8_t> mirror(168, 0);
        for (const auto& [offset, length] : c.writes) {
            for (uint32_t i = offset; i < offset + length; ++i)
                ring[i] = static_cast<uint8_t>(i | 1);
        }
        EXPECT_EQ(send_changes(ring, mirror, 16), c.expected) << c.what;
        EXPECT_EQ(mirror, ring) << c.what;
        EXPECT_TRUE(send_changes(ring, mirror, 16).empty()) << c.what << ": sent twice";
    }
}

// The player's way of writing: chunk after chunk into a ring of 10 chunks of 884 frames, with
// silence among them. Whatever it writes, the device's copy made of what was sent equals the
// ring after every send.
TEST(WebRingChangesTest, DeviceCopyFollowsTheRing)
{
    constexpr uint32_t CHUNK_BYTES = 884 * 4;
    constexpr uint32_t RING_BYTES = 10 * CHUNK_BYTES;
    std::vector<uint8_t> ring(RING_BYTES, 0);
    std::vector<uint8_t> mirror(RING_BYTES, 0);
    std::vector<uint8_t> device(RING_BYTES, 0);
    std::mt19937 random(17);
    for (int fill = 0; fill < 60; ++fill) {
        const uint32_t chunk = static_cast<uint32_t>(fill % 10);
        const bool silent = random() % 4 == 0;
        for (uint32_t i = 0; i < CHUNK_BYTES; ++i) {
            ring[chunk * CHUNK_BYTES + i] = silent ? 0 : static_cast<uint8_t>(random());
        }
        platform::web::send_ring_changes(
            ring.data(), mirror.data(), RING_BYTES, 512, [&](uint32_t offset, uint32_t length) {
                ASSERT_LE(offset + length, RING_BYTES);
                std::copy(ring.begin() + offset, ring.begin() + offset + length,
                          device.begin() + offset);
            });
        ASSERT_EQ(device, ring) << "after fill " << fill;
    }
}

}  // namespace
