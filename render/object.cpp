// object.cpp -- the crystal: transform, depth sort and additive flat triangle fill

#include "render/object.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <iterator>

#include "assets/assets.h"
#include "platform/video.h"
#include "render/music_source.h"
#include "render/tables.h"

namespace render {

uint32_t object_colour;
int32_t object_rot_a, object_rot_b, object_rot_c;
int32_t object_pos_x, object_pos_y, object_pos_z;

const uint16_t pulse_positions[9] = {0x0500, 0x051D, 0x0520, 0x0600, 0x061D,
                                     0x0620, 0x0700, 0x071D, 0x0720};

namespace {

Point3 mesh_vertices[OBJECT_VERTICES];
Face mesh_faces[OBJECT_FACES];

struct ObjectWork {
    Point3 scaled[OBJECT_VERTICES];
    Point3 transformed[OBJECT_VERTICES];
    ScreenPoint projected[OBJECT_VERTICES];
    FaceDepth depths[OBJECT_FACES];
    int32_t edge_a[EDGE_BUFFER_SIZE];
    int32_t edge_b[EDGE_BUFFER_SIZE];
};
ObjectWork work;

// Fill bounds: right and bottom are exclusive, so column 319 and row 199 are never filled.
constexpr int32_t MIN_X = 0;
constexpr int32_t MAX_X = 319;
constexpr int32_t MIN_Y = 0;
constexpr int32_t MAX_Y = 199;

constexpr int32_t ELEMENT_SIZE = static_cast<int32_t>(sizeof(Point3));

const Point3& vertex_at(const Point3* points, int32_t offset)
{
    return points[offset / ELEMENT_SIZE];
}

const ScreenPoint& vertex_at(const ScreenPoint* points, int32_t offset)
{
    return points[offset / ELEMENT_SIZE];
}

// The nearest 64-bit integer, ties to even, held inside the 64-bit range so that absurd
// slopes (vertices thrown far off by the projection) stay defined.
int64_t to_fixed(double value)
{
    const double r = std::nearbyint(value);
    if (r >= 9223372036854775807.0) return INT64_MAX;
    if (r <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(r);
}

// Two pixels per 32-bit addition, the left pixel in the low half: a carry out of the left
// pixel runs into the right one and a carry out of the right one is lost. Nothing is
// saturated, so bright overlaps wrap into other colours (see
// ObjectTest.PairCarryRunsIntoTheRightPixelAndOddLastLosesIt).
void add_span(uint8_t* row, int32_t left, int32_t right, uint16_t colour)
{
    const uint32_t pair = (static_cast<uint32_t>(colour) << 16) | colour;
    uint8_t* p = row + 2 * left;
    int32_t length = right - left;
    for (; length >= 2; length -= 2, p += 4) {
        uint32_t w;
        std::memcpy(&w, p, 4);
        w += pair;
        std::memcpy(p, &w, 4);
    }
    if (length == 1) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        v = static_cast<uint16_t>(v + colour);
        std::memcpy(p, &v, 2);
    }
}

void sort_range(FaceDepth* d, int32_t lo, int32_t hi)
{
    while (lo < hi) {
        int32_t i = lo;
        int32_t j = hi;
        const float pivot = d[(lo + hi) / 2].key;
        do {
            while (i < hi && d[i].key > pivot) ++i;
            while (j > lo && pivot > d[j].key) --j;
            if (i <= j) {
                std::swap(d[i], d[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (lo < j) sort_range(d, lo, j);
        lo = i;
    }
}

}  // namespace

Mesh object_mesh = {mesh_vertices, mesh_faces};

// Rebuilt from the stored mesh on every call, so a second call cannot turn offsets into
// offsets of offsets.
void load_object_mesh()
{
    for (int32_t i = 0; i < OBJECT_VERTICES; ++i)
        mesh_vertices[i] = {assets::mesh_vertices[i][0], assets::mesh_vertices[i][1],
                            assets::mesh_vertices[i][2]};
    for (int32_t i = 0; i < OBJECT_FACES; ++i) {
        int32_t offsets[3];
        for (int32_t k = 0; k < 3; ++k) {
            int32_t number = assets::mesh_faces[i][k];
            assert(number >= 0 && number < OBJECT_VERTICES);
            if (number < 0 || number >= OBJECT_VERTICES) number = 0;
            offsets[k] = number * ELEMENT_SIZE;
        }
        mesh_faces[i] = {offsets[0], offsets[1], offsets[2]};
    }
}

void draw_object(Mesh& mesh)
{
    set_projection(300, 160, 100);
    set_rotation(object_rot_a, object_rot_b, object_rot_c);
    set_translation(object_pos_x, object_pos_y, object_pos_z);
    build_matrix();

    // The beat pulse: three times the size for as long as the music stays on the row. The
    // tripled vertices go to a scratch copy, so the mesh itself never changes.
    const uint16_t position = current_music_position();
    const bool pulse = std::find(std::begin(pulse_positions), std::end(pulse_positions),
                                 position) != std::end(pulse_positions);
    const Point3* source = mesh.vertices;
    if (pulse) {
        for (int32_t i = 0; i < OBJECT_VERTICES; ++i)
            work.scaled[i] = {mesh.vertices[i].x * 3.0f, mesh.vertices[i].y * 3.0f,
                              mesh.vertices[i].z * 3.0f};
        source = work.scaled;
    }
    transform_points(OBJECT_VERTICES, source, work.transformed);
    project_points(OBJECT_VERTICES, work.transformed, work.projected);
    draw_faces(OBJECT_FACES, mesh.faces, work.transformed, work.projected);
}

// The fill only adds a constant, so the far-to-near order cannot change the picture; it is
// kept because that is how the faces have always been visited.
void draw_faces(int32_t n, const Face* faces, const Point3* transformed,
                const ScreenPoint* projected)
{
    n = std::clamp(n, 0, OBJECT_FACES);
    for (int32_t k = 0; k < n; ++k) {
        const double key = static_cast<double>(vertex_at(transformed, faces[k].a).z) +
                           vertex_at(transformed, faces[k].b).z +
                           vertex_at(transformed, faces[k].c).z;
        work.depths[k] = {static_cast<float>(key), &faces[k]};
    }
    if (n > 1) sort_faces(work.depths, n);
    for (int32_t k = 0; k < n; ++k) {
        const Face& face = *work.depths[k].face;
        if (face_outside(face, projected)) continue;
        const ScreenPoint& p0 = vertex_at(projected, face.a);
        const ScreenPoint& p1 = vertex_at(projected, face.b);
        const ScreenPoint& p2 = vertex_at(projected, face.c);
        fill_triangle(p0.x, p0.y, p1.x, p1.y, p2.x, p2.y);
    }
}

bool face_outside(const Face& face, const ScreenPoint* projected)
{
    const ScreenPoint& p0 = vertex_at(projected, face.a);
    const ScreenPoint& p1 = vertex_at(projected, face.b);
    const ScreenPoint& p2 = vertex_at(projected, face.c);
    if (p0.x <= MIN_X && p1.x <= MIN_X && p2.x <= MIN_X) return true;
    if (p0.x >= MAX_X && p1.x >= MAX_X && p2.x >= MAX_X) return true;
    if (p0.y >= MAX_Y && p1.y >= MAX_Y && p2.y >= MAX_Y) return true;
    if (p0.y <= MIN_Y && p1.y <= MIN_Y && p2.y <= MIN_Y) return true;
    return false;
}

void sort_faces(FaceDepth* depths, int32_t n)
{
    if (n > 1) sort_range(depths, 0, n - 1);
}

void fill_triangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    if (y1 > y2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
        if (y0 > y1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
    }
    if (static_cast<int64_t>(y2) - y0 > MAX_TRIANGLE_HEIGHT) return;

    int32_t* a_end = trace_edge(x0, x1, y0, y1, work.edge_a);
    trace_edge(x1, x2, y1, y2, a_end);
    trace_edge(x0, x2, y0, y2, work.edge_b);

    if (y0 > MAX_Y || y2 < MIN_Y) return;
    const int32_t first_row = std::max(y0, MIN_Y);
    const int32_t end_row = std::min(y2, MAX_Y);
    int32_t entry = first_row - y0;

    const uint16_t colour = static_cast<uint16_t>(object_colour & 0xFFFF);
    for (int32_t row = first_row; row < end_row; ++row, ++entry) {
        const int32_t a = work.edge_a[entry];
        const int32_t b = work.edge_b[entry];
        if (a == b) continue;
        const uint32_t row_offset = platform::frame_rows[row];
        if (static_cast<uint64_t>(row_offset) + 2 * MAX_X > platform::frame_size) continue;
        add_span(platform::frame_buffer + row_offset, std::min(a, b), std::max(a, b), colour);
    }
}

// Signed 32.32: the integer x in the high word, starting half a pixel in so that the
// truncated high word is the rounded edge.
int32_t* trace_edge(int32_t xa, int32_t xb, int32_t ya, int32_t yb, int32_t* out)
{
    const int64_t dy = static_cast<int64_t>(yb) - ya;
    if (dy <= 0) return out;
    const double dx = static_cast<double>(static_cast<int64_t>(xb) - xa);
    // Edges taller than the table divide instead; 1 / dy is what the table would have held.
    const double reciprocal =
        dy <= RECIPROCAL_COUNT ? reciprocals[dy - 1] : 1.0 / static_cast<double>(dy);
    const uint64_t step = static_cast<uint64_t>(to_fixed(dx * reciprocal * slope_scale));
    uint64_t acc = (static_cast<uint64_t>(static_cast<uint32_t>(xa)) << 32) | 0x80000000u;
    for (int64_t row = 0; row < dy; ++row) {
        const int32_t x = static_cast<int32_t>(static_cast<uint32_t>(acc >> 32));
        *out++ = std::clamp(x, MIN_X, MAX_X);
        acc += step;
    }
    return out;
}

}  // namespace render
