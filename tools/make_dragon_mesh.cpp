// Builds the dragon's meshes and writes them as a C++ header of constant
// tables: vertices, normals and texture coordinates shared by two face lists
// (the body and one wing) of 9 signed 16-bit indices per triangle (3
// vertices, 3 normals, 3 texture coordinates), the materials, and the runs of
// faces of one material, read on from the body into the wing.
//
// The dragon is designed here in its own frame, in world units: nose toward
// +x, up +y, the right wing toward +z, the body about 17 long and each wing
// reaching about 10 out. The game draws the body and the wing through fixed
// transformations (turned 180 degrees about z, scaled by 20, turned 23
// degrees about y and shifted; the wing also about its hinge, which lies
// along the body at height 0, 0.6 to the side); the tables hold the design
// taken back through them, so the drawn dragon is the designed one.
//
// Usage: make_dragon_mesh OUTPUT.h
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mesh_tool.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// --- the drawing transformations, taken back ----------------------------------------

constexpr double MODEL_SCALE = 20.0, PART_TURN = 23.0 * PI / 180.0;

// Turned by -23 degrees about y (as glRotatef(-23, 0, 1, 0)).
vec unturn(vec p)
{
    const double c = std::cos(-PART_TURN), s = std::sin(-PART_TURN);
    return {p.x * c + p.z * s, p.y, -p.x * s + p.z * c};
}

// The design frame into the frame after the 180 degree turn and the scale.
vec scaled(vec p) { return (1.0 / MODEL_SCALE) * vec{-p.x, -p.y, p.z}; }

vec body_table_point(vec p) { return unturn(scaled(p)) + vec{0, 0, 0.06}; }
vec wing_table_point(vec p) { return unturn(scaled(p) - vec{0, 0.03, -0.05}); }
vec table_normal(vec n) { return unturn({-n.x, -n.y, n.z}); }

// --- tables -------------------------------------------------------------------------

struct face {
    int v[3], n[3], t[3];
    int material;
};

enum { SKIN = 0, HORN = 1, SPIKE = 2, MEMBRANE = 3, MATERIALS = 4 };

struct mesh_builder {
    std::vector<vec> vertices, normals;
    std::vector<std::array<double, 2>> uvs;
    std::vector<vec> design;  // the vertices in the design frame
    std::vector<face> body, wing;
    bool in_wing = false;

    int vertex(vec p)
    {
        design.push_back(p);
        vertices.push_back(in_wing ? wing_table_point(p) : body_table_point(p));
        return static_cast<int>(vertices.size()) - 1;
    }
    int normal(vec n)
    {
        normals.push_back(table_normal(unit(n)));
        return static_cast<int>(normals.size()) - 1;
    }
    int uv(double u, double v)
    {
        uvs.push_back({u, v});
        return static_cast<int>(uvs.size()) - 1;
    }
    void add(const face& f) { (in_wing ? wing : body).push_back(f); }

    // A flat triangle turned to face along `out`, with a normal of its own.
    void flat(int a, int b, int c, int ta, int tb, int tc, vec out, int material)
    {
        vec n = cross(design[b] - design[a], design[c] - design[a]);
        if (dot(n, out) < 0) {
            std::swap(b, c);
            std::swap(tb, tc);
            n = -1.0 * n;
        }
        const int ni = normal(n);
        add({{a, b, c}, {ni, ni, ni}, {ta, tb, tc}, material});
    }
};

// --- body ---------------------------------------------------------------------------

// Stations along the spine from the tail to the nose: x, y of the centre,
// half height and half width of the cross-section.
struct station {
    double x, y, ry, rz;
};
constexpr station SPINE[] = {
    {-8.3, 0.50, 0.12, 0.10}, {-7.0, 0.30, 0.20, 0.18}, {-5.5, 0.10, 0.32, 0.30}, {-4.0, 0.00, 0.50, 0.45},
    {-2.6, -0.05, 0.80, 0.72}, {-1.2, -0.10, 1.10, 1.00}, {0.2, -0.05, 1.20, 1.05}, {1.5, 0.20, 0.95, 0.85},
    {2.5, 0.80, 0.55, 0.50},  {3.3, 1.60, 0.45, 0.42},  {4.2, 2.20, 0.62, 0.52}, {5.3, 2.30, 0.70, 0.56},
    {6.6, 2.00, 0.50, 0.42},
};
constexpr int RINGS = sizeof SPINE / sizeof SPINE[0];
constexpr int SIDES = 8;
constexpr vec TAIL_TIP = {-9.0, 0.6, 0.0}, NOSE_TIP = {7.5, 1.85, 0.0};
// The back and the belly are ridged (hard edges) from the tail to the
// shoulders; the neck and head are smooth.
constexpr int RIDGED_SEGMENTS = 8;
constexpr double TEXTURE_REPEAT = 4.0;  // world units along the body per texture

vec ring_point(int i, int j)
{
    const station& s = SPINE[i];
    const double a = 2 * PI * j / SIDES;  // 0 on the back, a quarter turn toward +z
    return {s.x, s.y + s.ry * std::cos(a), s.rz * std::sin(a)};
}

// Height of the back at x (between the stations).
double back_height(double x)
{
    for (int i = 0; i + 1 < RINGS; ++i)
        if (x <= SPINE[i + 1].x) {
            const double t = (x - SPINE[i].x) / (SPINE[i + 1].x - SPINE[i].x);
            const station &a = SPINE[i], &b = SPINE[i + 1];
            return a.y + a.ry + t * (b.y + b.ry - a.y - a.ry);
        }
    return SPINE[RINGS - 1].y + SPINE[RINGS - 1].ry;
}

void build_trunk(mesh_builder& m)
{
    int v[RINGS][SIDES], t[RINGS][SIDES + 1];
    for (int i = 0; i < RINGS; ++i) {
        for (int j = 0; j < SIDES; ++j)
            v[i][j] = m.vertex(ring_point(i, j));
        for (int j = 0; j <= SIDES; ++j)
            t[i][j] = m.uv(static_cast<double>(j) / SIDES, (SPINE[i].x - TAIL_TIP.x) / TEXTURE_REPEAT);
    }
    // Normals per segment and ring: smooth around the body, each segment
    // with its own slope. n[s][e][j][0] serves the face before side j, [1]
    // the face after it; they differ only on a ridge.
    static int n[RINGS - 1][2][SIDES][2];
    for (int s = 0; s + 1 < RINGS; ++s)
        for (int e = 0; e < 2; ++e)
            for (int j = 0; j < SIDES; ++j) {
                const int r = s + e;
                const vec along = ring_point(s + 1, j) - ring_point(s, j);
                const vec before = ring_point(r, j) - ring_point(r, (j + SIDES - 1) % SIDES);
                const vec after = ring_point(r, (j + 1) % SIDES) - ring_point(r, j);
                const bool ridge = s < RIDGED_SEGMENTS && (j == 0 || j == SIDES / 2);
                if (ridge) {
                    n[s][e][j][0] = m.normal(cross(before, along));
                    n[s][e][j][1] = m.normal(cross(after, along));
                } else {
                    n[s][e][j][0] = n[s][e][j][1] = m.normal(cross(before + after, along));
                }
            }
    for (int s = 0; s + 1 < RINGS; ++s)
        for (int j = 0; j < SIDES; ++j) {
            const int j1 = (j + 1) % SIDES;
            const int a = v[s][j], b = v[s + 1][j], c = v[s + 1][j1], d = v[s][j1];
            const int na = n[s][0][j][1], nb = n[s][1][j][1], nc = n[s][1][j1][0], nd = n[s][0][j1][0];
            const int ta = t[s][j], tb = t[s + 1][j], tc = t[s + 1][j + 1], td = t[s][j + 1];
            m.add({{a, c, b}, {na, nc, nb}, {ta, tc, tb}, SKIN});
            m.add({{a, d, c}, {na, nd, nc}, {ta, td, tc}, SKIN});
        }
    // The pointed ends.
    const int tail = m.vertex(TAIL_TIP), tail_n = m.normal({-1, 0.3, 0}), tail_t = m.uv(0.5, 0.0);
    for (int j = 0; j < SIDES; ++j) {
        const int j1 = (j + 1) % SIDES;
        m.add({{tail, v[0][j1], v[0][j]}, {tail_n, n[0][0][j1][0], n[0][0][j][1]}, {tail_t, t[0][j + 1], t[0][j]},
               SKIN});
    }
    const int last = RINGS - 1, seg = RINGS - 2;
    const int nose = m.vertex(NOSE_TIP), nose_n = m.normal({1, -0.2, 0});
    const int nose_t = m.uv(0.5, (NOSE_TIP.x - TAIL_TIP.x) / TEXTURE_REPEAT);
    for (int j = 0; j < SIDES; ++j) {
        const int j1 = (j + 1) % SIDES;
        m.add({{nose, v[last][j], v[last][j1]}, {nose_n, n[seg][1][j][1], n[seg][1][j1][0]},
               {nose_t, t[last][j], t[last][j + 1]}, SKIN});
    }
}

// Two vectors at right angles to d and to each other.
void frame_around(vec d, vec& u, vec& w)
{
    const vec ref = std::fabs(d.x) < 0.9 ? vec{1, 0, 0} : vec{0, 1, 0};
    u = unit(cross(d, ref));
    w = unit(cross(d, u));
}

// A leg: a tapering four-sided shank from the hip to the ankle, ending in a
// claw point; flat faces.
void build_leg(mesh_builder& m, vec hip, vec ankle, vec claw, double r_hip, double r_ankle)
{
    vec u, w;
    frame_around(unit(ankle - hip), u, w);
    int top[4], bottom[4], ttop[5], tbottom[5];
    for (int j = 0; j < 4; ++j) {
        const double a = PI / 4 + PI / 2 * j;
        const vec off = std::cos(a) * u + std::sin(a) * w;
        top[j] = m.vertex(hip + r_hip * off);
        bottom[j] = m.vertex(ankle + r_ankle * off);
    }
    for (int j = 0; j <= 4; ++j) {
        ttop[j] = m.uv(j / 4.0, 0.0);
        tbottom[j] = m.uv(j / 4.0, 0.6);
    }
    const int tip = m.vertex(claw), ttip = m.uv(0.5, 0.8);
    for (int j = 0; j < 4; ++j) {
        const int j1 = (j + 1) % 4;
        const double a = PI / 4 + PI / 2 * (j + 0.5);
        const vec out = std::cos(a) * u + std::sin(a) * w;
        m.flat(top[j], top[j1], bottom[j1], ttop[j], ttop[j + 1], tbottom[j + 1], out, SKIN);
        m.flat(top[j], bottom[j1], bottom[j], ttop[j], tbottom[j + 1], tbottom[j], out, SKIN);
        m.flat(tip, bottom[j], bottom[j1], ttip, tbottom[j], tbottom[j + 1], out + unit(claw - ankle), SKIN);
    }
}

// A four-sided horn from a base inside the head to its point.
void build_horn(mesh_builder& m, vec base, vec point, double r)
{
    vec u, w;
    const vec d = unit(point - base);
    frame_around(d, u, w);
    int b[4], tb[4];
    for (int j = 0; j < 4; ++j) {
        const double a = PI / 2 * j;
        b[j] = m.vertex(base + r * (std::cos(a) * u + std::sin(a) * w));
        tb[j] = m.uv(0.2 * j, 0.9);
    }
    const int tip = m.vertex(point), ttip = m.uv(0.3, 1.0);
    for (int j = 0; j < 4; ++j) {
        const int j1 = (j + 1) % 4;
        const double a = PI / 2 * (j + 0.5);
        m.flat(tip, b[j], b[j1], ttip, tb[j], tb[j1], std::cos(a) * u + std::sin(a) * w, HORN);
    }
}

// A thin fin standing on the back at x, seen from both sides.
void build_spike(mesh_builder& m, double x, double height)
{
    const double y = back_height(x) - 0.1;
    const int front = m.vertex({x + 0.35, y, 0}), back = m.vertex({x - 0.35, y, 0});
    const int tip = m.vertex({x - 0.45, y + height, 0});
    const int tf = m.uv(0.1, 0.0), tk = m.uv(0.3, 0.0), tt = m.uv(0.2, 0.3);
    m.flat(front, back, tip, tf, tk, tt, {0, 0, 1}, SPIKE);
    m.flat(front, back, tip, tf, tk, tt, {0, 0, -1}, SPIKE);
}

void build_body(mesh_builder& m)
{
    build_trunk(m);
    for (double side : {1.0, -1.0}) {
        // Fore legs tucked under the chest, hind legs trailing.
        build_leg(m, {1.3, -0.7, 0.6 * side}, {1.9, -1.8, 0.75 * side}, {2.5, -2.2, 0.75 * side}, 0.35, 0.2);
        build_leg(m, {-2.0, -0.6, 0.65 * side}, {-3.2, -1.6, 0.8 * side}, {-4.1, -1.8, 0.8 * side}, 0.45, 0.25);
    }
    for (double side : {1.0, -1.0})
        build_horn(m, {4.6, 2.6, 0.3 * side}, {3.2, 3.5, 0.65 * side}, 0.18);
    const double spikes[][2] = {{0.8, 0.9}, {-0.6, 0.85}, {-2.0, 0.75}, {-3.4, 0.6},
                                {-4.8, 0.5}, {-6.2, 0.4},  {-7.5, 0.3}};
    for (const auto& s : spikes)
        build_spike(m, s[0], s[1]);
}

// --- wing ---------------------------------------------------------------------------

// The right wing spread, in the design frame: the arm from the shoulder over
// the elbow to the wrist, four fingers fanning out from the wrist, the skin
// between them and back to the flank.
constexpr vec SHOULDER = {1.2, 0.7, 0.9}, ELBOW = {1.6, 1.2, 3.4}, WRIST = {0.8, 1.4, 5.4};
constexpr vec FINGERS[4] = {{2.4, 1.2, 9.2}, {-0.8, 0.9, 8.9}, {-3.4, 0.7, 7.6}, {-5.3, 0.5, 5.3}};
constexpr vec HIP = {-3.4, 0.5, 0.9}, FLANK = {-1.1, 0.6, 1.0};
constexpr int MEMBRANE_RINGS = 3;
constexpr double MEMBRANE_THICKNESS = 0.04, MEMBRANE_SAG = 0.4;

// Between two finger tips (or the last tip and the hip) the trailing edge
// curves in toward the wrist.
vec scallop(vec a, vec b) { return lerp(lerp(a, b, 0.5), WRIST, 0.25); }

std::vector<vec> membrane_edge()
{
    return {FINGERS[0], scallop(FINGERS[0], FINGERS[1]), FINGERS[1], scallop(FINGERS[1], FINGERS[2]),
            FINGERS[2], scallop(FINGERS[2], FINGERS[3]), FINGERS[3], scallop(FINGERS[3], HIP),
            HIP,        FLANK,                           SHOULDER};
}

// The skin: a fan from the wrist to the edge, upper and lower surfaces.
void build_membrane(mesh_builder& m)
{
    const std::vector<vec> edge = membrane_edge();
    const int n = static_cast<int>(edge.size());
    for (double side : {1.0, -1.0}) {
        const vec lift = {0, side * MEMBRANE_THICKNESS, 0};
        auto uv_of = [&m](vec p) { return m.uv(p.x / 5.0, p.z / 5.0); };
        const int centre = m.vertex(WRIST + lift), tcentre = uv_of(WRIST);
        std::vector<std::vector<int>> v(MEMBRANE_RINGS + 1, std::vector<int>(n)), t = v;
        for (int k = 1; k <= MEMBRANE_RINGS; ++k)
            for (int j = 0; j < n; ++j) {
                const double f = static_cast<double>(k) / MEMBRANE_RINGS;
                vec p = lerp(WRIST, edge[j], f);
                // The skin sags between the bones (the even rays up to the
                // last finger, and the arm).
                const bool bone = (j % 2 == 0 && j <= 6) || j == n - 1;
                if (!bone)
                    p.y -= MEMBRANE_SAG * std::sin(PI * f * 0.999);
                v[k][j] = m.vertex(p + lift);
                t[k][j] = uv_of(p);
            }
        const vec out = {0, side, 0};
        for (int j = 0; j + 1 < n; ++j) {
            m.flat(centre, v[1][j], v[1][j + 1], tcentre, t[1][j], t[1][j + 1], out, MEMBRANE);
            for (int k = 1; k < MEMBRANE_RINGS; ++k) {
                m.flat(v[k][j], v[k][j + 1], v[k + 1][j + 1], t[k][j], t[k][j + 1], t[k + 1][j + 1], out, MEMBRANE);
                m.flat(v[k][j], v[k + 1][j + 1], v[k + 1][j], t[k][j], t[k + 1][j + 1], t[k + 1][j], out, MEMBRANE);
            }
        }
    }
}

// A bone: a three-sided prism from a to b, smooth around.
void build_bone(mesh_builder& m, vec a, vec b, double ra, double rb)
{
    vec u, w;
    frame_around(unit(b - a), u, w);
    int va[3], vb[3], na[3], nb[3], ta[3], tb[3];
    for (int j = 0; j < 3; ++j) {
        const double ang = PI / 2 + 2 * PI / 3 * j;
        const vec off = std::cos(ang) * u + std::sin(ang) * w;
        va[j] = m.vertex(a + ra * off);
        vb[j] = m.vertex(b + rb * off);
        na[j] = m.normal(off);
        nb[j] = m.normal(off);
        ta[j] = m.uv(0.3 * j, 0.0);
        tb[j] = m.uv(0.3 * j, 1.0);
    }
    for (int j = 0; j < 3; ++j) {
        const int j1 = (j + 1) % 3;
        // Counter-clockwise seen from outside: the sides run from u toward w.
        m.add({{va[j], va[j1], vb[j1]}, {na[j], na[j1], nb[j1]}, {ta[j], ta[j1], tb[j1]}, SKIN});
        m.add({{va[j], vb[j1], vb[j]}, {na[j], nb[j1], nb[j]}, {ta[j], tb[j1], tb[j]}, SKIN});
    }
}

// A claw: a three-sided point at p along dir.
void build_claw(mesh_builder& m, vec p, vec dir, double length, double r)
{
    vec u, w;
    const vec d = unit(dir);
    frame_around(d, u, w);
    int b[3], tb[3];
    for (int j = 0; j < 3; ++j) {
        const double ang = 2 * PI / 3 * j;
        b[j] = m.vertex(p + r * (std::cos(ang) * u + std::sin(ang) * w));
        tb[j] = m.uv(0.7 + 0.1 * j, 0.1);
    }
    const int tip = m.vertex(p + length * d), ttip = m.uv(0.8, 0.3);
    for (int j = 0; j < 3; ++j) {
        const double ang = 2 * PI / 3 * (j + 0.5);
        m.flat(tip, b[j], b[(j + 1) % 3], ttip, tb[j], tb[(j + 1) % 3], std::cos(ang) * u + std::sin(ang) * w, HORN);
    }
}

void build_wing(mesh_builder& m)
{
    m.in_wing = true;
    build_membrane(m);
    build_bone(m, SHOULDER, ELBOW, 0.26, 0.2);
    build_bone(m, ELBOW, WRIST, 0.2, 0.16);
    for (int f = 0; f < 3; ++f) {
        const vec mid = lerp(WRIST, FINGERS[f], 0.5);
        build_bone(m, WRIST, mid, 0.14, 0.1);
        build_bone(m, mid, FINGERS[f], 0.1, 0.05);
    }
    build_bone(m, WRIST, FINGERS[3], 0.13, 0.05);
    build_claw(m, WRIST, {1, 0.4, 0}, 0.8, 0.12);  // the thumb
    for (const vec& f : FINGERS)
        build_claw(m, f, f - WRIST, 0.5, 0.06);
    build_claw(m, ELBOW, {-0.6, 0.8, 0}, 0.5, 0.1);
}

// --- materials -------------------------------------------------------------------------

// Ambient, diffuse, specular and emission colours, alpha, shininess. Horns
// and spikes are the same bone grey.
constexpr double MATERIAL_TABLE[MATERIALS][14] = {
    {0.95, 0.80, 0.80, 1.00, 0.90, 0.90, 0.35, 0.25, 0.20, 0.10, 0.02, 0.02, 1.0, 24.0},  // skin
    {0.70, 0.68, 0.64, 0.85, 0.82, 0.78, 0.30, 0.30, 0.30, 0.05, 0.05, 0.05, 1.0, 12.0},  // horn
    {0.70, 0.68, 0.64, 0.85, 0.82, 0.78, 0.30, 0.30, 0.30, 0.05, 0.05, 0.05, 1.0, 12.0},  // spike
    {0.60, 0.40, 0.38, 0.75, 0.48, 0.45, 0.10, 0.05, 0.05, 0.04, 0.00, 0.00, 1.0, 6.0},   // membrane
};

// --- output ------------------------------------------------------------------------------

constexpr int WANT_VERTICES = 319, WANT_NORMALS = 468, WANT_TEXCOORDS = 340;
constexpr int WANT_BODY_FACES = 278, WANT_WING_FACES = 172;

void write_faces(FILE* f, const char* name, const std::vector<face>& faces)
{
    fprintf(f, "static const int16_t %s[%zu][9] = {\n", name, faces.size());
    for (const face& fc : faces)
        fprintf(f, "    {%d, %d, %d, %d, %d, %d, %d, %d, %d},\n", fc.v[0], fc.v[1], fc.v[2], fc.n[0], fc.n[1],
                fc.n[2], fc.t[0], fc.t[1], fc.t[2]);
    fprintf(f, "};\n");
}

// Runs of one material: the body's, then the wing's.
std::vector<std::array<int, 2>> material_runs(const std::vector<face>& body, const std::vector<face>& wing)
{
    std::vector<std::array<int, 2>> runs;
    for (const auto* faces : {&body, &wing}) {
        bool fresh = true;  // a mesh starts a run of its own
        for (const face& fc : *faces) {
            if (fresh || runs.back()[0] != fc.material)
                runs.push_back({fc.material, 0});
            ++runs.back()[1];
            fresh = false;
        }
    }
    return runs;
}

// Every table entry is used, every index fits, every point lies within
// +-0.5, and the counts are the model's.
bool check(const mesh_builder& m)
{
    bool ok = true;
    auto fail = [&ok](const char* what, long a, long b) {
        fprintf(stderr, "dragon mesh: %s: %ld, want %ld\n", what, a, b);
        ok = false;
    };
    if (m.vertices.size() != WANT_VERTICES)
        fail("vertices", static_cast<long>(m.vertices.size()), WANT_VERTICES);
    if (m.normals.size() != WANT_NORMALS)
        fail("normals", static_cast<long>(m.normals.size()), WANT_NORMALS);
    if (m.uvs.size() != WANT_TEXCOORDS)
        fail("texture coordinates", static_cast<long>(m.uvs.size()), WANT_TEXCOORDS);
    if (m.body.size() != WANT_BODY_FACES)
        fail("body faces", static_cast<long>(m.body.size()), WANT_BODY_FACES);
    if (m.wing.size() != WANT_WING_FACES)
        fail("wing faces", static_cast<long>(m.wing.size()), WANT_WING_FACES);
    std::vector<int> used_v(m.vertices.size()), used_n(m.normals.size()), used_t(m.uvs.size());
    for (const auto* faces : {&m.body, &m.wing})
        for (const face& fc : *faces)
            for (int k = 0; k < 3; ++k) {
                used_v.at(static_cast<size_t>(fc.v[k])) = 1;
                used_n.at(static_cast<size_t>(fc.n[k])) = 1;
                used_t.at(static_cast<size_t>(fc.t[k])) = 1;
            }
    for (const auto* used : {&used_v, &used_n, &used_t})
        for (size_t i = 0; i < used->size(); ++i)
            if (!(*used)[i])
                fail("unused table entry", static_cast<long>(i), -1);
    for (const vec& v : m.vertices)
        if (std::fabs(v.x) > 0.5 || std::fabs(v.y) > 0.5 || std::fabs(v.z) > 0.5) {
            fprintf(stderr, "dragon mesh: point (%f, %f, %f) outside +-0.5\n", v.x, v.y, v.z);
            ok = false;
        }
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTPUT.h\n", argv[0]);
        return 2;
    }
    mesh_builder m;
    build_body(m);
    build_wing(m);
    if (!check(m))
        return 1;
    const auto runs = material_runs(m.body, m.wing);

    const bool ok = write_generated_header(argv[1], "make_dragon_mesh", "dragon mesh", [&](FILE* f) {
        fprintf(f, "constexpr int DRAGON_BODY_FACES = %zu;\nconstexpr int DRAGON_WING_FACES = %zu;\n",
                m.body.size(), m.wing.size());
        fprintf(f, "constexpr int DRAGON_MATERIAL_RUNS = %zu;\n\n", runs.size());
        write_vectors(f, "dragon_vertices", m.vertices);
        write_vectors(f, "dragon_normals", m.normals);
        fprintf(f, "static const float dragon_texcoords[%zu][2] = {\n", m.uvs.size());
        for (const auto& t : m.uvs)
            fprintf(f, "    {%.6ff, %.6ff},\n", t[0], t[1]);
        fprintf(f, "};\n");
        write_faces(f, "dragon_body_faces", m.body);
        write_faces(f, "dragon_wing_faces", m.wing);
        fprintf(f, "// Ambient, diffuse, specular, emission (rgb each), alpha, shininess.\n");
        fprintf(f, "static const float dragon_materials[%d][14] = {\n", MATERIALS);
        for (const auto& mat : MATERIAL_TABLE) {
            fprintf(f, "    {");
            for (int i = 0; i < 14; ++i)
                fprintf(f, "%s%.3ff", i ? ", " : "", mat[i]);
            fprintf(f, "},\n");
        }
        fprintf(f, "};\n// (material, face count), the body's runs first.\n");
        fprintf(f, "static const int16_t dragon_material_runs[%zu][2] = {\n", runs.size());
        for (const auto& r : runs)
            fprintf(f, "    {%d, %d},\n", r[0], r[1]);
        fprintf(f, "};\n");
        return true;
    });
    if (!ok)
        return 1;
    printf("dragon mesh: %zu vertices, %zu normals, %zu texture coordinates, %zu body and %zu wing faces\n",
           m.vertices.size(), m.normals.size(), m.uvs.size(), m.body.size(), m.wing.size());
    return 0;
}
