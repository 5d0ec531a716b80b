// points_test.cpp -- matrix, transform, projection and the dot sprite

#include "render/points.h"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <cstring>

#include "render/tables.h"
#include "test_frame.h"

namespace {

class PointsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        render::init_rotation_tables();
        render::init_palettes();
    }
    void SetUp() override { render::set_projection(300, 160, 100); }

    static std::vector<float> matrix_for(int32_t a1, int32_t a2, int32_t a3)
    {
        render::set_rotation(a1, a2, a3);
        render::build_matrix();
        return std::vector<float>(render::rotation_matrix(), render::rotation_matrix() + 9);
    }
};

TEST_F(PointsTest, MatrixAtRestExchangesXAndZ)
{
    EXPECT_EQ(matrix_for(0, 0, 0), (std::vector<float>{0, 0, 1, 0, 1, 0, 1, 0, 0}));
    render::set_translation(10, 20, 30);
    render::Point3 p[1] = {{1, 2, 3}};
    render::transform_points(1, p, p);
    EXPECT_EQ(p[0].x, 13.0f);
    EXPECT_EQ(p[0].y, 22.0f);
    EXPECT_EQ(p[0].z, 31.0f);
}

TEST_F(PointsTest, AnglesAreMaskedToOneTurn)
{
    EXPECT_EQ(matrix_for(512, -1, 1000), matrix_for(0, 511, 488));
    EXPECT_EQ(matrix_for(-512, 513, INT32_MIN), matrix_for(0, 1, 0));
}

TEST_F(PointsTest, MatrixStaysARotation)
{
    const std::vector<float> m = matrix_for(37, 101, 250);
    for (int32_t row = 0; row < 3; ++row) {
        const double len = double(m[3 * row]) * m[3 * row] +
                           double(m[3 * row + 1]) * m[3 * row + 1] +
                           double(m[3 * row + 2]) * m[3 * row + 2];
        EXPECT_NEAR(len, 1.0, 1e-6);
    }
}

TEST_F(PointsTest, TransformInPlaceMatchesSeparateOutput)
{
    matrix_for(37, 101, 250);
    render::set_translation(-5, 7, 400);
    render::Point3 in[3] = {{10.5f, -3, 80}, {-85, 41, 0.25f}, {0, 0, 0}};
    render::Point3 out[3];
    render::transform_points(3, in, out);
    render::transform_points(3, in, in);
    EXPECT_EQ(std::memcmp(in, out, sizeof in), 0);
}

TEST_F(PointsTest, CountZeroTouchesNothing)
{
    render::Point3 in[1] = {{1, 2, 3}};
    render::Point3 out[1] = {{7, 7, 7}};
    render::ScreenPoint screen[1] = {{5, 6, 7}};
    render::transform_points(0, in, out);
    render::project_points(0, in, screen);
    EXPECT_EQ(out[0].x, 7.0f);
    EXPECT_EQ(screen[0].x, 5);
}

struct ProjectionCase {
    render::Point3 point;
    int32_t x;
    int32_t y;
};

std::ostream& operator<<(std::ostream& os, const ProjectionCase& c)
{
    return os << "point " << c.point.x << "," << c.point.y << "," << c.point.z;
}

class ProjectionTest : public PointsTest, public ::testing::WithParamInterface<ProjectionCase> {};

TEST_P(ProjectionTest, RoundsToNearestEven)
{
    render::ScreenPoint out[1] = {{0, 0, 12345}};
    render::project_points(1, &GetParam().point, out);
    EXPECT_EQ(out[0].x, GetParam().x);
    EXPECT_EQ(out[0].y, GetParam().y);
    EXPECT_EQ(out[0].spare, 12345);
}

INSTANTIATE_TEST_SUITE_P(
    Points, ProjectionTest,
    ::testing::Values(ProjectionCase{{0, 0, 300}, 160, 100},
                      ProjectionCase{{100, 0, 300}, 260, 100},
                      ProjectionCase{{-1, 0, 600}, 160, 100},  // 159.5 to the even 160
                      ProjectionCase{{1, 0, 600}, 160, 100},   // 160.5 to the even 160
                      ProjectionCase{{3, -1, 600}, 162, 100},  // 161.5 up, 99.5 up
                      ProjectionCase{{0, 50, -300}, 160, 50},  // behind: mirrored
                      ProjectionCase{{5, 5, 0}, INT32_MIN, INT32_MIN},
                      ProjectionCase{{1e30f, 0, 1}, INT32_MIN, 100}));

TEST_F(PointsTest, DotAddsWithSaturationAndStaysInItsBlock)
{
    render_test::TestFrame frame;
    std::fill(std::begin(render::dot_palette), std::end(render::dot_palette), uint16_t{0x0841});
    frame.put(10, 10, 0xFFFF);
    frame.put(11, 10, 0xF7DE);  // 30, 62, 30: one below the top of every field
    render::plot_dot(frame.address(10, 10));
    EXPECT_EQ(frame.at(10, 10), 0xFFFF);
    EXPECT_EQ(frame.at(11, 10), 0xFFFF);
    EXPECT_EQ(frame.at(73, 51), 0x0841);
    int32_t touched = 0;
    for (int32_t i = 0; i < 64000; ++i) touched += frame.get(i) != 0;
    EXPECT_EQ(touched, 64 * 42);
    render::init_palettes();
}

TEST_F(PointsTest, DotNearTheEndOfTheFrameStaysInside)
{
    render_test::TestFrame frame;
    std::fill(std::begin(render::dot_palette), std::end(render::dot_palette), uint16_t{0x0841});
    render::plot_dot(frame.address(300, 190));
    render::plot_dot(platform::frame_buffer - 640 * 5);
    EXPECT_TRUE(frame.guards_intact());
    EXPECT_EQ(frame.at(319, 199), 0x0841);
    render::init_palettes();
}

}  // namespace
