// tables_test.cpp -- sine, reciprocal and palette tables and the warp map

#include "render/tables.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>

#include "render/object.h"

namespace {

class TablesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        render::init_rotation_tables();
        render::init_wave_tables();
        render::init_reciprocal_table();
        render::init_palettes();
        render::init_warp();
    }
};

struct WaveCase {
    int32_t angle;
    int32_t entry;
};

std::ostream& operator<<(std::ostream& os, const WaveCase& c)
{
    return os << "angle " << c.angle;
}

class WaveLookupTest : public TablesTest, public ::testing::WithParamInterface<WaveCase> {};

TEST_P(WaveLookupTest, MasksTheAngle)
{
    render::wave_lookup(GetParam().angle);
    EXPECT_EQ(render::wave_sin, render::wave_sine[GetParam().entry]);
    EXPECT_EQ(render::wave_cos, render::wave_cosine[GetParam().entry]);
}

INSTANTIATE_TEST_SUITE_P(Angles, WaveLookupTest,
                         ::testing::Values(WaveCase{0, 0}, WaveCase{1024, 0}, WaveCase{-1, 1023},
                                           WaveCase{256, 256}, WaveCase{-1024 * 7 + 5, 5},
                                           WaveCase{INT32_MIN, 0}, WaveCase{INT32_MAX, 1023}));

TEST_F(TablesTest, WaveQuarterTurnValues)
{
    render::wave_lookup(1024);
    EXPECT_EQ(render::wave_sin, 0.0f);
    EXPECT_EQ(render::wave_cos, 1.0f);
    render::wave_lookup(256);
    EXPECT_EQ(render::wave_sin, 1.0f);
    EXPECT_LT(std::fabs(render::wave_cos), 1e-7f);
    EXPECT_EQ(render::rotation_sine[128], 1.0f);
    EXPECT_EQ(render::rotation_cosine[256], -1.0f);
    // Single precision of the double value, not a single-precision sine.
    EXPECT_EQ(render::rotation_sine[1], static_cast<float>(std::sin(std::acos(-1.0) / 256.0)));
}

TEST_F(TablesTest, ReciprocalEnds)
{
    EXPECT_EQ(render::reciprocals[0], 1.0);
    EXPECT_EQ(render::reciprocals[2047], 1.0 / 2048.0);
    EXPECT_EQ(render::reciprocals[2], 1.0 / 3.0);
    EXPECT_EQ(render::slope_scale, 4294967295.0);
}

TEST_F(TablesTest, FaceOffsetsSurviveASecondInit)
{
    render::init_reciprocal_table();
    for (int32_t i = 0; i < render::OBJECT_FACES; ++i) {
        EXPECT_EQ(render::object_mesh.faces[i].a, assets::mesh_faces[i][0] * 12);
        EXPECT_EQ(render::object_mesh.faces[i].b, assets::mesh_faces[i][1] * 12);
        EXPECT_EQ(render::object_mesh.faces[i].c, assets::mesh_faces[i][2] * 12);
    }
}

struct PaletteCase {
    uint8_t blue, green, red;
    uint16_t rgb565;
};

std::ostream& operator<<(std::ostream& os, const PaletteCase& c)
{
    return os << "bgr " << int(c.blue) << "," << int(c.green) << "," << int(c.red);
}

class PaletteTest : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(PaletteTest, ConvertsSixBitTriplets)
{
    uint8_t stored[768] = {};
    const PaletteCase& c = GetParam();
    stored[3 * 7] = c.blue;
    stored[3 * 7 + 1] = c.green;
    stored[3 * 7 + 2] = c.red;
    uint16_t out[256];
    render::convert_palette(stored, out);
    EXPECT_EQ(out[7], c.rgb565);
    EXPECT_EQ(out[6], 0);
}

INSTANTIATE_TEST_SUITE_P(Triplets, PaletteTest,
                         ::testing::Values(PaletteCase{63, 63, 63, 0xFFFF}, PaletteCase{0, 0, 0, 0},
                                           PaletteCase{2, 0, 0, 0x0001},
                                           PaletteCase{0, 0, 2, 0x0800},
                                           PaletteCase{1, 1, 1, 0x0020},
                                           PaletteCase{0, 63, 0, 0x07E0}));

TEST_F(TablesTest, WarpMapCorners)
{
    for (int32_t y = 0; y < 200; ++y) EXPECT_EQ(render::warp_map[y * 320] >> 8, 0) << "row " << y;
    EXPECT_EQ(render::warp_map[319] >> 8, 255);
    for (int32_t x = 0; x < 320; ++x) {
        EXPECT_EQ(render::warp_map[x] & 255, 0);
        EXPECT_EQ(render::warp_map[199 * 320 + x] & 255, 255);
    }
    // Row 199 runs about 2.04 times through the texture: its last column has wrapped twice.
    const double last = 319.0 * static_cast<double>(static_cast<float>(654.0 / 320.0));
    EXPECT_EQ(render::warp_map[199 * 320 + 319] >> 8, std::lrint(last) & 255);
}

}  // namespace
