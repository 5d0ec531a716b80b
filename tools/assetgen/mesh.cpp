// mesh.cpp -- the crystal: an icosidodecahedron with each pentagon sunk to an inner point
#include <algorithm>
#include <cmath>

#include "tools/assetgen/assetgen.h"

namespace assetgen {

namespace {

struct Vec {
    double x, y, z;
};

Vec sub(Vec a, Vec b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double dot(Vec a, Vec b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec cross(Vec a, Vec b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(Vec a)
{
    return std::sqrt(dot(a, a));
}
Vec scale(Vec a, double s)
{
    return {a.x * s, a.y * s, a.z * s};
}

constexpr double OUTER_RADIUS = 82.0;
constexpr double INNER_RADIUS = 41.0;

}  // namespace

Mesh make_mesh()
{
    const double phi = (1.0 + std::sqrt(5.0)) / 2.0;
    // Vertices of the icosidodecahedron (circumradius phi): the cyclic permutations of
    // (0, 0, +-phi) and the even permutations of (+-1/2, +-phi/2, +-phi^2/2).
    std::vector<Vec> outer;
    for (int s = -1; s <= 1; s += 2) {
        outer.push_back({0, 0, s * phi});
        outer.push_back({0, s * phi, 0});
        outer.push_back({s * phi, 0, 0});
    }
    for (int sa = -1; sa <= 1; sa += 2)
        for (int sb = -1; sb <= 1; sb += 2)
            for (int sc = -1; sc <= 1; sc += 2) {
                const double a = sa * 0.5, b = sb * phi / 2.0, c = sc * phi * phi / 2.0;
                outer.push_back({a, b, c});
                outer.push_back({b, c, a});
                outer.push_back({c, a, b});
            }
    // Pentagon centres point at the vertices of an icosahedron: cyclic permutations of (0, +-phi,
    // +-1).
    std::vector<Vec> axes;
    for (int sa = -1; sa <= 1; sa += 2)
        for (int sb = -1; sb <= 1; sb += 2) {
            axes.push_back({0, sa * phi, sb * 1.0});
            axes.push_back({sa * phi, sb * 1.0, 0});
            axes.push_back({sb * 1.0, 0, sa * phi});
        }

    Mesh mesh;
    const double outer_scale = OUTER_RADIUS / phi;
    for (const Vec& v : outer) {
        const Vec s = scale(v, outer_scale);
        mesh.vertices.push_back(
            {static_cast<float>(s.x), static_cast<float>(s.y), static_cast<float>(s.z)});
    }
    for (const Vec& a : axes) {
        const Vec s = scale(a, INNER_RADIUS / length(a));
        mesh.vertices.push_back(
            {static_cast<float>(s.x), static_cast<float>(s.y), static_cast<float>(s.z)});
    }

    // Edges join vertices at the edge length 1 (in the unscaled coordinates).
    auto adjacent = [&](size_t i, size_t j) {
        return std::fabs(length(sub(outer[i], outer[j])) - 1.0) < 1e-6;
    };
    const size_t n = outer.size();
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            for (size_t k = j + 1; k < n; ++k)
                if (adjacent(i, j) && adjacent(j, k) && adjacent(i, k)) {
                    // Wind the triangle counter-clockwise seen from outside.
                    const Vec normal = cross(sub(outer[j], outer[i]), sub(outer[k], outer[i]));
                    if (dot(normal, outer[i]) > 0)
                        mesh.faces.push_back({static_cast<int32_t>(i), static_cast<int32_t>(j),
                                              static_cast<int32_t>(k)});
                    else
                        mesh.faces.push_back({static_cast<int32_t>(i), static_cast<int32_t>(k),
                                              static_cast<int32_t>(j)});
                }

    // Each pentagon: the five outer vertices nearest its axis, in turn around it, fanned to the
    // inner point.
    for (size_t p = 0; p < axes.size(); ++p) {
        const Vec axis = scale(axes[p], 1.0 / length(axes[p]));
        std::vector<std::pair<double, size_t>> near;
        for (size_t i = 0; i < n; ++i) near.push_back({-dot(outer[i], axis), i});
        std::sort(near.begin(), near.end());
        near.resize(5);
        // A basis in the pentagon's plane to order its corners by angle.
        const Vec u0 = sub(outer[near[0].second], scale(axis, dot(outer[near[0].second], axis)));
        const Vec u = scale(u0, 1.0 / length(u0));
        const Vec w = cross(axis, u);
        std::vector<std::pair<double, size_t>> ring;
        for (const auto& e : near) {
            const Vec v = outer[e.second];
            ring.push_back({std::atan2(dot(v, w), dot(v, u)), e.second});
        }
        std::sort(ring.begin(), ring.end());
        const int32_t centre = static_cast<int32_t>(n + p);
        for (size_t k = 0; k < 5; ++k)
            mesh.faces.push_back({static_cast<int32_t>(ring[k].second),
                                  static_cast<int32_t>(ring[(k + 1) % 5].second), centre});
    }
    return mesh;
}

}  // namespace assetgen
