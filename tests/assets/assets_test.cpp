// assets_test.cpp -- shapes and invariants of the generated content that the show relies on
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "assets/assets.h"

namespace {

double zero_fraction(const uint8_t* bytes, size_t n)
{
    size_t zeros = 0;
    for (size_t i = 0; i < n; ++i) zeros += bytes[i] == 0;
    return static_cast<double>(zeros) / static_cast<double>(n);
}

TEST(PictureTest, ZeroFractionsFitTheirRoles)
{
    EXPECT_NEAR(zero_fraction(assets::strobe_picture_1, assets::PICTURE_SIZE), 2.0 / 3.0, 0.1);
    EXPECT_NEAR(zero_fraction(assets::strobe_picture_2, assets::PICTURE_SIZE), 2.0 / 3.0, 0.1);
    EXPECT_NEAR(zero_fraction(assets::final_picture, assets::PICTURE_SIZE), 0.9, 0.05);
    // The intro picture is shown at 16 levels: it must use the whole range, not just dark ones.
    int top = 0;
    for (uint32_t i = 0; i < assets::PICTURE_SIZE; ++i)
        top = std::max(top, assets::intro_picture[i] >> 4);
    EXPECT_EQ(top, 15);
}

TEST(PictureTest, GrainNeverWrapsTheBlueOfBrightPixels)
{
    // The grain adds up to 7 to each pixel's low byte; a shown blue above 24 would carry into
    // green and turn into a dark hole in the grey blur.
    for (uint32_t i = 0; i < assets::PICTURE_SIZE; ++i) {
        ASSERT_LE(assets::strobe_picture_1[i] >> 3, 24) << i;
        ASSERT_LE(assets::strobe_picture_2[i] >> 3, 24) << i;
        ASSERT_LE(assets::intro_picture[i] >> 4, 24) << i;
        ASSERT_LE(assets::final_picture[i] & 31, 24) << i;
    }
}

TEST(PictureTest, StrobePicturesContrast)
{
    uint32_t differ = 0;
    for (uint32_t i = 0; i < assets::PICTURE_SIZE; ++i)
        differ += (assets::strobe_picture_1[i] == 0) != (assets::strobe_picture_2[i] == 0);
    EXPECT_GT(differ, assets::PICTURE_SIZE / 4);
}

TEST(PictureTest, FadeMaskWipesMostOfTheScreenAndNeverUsesZero)
{
    // The darkening level stops at 81, so mask values 1..174 are reached.
    uint32_t reached = 0;
    std::set<uint8_t> values;
    for (uint32_t i = 0; i < assets::PICTURE_SIZE; ++i) {
        EXPECT_NE(assets::fade_mask[i], 0) << "pixel " << i;
        reached += assets::fade_mask[i] <= 174;
        values.insert(assets::fade_mask[i]);
    }
    EXPECT_GT(reached, assets::PICTURE_SIZE * 6 / 10);
    EXPECT_LT(reached, assets::PICTURE_SIZE);
    EXPECT_GT(values.size(), 150u);  // a smooth wipe, not a few steps
}

TEST(PictureTest, DotGlowStaysInItsCorner)
{
    for (uint32_t y = 0; y < 200; ++y)
        for (uint32_t x = 0; x < 320; ++x)
            if (x >= 64 || y >= 42) {
                ASSERT_EQ(assets::dot_picture[y * 320 + x], 0) << x << "," << y;
            }
    EXPECT_GT(assets::dot_picture[21 * 320 + 32], 200);
    // Round: the borders of the 64 x 42 block are black, so dots have no hard edges.
    for (uint32_t x = 0; x < 64; ++x) {
        EXPECT_EQ(assets::dot_picture[x], 0);
        EXPECT_EQ(assets::dot_picture[41 * 320 + x], 0);
    }
    EXPECT_EQ(assets::dot_palette_stored[0], 0);
    EXPECT_EQ(assets::dot_palette_stored[1], 0);
    EXPECT_EQ(assets::dot_palette_stored[2], 0);
}

TEST(PaletteTest, AllPalettesHoldSixBitValues)
{
    for (const uint8_t* palette :
         {assets::dot_palette_stored, assets::font_palette_stored, assets::warp_palette_stored})
        for (uint32_t i = 0; i < assets::PALETTE_SIZE; ++i)
            ASSERT_LE(palette[i], 63) << "entry " << i;
}

TEST(WarpTest, TextureUsesThePaletteAndWrapsWithoutASeam)
{
    std::set<uint8_t> used(assets::warp_texture, assets::warp_texture + assets::WARP_TEXTURE_SIZE);
    EXPECT_GT(used.size(), 200u);
    // Across the wrap the step between neighbours is no larger than inside the picture.
    auto texel = [](int x, int y) {
        return static_cast<int>(assets::warp_texture[(y & 255) * 256 + (x & 255)]);
    };
    double inside = 0, seam = 0;
    for (int i = 0; i < 256; ++i) {
        inside += std::abs(texel(127, i) - texel(128, i)) + std::abs(texel(i, 127) - texel(i, 128));
        seam += std::abs(texel(255, i) - texel(0, i)) + std::abs(texel(i, 255) - texel(i, 0));
    }
    EXPECT_LT(seam, inside * 1.5 + 256);
}

TEST(SineBytesTest, FollowTheRoundedSine)
{
    EXPECT_EQ(assets::sine_bytes[0], 127);
    EXPECT_EQ(assets::sine_bytes[64], 254);
    EXPECT_EQ(assets::sine_bytes[128], 127);
    EXPECT_EQ(assets::sine_bytes[192], 0);
    for (int k = 0; k < 256; ++k)
        EXPECT_EQ(assets::sine_bytes[k],
                  std::lround(127.0 + 127.0 * std::sin(2.0 * M_PI * k / 256.0)))
            << k;
}

struct SwirlCase {
    int x, y;
    int angle;  // expected high byte, give or take one
};

class SwirlMapTest : public testing::TestWithParam<SwirlCase> {};

TEST_P(SwirlMapTest, HighByteIsTheAngleAroundTheCentre)
{
    const SwirlCase c = GetParam();
    const int high = assets::swirl_map[c.y * 320 + c.x] >> 8;
    const int diff = ((high - c.angle) % 256 + 256) % 256;
    EXPECT_TRUE(diff <= 1 || diff >= 255) << "got " << high;
}

INSTANTIATE_TEST_SUITE_P(Directions, SwirlMapTest,
                         testing::Values(SwirlCase{319, 100, 0}, SwirlCase{160, 199, 64},
                                         SwirlCase{0, 100, 128}, SwirlCase{160, 0, 192},
                                         SwirlCase{259, 199, 32}, SwirlCase{60, 0, 160}));

TEST(SwirlMapDistanceTest, LowByteGrowsWithDistance)
{
    EXPECT_LE(assets::swirl_map[100 * 320 + 160] & 255, 1);
    int previous = -1;
    for (int x = 160; x < 320; ++x) {
        const int low = assets::swirl_map[100 * 320 + x] & 255;
        EXPECT_GE(low, previous) << x;
        previous = low;
    }
    EXPECT_GE(assets::swirl_map[0] & 255, 250);
}

TEST(FontTest, EveryGlyphIsDrawnInsideItsCell)
{
    // Outside the 23 x 27 cells (row 0, column 0 and the gap columns) the sheet is empty.
    for (uint32_t y = 0; y < assets::FONT_HEIGHT; ++y)
        for (uint32_t x = 0; x < assets::FONT_WIDTH; ++x) {
            const bool in_cell = y >= 1 && x >= 1 + 24 && x < 1 + 24 * 61 && (x - 1) % 24 < 23;
            if (!in_cell) {
                ASSERT_EQ(assets::font_sheet[y * assets::FONT_WIDTH + x], 0) << x << "," << y;
            }
        }
    for (int ch = 33; ch <= 92; ++ch) {
        const uint32_t left = 1 + 24 * static_cast<uint32_t>(ch - 32);
        int ink = 0, rightmost = -1;
        for (uint32_t y = 1; y < 28; ++y)
            for (uint32_t x = 0; x < 23; ++x)
                if (assets::font_sheet[y * assets::FONT_WIDTH + left + x]) {
                    ++ink;
                    rightmost = std::max(rightmost, static_cast<int>(x));
                }
        EXPECT_GT(ink, 20) << "'" << static_cast<char>(ch) << "'";
        // Glyphs stay within their advance so neighbours never cover each other's strokes.
        EXPECT_LT(rightmost, assets::glyph_advance(static_cast<char>(ch)))
            << "'" << static_cast<char>(ch) << "'";
    }
}

TEST(MeshTest, OuterAndInnerVerticesLieOnTheirSpheres)
{
    for (int i = 0; i < assets::MESH_VERTEX_COUNT; ++i) {
        const float* v = assets::mesh_vertices[i];
        const double r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (i < 30) {
            EXPECT_GE(r, 80.0) << i;
            EXPECT_LE(r, 85.0) << i;
        } else {
            EXPECT_NEAR(r, 41.0, 1.0) << i;
        }
    }
}

TEST(MeshTest, FacesFormAClosedSurfaceOfTwentyTrianglesAndTwelveFans)
{
    std::vector<std::array<int, 2>> edges;
    int fans = 0;
    std::vector<int> uses(assets::MESH_VERTEX_COUNT, 0);
    for (int f = 0; f < assets::MESH_FACE_COUNT; ++f) {
        const int32_t* face = assets::mesh_faces[f];
        int inner = 0;
        for (int k = 0; k < 3; ++k) {
            ASSERT_GE(face[k], 0);
            ASSERT_LT(face[k], assets::MESH_VERTEX_COUNT);
            inner += face[k] >= 30;
            ++uses[static_cast<size_t>(face[k])];
            const int a = face[k], b = face[(k + 1) % 3];
            ASSERT_NE(a, b) << "face " << f;
            edges.push_back({std::min(a, b), std::max(a, b)});
        }
        EXPECT_LE(inner, 1) << "face " << f;
        fans += inner;
    }
    EXPECT_EQ(fans, 60);
    for (int i = 30; i < assets::MESH_VERTEX_COUNT; ++i)
        EXPECT_EQ(uses[static_cast<size_t>(i)], 5) << i;
    // Every edge belongs to exactly two faces: no holes, no fins.
    std::sort(edges.begin(), edges.end());
    for (size_t i = 0; i < edges.size(); i += 2) {
        ASSERT_EQ(edges[i], edges[i + 1]);
        if (i + 2 < edges.size()) {
            ASSERT_NE(edges[i], edges[i + 2]);
        }
    }
    EXPECT_EQ(edges.size(), 240u);
}

struct FixedText {
    uint32_t start, end;
    const char* text;
    int32_t x, y;
};

const FixedText FIXED_TEXTS[] = {
    {0x100, 0x120, "LAME", 20, 10},       {0x101, 0x121, " SCHOOL", 80, 10},
    {0x105, 0x125, " FLA", 190, 10},      {0x107, 0x127, "VOUR", 250, 10},
    {0x200, 0x220, "100", 125, 170},      {0x201, 0x221, "%", 175, 170},
    {0x205, 0x225, " BLEN", 195, 170},    {0x207, 0x227, "DED", 270, 170},
    {0x300, 0x320, "SE", 0, 0},           {0x301, 0x321, "LECTED", 30, 0},
    {0x305, 0x325, " FINE", 120, 0},      {0x307, 0x327, "ELEMENTS", 50, 30},
    {0x400, 0x41F, "LAS", 0, 100},        {0x401, 0x41F, " AUTORIDADES", 45, 100},
    {0x405, 0x41F, "SANITARIAS", 0, 130}, {0x407, 0x41F, " ADVIERTEN", 150, 130},
    {0x420, 0x44F, "VER", 260, 80},       {0x428, 0x44F, "ESTO", 245, 110},
    {0x430, 0x44F, "PRODUCE", 200, 140},  {0x438, 0x44F, "CANCER", 215, 170},
};

TEST(TextTableTest, FixedEntriesAreExact)
{
    ASSERT_EQ(assets::text_event_count, 40);
    for (int i = 0; i < 20; ++i) {
        const assets::TextEvent& e = assets::text_events[i];
        const FixedText& f = FIXED_TEXTS[i];
        EXPECT_EQ(e.start, f.start) << i;
        EXPECT_EQ(e.end, f.end) << i;
        EXPECT_STREQ(e.text, f.text) << i;
        EXPECT_EQ(e.x, f.x) << i;
        EXPECT_EQ(e.y, f.y) << i;
    }
    const FixedText tail[] = {{0xD1C, 0xD3D, "2DAYS 512KBYTES", 10, 10},
                              {0xD1D, 0xD3E, "NO DIRECT 3D", 0, 50},
                              {0xD1E, 0xD3F, "UNFINISHED VERSION", 30, 80}};
    for (int i = 0; i < 3; ++i) {
        const assets::TextEvent& e = assets::text_events[37 + i];
        EXPECT_EQ(e.start, tail[i].start);
        EXPECT_EQ(e.end, tail[i].end);
        EXPECT_STREQ(e.text, tail[i].text);
        EXPECT_EQ(e.x, tail[i].x);
        EXPECT_EQ(e.y, tail[i].y);
    }
}

TEST(TextTableTest, GreetingsStandWhereTheyAreTimed)
{
    const uint32_t ends[8] = {0x104F, 0x1107, 0x110F, 0x1117, 0x111F, 0x112F, 0x1127, 0x1137};
    const int32_t ys[8] = {0, 0, 25, 25, 145, 145, 170, 170};
    const int32_t xs2[8] = {0, 180, 0, 160, 0, 0, 100, 180};
    const int32_t ys2[8] = {0, 0, 25, 25, 145, 170, 145, 170};
    for (int i = 0; i < 8; ++i) {
        const assets::TextEvent& a = assets::text_events[20 + i];
        EXPECT_EQ(a.start, 0x1000u + 8u * static_cast<uint32_t>(i));
        EXPECT_EQ(a.end, ends[i]);
        EXPECT_EQ(a.x, i % 2 ? 180 : 0);
        EXPECT_EQ(a.y, ys[i]);
        const assets::TextEvent& b = assets::text_events[28 + i];
        EXPECT_EQ(b.start, 0x1100u + 8u * static_cast<uint32_t>(i));
        EXPECT_EQ(b.end, 0x1200u);
        EXPECT_EQ(b.x, xs2[i]);
        EXPECT_EQ(b.y, ys2[i]);
    }
    EXPECT_EQ(assets::text_events[36].start, 0x1205u);
    EXPECT_EQ(assets::text_events[36].end, 0x1300u);
    EXPECT_EQ(assets::text_events[36].x, 0);
    EXPECT_EQ(assets::text_events[36].y, 170);
}

TEST(TextTableTest, OurTextsFitOnScreenAndUseTheFont)
{
    for (int i = 20; i <= 36; ++i) {
        const assets::TextEvent& e = assets::text_events[i];
        ASSERT_NE(e.text, nullptr);
        int width = 0;
        for (const char* c = e.text; *c; ++c) {
            EXPECT_TRUE(*c == ' ' || (*c >= 33 && *c <= 92)) << i << ": '" << *c << "'";
            width += assets::glyph_advance(*c);
        }
        EXPECT_GT(width, 0) << i;
        EXPECT_LE(e.x + width, 320) << i << ": " << e.text;
    }
    // Texts that share a row at the same time do not run into each other.
    EXPECT_LE(assets::text_events[32].x + 16 * 5, assets::text_events[34].x);
}

TEST(GrainBlockTest, IsTheTextureTailThenTheModuleStart)
{
    EXPECT_EQ(std::memcmp(assets::grain_block + 65052, assets::module_xm, 128484), 0);
    EXPECT_EQ(std::memcmp(assets::grain_block, assets::warp_texture + 65536 - 65052, 65052), 0);
}

uint32_t read_le(const uint8_t* p, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

TEST(ModuleBytesTest, HeaderHasTheShowsShape)
{
    const uint8_t* m = assets::module_xm;
    EXPECT_EQ(std::memcmp(m, "Extended Module: ", 17), 0);
    EXPECT_EQ(read_le(m + 64, 2), 19u);     // orders
    EXPECT_EQ(read_le(m + 68, 2), 12u);     // channels
    EXPECT_EQ(read_le(m + 70, 2), 17u);     // patterns
    EXPECT_EQ(read_le(m + 72, 2), 27u);     // instruments
    EXPECT_EQ(read_le(m + 74, 2) & 1, 1u);  // linear frequency table
    EXPECT_EQ(read_le(m + 76, 2), 6u);
    EXPECT_EQ(read_le(m + 78, 2), 118u);
}

std::vector<uint8_t> slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

TEST(AssetgenTest, TwoRunsWriteTheSameBytesAsTheLinkedData)
{
    // Other builds on the same machine may run this test at the same time: a folder of our own.
    const std::filesystem::path base = std::filesystem::temp_directory_path() /
                                       ("quorbela_assetgen_test_" + std::to_string(getpid()));
    std::filesystem::remove_all(base);
    for (const char* run : {"a", "b"}) {
        const std::string command =
            std::string("\"") + ASSETGEN_PATH + "\" \"" + (base / run).string() + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    int compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(base / "a")) {
        if (!entry.is_regular_file() || entry.path().filename() == "assets_data.cpp") continue;
        const std::filesystem::path rel = std::filesystem::relative(entry.path(), base / "a");
        EXPECT_EQ(slurp(entry.path()), slurp(base / "b" / rel)) << rel;
        ++compared;
    }
    EXPECT_GT(compared, 20);
    const std::vector<uint8_t> module = slurp(base / "a" / "quorbela.xm");
    ASSERT_EQ(module.size(), assets::MODULE_SIZE);
    EXPECT_EQ(std::memcmp(module.data(), assets::module_xm, module.size()), 0);
    const std::vector<uint8_t> map = slurp(base / "a" / "swirl_map.bin");
    ASSERT_EQ(map.size(), sizeof assets::swirl_map);
    EXPECT_EQ(std::memcmp(map.data(), assets::swirl_map, map.size()), 0);
    std::filesystem::remove_all(base);
}

}  // namespace
