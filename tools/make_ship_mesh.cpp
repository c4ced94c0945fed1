// Builds the ship's meshes and writes them as a C++ header of constant
// tables: vertices, normals, one texture-coordinate pair, and two face
// lists (sails with mast, hull) of 9 signed 16-bit indices per triangle
// (3 vertices, 3 normals, 3 texture coordinates).
//
// Model space: about one unit long, the bow toward -y, the mast up along
// +z, the beam along x; the deck lies at z = -0.18. The game draws it
// turned so that +z is up, scaled by 100.
//
// Usage: make_ship_mesh OUTPUT.h
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mesh_tool.h"

namespace {

struct face {
    int v[3], n[3];
};

struct mesh {
    std::vector<vec> vertices, normals;
    std::vector<face> sail, hull;
};

constexpr int HULL_SEGMENTS = 20;   // along the length
constexpr int HULL_SECTIONS = 17;   // around the cross-section, gunwale to gunwale
constexpr int SAIL_GRID = 4;        // each sail is a 4 x 4 grid
constexpr int MAST_SIDES = 5;

constexpr int SAIL_FACES = 2 * MAST_SIDES + 2 * (2 * SAIL_GRID * SAIL_GRID);
constexpr int HULL_FACES = 2 * HULL_SEGMENTS * HULL_SECTIONS;
static_assert(SAIL_FACES == 74, "the sail list has 74 faces");
static_assert(HULL_FACES == 680, "the hull list has 680 faces");

constexpr double PI = 3.14159265358979323846;
constexpr double LENGTH = 0.8, HALF_BEAM = 0.1;

// A point of the hull: u along the length (0 stern, 1 bow), v around the
// section (0 port gunwale, 0.5 keel, 1 starboard gunwale). Both ends come
// to a stem post; the gunwale rises toward them.
vec hull_point(double u, double v)
{
    const double along = 2 * u - 1;
    const double width = HALF_BEAM * std::pow(std::sin(PI * u), 0.6);
    const double gunwale = -0.16 + 0.07 * along * along * along * along;
    const double depth = 0.1 * (1 - 0.45 * along * along);
    const double phi = PI * v;
    return {-width * std::cos(phi), LENGTH / 2 - LENGTH * u, gunwale - depth * std::sin(phi)};
}

void build_hull(mesh& m)
{
    const int base = static_cast<int>(m.vertices.size());
    const int cols = HULL_SECTIONS + 1;
    for (int i = 0; i <= HULL_SEGMENTS; ++i)
        for (int j = 0; j <= HULL_SECTIONS; ++j) {
            const double u = static_cast<double>(i) / HULL_SEGMENTS, v = static_cast<double>(j) / HULL_SECTIONS;
            m.vertices.push_back(hull_point(u, v));
            // Smooth normal from the surface's tangents; the stems take a
            // point just inside so the normal stays defined.
            const double uu = std::fmin(std::fmax(u, 0.01), 0.99), e = 1e-4;
            const vec du = hull_point(uu + e, v) - hull_point(uu - e, v);
            const vec dv = hull_point(uu, std::fmin(v + e, 1.0)) - hull_point(uu, std::fmax(v - e, 0.0));
            m.normals.push_back(unit(cross(dv, du)));
        }
    for (int i = 0; i < HULL_SEGMENTS; ++i)
        for (int j = 0; j < HULL_SECTIONS; ++j) {
            const int a = base + i * cols + j, b = a + cols, c = b + 1, d = a + 1;
            // Counter-clockwise seen from outside.
            m.hull.push_back({{a, c, b}, {a, c, b}});
            m.hull.push_back({{a, d, c}, {a, d, c}});
        }
}

// A square sail on the mast, bellied toward the bow.
void build_sail(mesh& m, double half_width, double bottom, double top, double belly)
{
    const int base = static_cast<int>(m.vertices.size());
    const int nbase = static_cast<int>(m.normals.size());
    const double mast_y = 0.02;
    auto point = [&](double s, double t) {
        return vec{-half_width + 2 * half_width * s, mast_y - belly * std::sin(PI * s) * std::sin(PI * t),
                   bottom + (top - bottom) * t};
    };
    for (int i = 0; i <= SAIL_GRID; ++i)
        for (int j = 0; j <= SAIL_GRID; ++j) {
            const double s = static_cast<double>(i) / SAIL_GRID, t = static_cast<double>(j) / SAIL_GRID;
            m.vertices.push_back(point(s, t));
            const double e = 1e-4;
            const vec ds = point(std::fmin(s + e, 1.0), t) - point(std::fmax(s - e, 0.0), t);
            const vec dt = point(s, std::fmin(t + e, 1.0)) - point(s, std::fmax(t - e, 0.0));
            m.normals.push_back(unit(cross(ds, dt)));  // facing the bow (-y)
        }
    const int cols = SAIL_GRID + 1;
    for (int i = 0; i < SAIL_GRID; ++i)
        for (int j = 0; j < SAIL_GRID; ++j) {
            const int a = i * cols + j, b = a + cols, c = b + 1, d = a + 1;
            m.sail.push_back({{base + a, base + b, base + c}, {nbase + a, nbase + b, nbase + c}});
            m.sail.push_back({{base + a, base + c, base + d}, {nbase + a, nbase + c, nbase + d}});
        }
}

// The mast: an open five-sided prism from the deck to the masthead.
void build_mast(mesh& m)
{
    const int base = static_cast<int>(m.vertices.size());
    const int nbase = static_cast<int>(m.normals.size());
    const double r = 0.006, y0 = 0.03, bottom = -0.18, top = 0.33;
    for (int k = 0; k < MAST_SIDES; ++k) {
        const double a = 2 * PI * k / MAST_SIDES;
        m.vertices.push_back({r * std::cos(a), y0 + r * std::sin(a), bottom});
        m.vertices.push_back({r * std::cos(a), y0 + r * std::sin(a), top});
        m.normals.push_back({std::cos(a), std::sin(a), 0});
    }
    for (int k = 0; k < MAST_SIDES; ++k) {
        const int k2 = (k + 1) % MAST_SIDES;
        const int b0 = base + 2 * k, t0 = b0 + 1, b1 = base + 2 * k2, t1 = b1 + 1;
        const int n0 = nbase + k, n1 = nbase + k2;
        m.sail.push_back({{b0, b1, t1}, {n0, n1, n1}});
        m.sail.push_back({{b0, t1, t0}, {n0, n1, n0}});
    }
}

bool write_faces(FILE* f, const char* name, const std::vector<face>& faces)
{
    fprintf(f, "static const int16_t %s[%zu][9] = {\n", name, faces.size());
    for (const face& fc : faces) {
        for (int k = 0; k < 3; ++k)
            if (fc.v[k] < 0 || fc.v[k] > INT16_MAX || fc.n[k] < 0 || fc.n[k] > INT16_MAX)
                return false;
        fprintf(f, "    {%d, %d, %d, %d, %d, %d, 0, 0, 0},\n", fc.v[0], fc.v[1], fc.v[2], fc.n[0], fc.n[1], fc.n[2]);
    }
    fprintf(f, "};\n");
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTPUT.h\n", argv[0]);
        return 2;
    }
    mesh m;
    build_hull(m);
    build_mast(m);
    build_sail(m, 0.14, -0.10, 0.17, 0.035);  // main sail
    build_sail(m, 0.09, 0.185, 0.31, 0.025);  // top sail
    if (m.sail.size() != SAIL_FACES || m.hull.size() != HULL_FACES) {
        fprintf(stderr, "ship mesh: %zu sail and %zu hull faces\n", m.sail.size(), m.hull.size());
        return 1;
    }
    const bool ok = write_generated_header(argv[1], "make_ship_mesh", "ship mesh", [&m](FILE* f) {
        write_vectors(f, "ship_vertices", m.vertices);
        write_vectors(f, "ship_normals", m.normals);
        fprintf(f, "static const float ship_texcoords[1][2] = {{0.0f, 0.0f}};\n");
        return write_faces(f, "ship_sail_faces", m.sail) && write_faces(f, "ship_hull_faces", m.hull);
    });
    if (!ok)
        return 1;
    printf("ship mesh: %zu vertices, %zu normals, %zu sail and %zu hull faces\n", m.vertices.size(),
           m.normals.size(), m.sail.size(), m.hull.size());
    return 0;
}
