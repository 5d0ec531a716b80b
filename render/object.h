// object.h -- the translucent crystal: the stored triangle mesh filled with additive flat
// colour, no culling and no depth buffer
#pragma once
#include <cstdint>

#include "assets/assets.h"
#include "render/points.h"

namespace render {

constexpr int32_t OBJECT_VERTICES = assets::MESH_VERTEX_COUNT;
constexpr int32_t OBJECT_FACES = assets::MESH_FACE_COUNT;
constexpr int32_t MAX_TRIANGLE_HEIGHT = 5800;  // taller triangles are skipped
constexpr int32_t EDGE_BUFFER_SIZE = MAX_TRIANGLE_HEIGHT + 1;

// Vertex references as byte offsets of 12-byte elements (vertex number * 12), addressing
// both the transformed Point3 and the projected ScreenPoint arrays.
struct Face {
    int32_t a;
    int32_t b;
    int32_t c;
};

struct Mesh {
    Point3* vertices;  // OBJECT_VERTICES
    Face* faces;       // OBJECT_FACES
};

struct FaceDepth {
    float key;  // sum of the transformed z of the three vertices
    const Face* face;
};

// The show's one mesh: a mutable copy of the stored mesh, faces in offset form once
// init_reciprocal_table has run.
extern Mesh object_mesh;

// Timeline state read by draw_object.
extern uint32_t object_colour;  // low 16 bits are added to every covered pixel
extern int32_t object_rot_a, object_rot_b, object_rot_c;  // rotation units
extern int32_t object_pos_x, object_pos_y, object_pos_z;

// On these music positions the object is drawn three times its size.
extern const uint16_t pulse_positions[9];

// Copies the stored mesh into object_mesh with faces as offsets (init_reciprocal_table).
void load_object_mesh();

void draw_object(Mesh& mesh);
void draw_faces(int32_t n, const Face* faces, const Point3* transformed,
                const ScreenPoint* projected);
bool face_outside(const Face& face, const ScreenPoint* projected);
void sort_faces(FaceDepth* depths, int32_t n);  // largest key first
void fill_triangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// One x per row of the edge, clamped to 0..319, from ya up to (not including) yb; returns
// the position after the last entry written.
int32_t* trace_edge(int32_t xa, int32_t xb, int32_t ya, int32_t yb, int32_t* out);

}  // namespace render
