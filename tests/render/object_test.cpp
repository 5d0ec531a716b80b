// object_test.cpp -- edges, spans, triangles, face tests and the beat pulse

#include "render/object.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <random>

#include "render/music_source.h"
#include "render/tables.h"
#include "test_frame.h"

namespace {

uint16_t stand_in_position;
uint16_t read_stand_in()
{
    return stand_in_position;
}

class ObjectTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        render::init_rotation_tables();
        render::init_reciprocal_table();
    }
    void SetUp() override
    {
        render::object_colour = 1;
        stand_in_position = 0;
        render::set_music_position_source(read_stand_in);
    }
    void TearDown() override { render::set_music_position_source(nullptr); }

    int32_t covered() const
    {
        int32_t n = 0;
        for (int32_t i = 0; i < 64000; ++i) n += frame.get(i) != 0;
        return n;
    }

    render_test::TestFrame frame;
};

TEST_F(ObjectTest, EdgeStartsHalfAPixelInAndStepsBySlope)
{
    int32_t out[16] = {};
    EXPECT_EQ(render::trace_edge(10, 20, 0, 10, out), out + 10);
    for (int32_t k = 0; k < 10; ++k) EXPECT_EQ(out[k], 10 + k);
    // 5 over 10 rows: the half-pixel start rounds each row's x.
    render::trace_edge(0, 5, 0, 10, out);
    EXPECT_EQ(std::vector<int32_t>(out, out + 10),
              (std::vector<int32_t>{0, 1, 1, 2, 2, 3, 3, 4, 4, 5}));
    // The 2^32 - 1 scale leaves the slope a hair short of -2.5, so row 3 stays on 13.
    render::trace_edge(20, 10, 0, 4, out);
    EXPECT_EQ(std::vector<int32_t>(out, out + 4), (std::vector<int32_t>{20, 18, 15, 13}));
}

TEST_F(ObjectTest, ZeroHeightEdgeWritesNothing)
{
    int32_t out[2] = {77, 77};
    EXPECT_EQ(render::trace_edge(0, 300, 50, 50, out), out);
    EXPECT_EQ(out[0], 77);
}

TEST_F(ObjectTest, EdgeValuesAreClampedButTheSlopeIsNot)
{
    int32_t out[100];
    render::trace_edge(-100, 500, 0, 100, out);
    for (int32_t k = 0; k < 100; ++k) {
        const int32_t expected = std::clamp(-100 + (6 * k * 2 + 1) / 2, 0, 319);
        EXPECT_EQ(out[k], expected) << k;
    }
}

// The table only reaches heights of 2048; taller edges divide and must agree with it.
TEST_F(ObjectTest, TallEdgesDivideLikeTheTable)
{
    std::vector<int32_t> tall(5800);
    EXPECT_EQ(render::trace_edge(0, 300, -3000, 2800, tall.data()), tall.data() + 5800);
    for (int32_t k = 0; k < 5800; k += 97) EXPECT_NEAR(tall[k], k * 300.0 / 5800.0, 1.0) << k;
    EXPECT_EQ(tall[5799], 300);
    std::vector<int32_t> at_table(2048), beyond(2049);
    render::trace_edge(0, 2048, 0, 2048, at_table.data());
    render::trace_edge(0, 2049, 0, 2049, beyond.data());
    for (int32_t k = 0; k < 2048; ++k) ASSERT_EQ(at_table[k], std::min(k, 319));
    for (int32_t k = 0; k < 2049; ++k) ASSERT_EQ(beyond[k], std::min(k, 319));
}

TEST_F(ObjectTest, SpanFillsFromLeftToOneBeforeRight)
{
    // Flat top: row 0 spans 10..19, row 1 spans 11..19 (odd length).
    render::fill_triangle(10, 0, 20, 0, 20, 10);
    for (int32_t x = 0; x < 320; ++x) {
        EXPECT_EQ(frame.at(x, 0), x >= 10 && x < 20 ? 1 : 0) << x;
        EXPECT_EQ(frame.at(x, 1), x >= 11 && x < 20 ? 1 : 0) << x;
    }
    EXPECT_EQ(frame.at(19, 9), 1);
    EXPECT_EQ(frame.at(18, 9), 0);
    EXPECT_EQ(frame.at(19, 10), 0);
}

TEST_F(ObjectTest, PairCarryRunsIntoTheRightPixelAndOddLastLosesIt)
{
    frame.put(10, 0, 0xFFFF);
    frame.put(11, 0, 0x0000);
    frame.put(19, 1, 0xFFFF);
    frame.put(20, 1, 0x1234);
    render::fill_triangle(10, 0, 20, 0, 20, 10);
    EXPECT_EQ(frame.at(10, 0), 0x0000);
    EXPECT_EQ(frame.at(11, 0), 0x0002);
    EXPECT_EQ(frame.at(19, 1), 0x0000);
    EXPECT_EQ(frame.at(20, 1), 0x1234);
}

TEST_F(ObjectTest, AdditionWrapsAcrossFields)
{
    render::object_colour = 0x10CB;
    frame.put(12, 0, 0x001F);  // blue full: the blue sum carries into green
    render::fill_triangle(10, 0, 20, 0, 20, 10);
    EXPECT_EQ(frame.at(12, 0), static_cast<uint16_t>(0x001F + 0x10CB));
    EXPECT_EQ(frame.at(13, 0), 0x10CB);
}

TEST_F(ObjectTest, FlatBottomAndOrderOfVertices)
{
    render::fill_triangle(160, 50, 100, 100, 220, 100);
    const std::vector<uint16_t> first = frame.pixels();
    EXPECT_GT(covered(), 2500);
    EXPECT_EQ(frame.at(160, 100), 0);  // the bottom row is exclusive
    frame.fill(0);
    render::fill_triangle(220, 100, 160, 50, 100, 100);
    EXPECT_EQ(frame.pixels(), first);
}

TEST_F(ObjectTest, DegenerateTrianglesDrawNothing)
{
    render::fill_triangle(10, 50, 200, 50, 100, 50);     // zero height
    render::fill_triangle(0, -3000, 10, 2000, 5, 2801);  // taller than 5800 rows
    render::fill_triangle(10, 200, 50, 250, 0, 300);     // below the frame
    render::fill_triangle(10, -50, 50, -20, 0, 0);       // above the frame
    render::fill_triangle(INT32_MIN, INT32_MIN, 10, 10, 50, 60);
    EXPECT_EQ(covered(), 0);
    EXPECT_TRUE(frame.guards_intact());
}

TEST_F(ObjectTest, LastColumnAndRowAreNeverFilled)
{
    render::fill_triangle(-1000, -1000, 2500, -1000, -1000, 2500);
    for (int32_t y = 0; y < 200; ++y)
        for (int32_t x = 0; x < 320; ++x)
            ASSERT_EQ(frame.at(x, y), x < 319 && y < 199 ? 1 : 0) << x << "," << y;
    EXPECT_TRUE(frame.guards_intact());
}

struct OutsideCase {
    int32_t x0, y0, x1, y1, x2, y2;
    bool outside;
};

std::ostream& operator<<(std::ostream& os, const OutsideCase& c)
{
    return os << c.x0 << "," << c.y0 << " " << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
}

class FaceOutsideTest : public ::testing::TestWithParam<OutsideCase> {};

TEST_P(FaceOutsideTest, WhollyBeyondOneSide)
{
    const OutsideCase& c = GetParam();
    const render::ScreenPoint p[3] = {{c.x0, c.y0, 0}, {c.x1, c.y1, 0}, {c.x2, c.y2, 0}};
    EXPECT_EQ(render::face_outside(render::Face{0, 12, 24}, p), c.outside);
}

INSTANTIATE_TEST_SUITE_P(Faces, FaceOutsideTest,
                         ::testing::Values(OutsideCase{0, 10, 0, 20, 0, 30, true},
                                           OutsideCase{0, 10, 0, 20, 1, 30, false},
                                           OutsideCase{319, 10, 400, 20, 500, 30, true},
                                           OutsideCase{318, 10, 400, 20, 500, 30, false},
                                           OutsideCase{5, 199, 50, 300, 9, 250, true},
                                           OutsideCase{5, -4, 50, 0, 9, -250, true},
                                           OutsideCase{-50, -50, 400, 300, 9, 9, false},
                                           OutsideCase{INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN,
                                                       INT32_MIN, INT32_MIN, true}));

TEST_F(ObjectTest, SortPutsTheFarthestFirstAndKeepsFacesWithKeys)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> key(-300, 300);
    render::Face faces[80];
    render::FaceDepth depths[80];
    for (int32_t k = 0; k < 80; ++k) depths[k] = {static_cast<float>(key(rng)), &faces[k]};
    render::FaceDepth before[80];
    std::copy(depths, depths + 80, before);
    render::sort_faces(depths, 80);
    for (int32_t k = 1; k < 80; ++k) EXPECT_GE(depths[k - 1].key, depths[k].key);
    for (const render::FaceDepth& d : depths) EXPECT_EQ(before[d.face - faces].key, d.key);
}

// A mesh with one real triangle: (0, -20, -20), (0, -20, 20), (0, 20, 0). At rest the
// rotation exchanges x and z, so it faces the viewer; the other faces are points.
class PulseTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        vertices[0] = {0, -20, -20};
        vertices[1] = {0, -20, 20};
        vertices[2] = {0, 20, 0};
        faces[0] = {0, 12, 24};
        render::object_rot_a = render::object_rot_b = render::object_rot_c = 0;
        render::object_pos_x = render::object_pos_y = 0;
        render::object_pos_z = 300;
    }
    render::Point3 vertices[render::OBJECT_VERTICES] = {};
    render::Face faces[render::OBJECT_FACES] = {};
    render::Mesh mesh{vertices, faces};
};

TEST_F(PulseTest, PulseRowsDrawThreeTimesTheSizeAndKeepTheMesh)
{
    render::Point3 stored[render::OBJECT_VERTICES];
    std::memcpy(stored, vertices, sizeof stored);

    stand_in_position = 0x051C;
    render::draw_object(mesh);
    const int32_t normal = covered();
    EXPECT_NEAR(normal, 40 * 40 / 2, 60);

    for (uint16_t position : render::pulse_positions) {
        frame.fill(0);
        stand_in_position = position;
        render::draw_object(mesh);
        EXPECT_NEAR(covered(), 9 * normal, normal) << std::hex << position;
        EXPECT_EQ(std::memcmp(stored, vertices, sizeof stored), 0);
    }

    frame.fill(0);
    stand_in_position = 0x0721;
    render::draw_object(mesh);
    EXPECT_EQ(covered(), normal);
}

}  // namespace
