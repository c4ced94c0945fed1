// Model trees: building, collision and the 3 x 3 matrices.
#include "sim/model_tree.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "platform/vector.h"
#include "sim/terrain.h"
#include "sim/world.h"

namespace {

constexpr float ROOT_RADIUS = 384.0f;

} // namespace

float terrain_ground(const world& w, float x, float z)
{
    return get_terrain_height(w.terrain, x, z);
}

structure_tree::structure_tree() : ground(terrain_ground)
{
    empty_model_tree(root, 0, 0, 0, ROOT_RADIUS);
}

float structure_ground(const world& w, float x, float z)
{
    return w.structures.ground(w, x, z);
}

// --- building -----------------------------------------------------------

void empty_model_tree(model_node& node, float x, float y, float z, float radius)
{
    set_vector(node.origin, x, y, z);
    node.radius = radius;
    node.points.clear();
    node.prims.clear();
    node.children.clear();
    node.health = -1.0f;
}

void set_tree_points(model_node& node, const float (*points)[3], int count)
{
    node.points.assign(static_cast<size_t>(count > 0 ? count : 0), vec3f{});
    for (int i = 0; i < count; ++i)
        copy_vector(node.points[i].v, points[i]);
}

int add_quad_prim(model_node& node, unsigned i0, unsigned i1, unsigned i2, unsigned i3, unsigned texture,
                  float s_repeat, float t_repeat)
{
    const unsigned vi[4] = {i0, i1, i2, i3};
    for (int k = 0; k < 4; ++k) {
        // Corners must name one of the (at most eight) points the node holds.
        if (vi[k] > 7 || vi[k] >= node.points.size()) {
            printf("qf->vi[%d] = %d\n", k, static_cast<int>(vi[k]));
            return -1;
        }
    }
    primitive prim;
    prim.type = PRIM_QUAD;
    quad_prim& q = prim.quad;
    const float* p0 = node.points[i0].v;
    copy_vector(q.p0, p0);
    subtract_vector(node.points[i1].v, p0, q.e1);
    subtract_vector(node.points[i3].v, p0, q.e3);
    subtract_vector(node.points[i2].v, p0, q.e2);
    cross_product(q.e1, q.e3, q.n);
    normalize_vector(q.n);
    for (int k = 0; k < 4; ++k)
        q.vi[k] = vi[k];
    q.flags = 0;
    q.texture = texture;
    q.s_repeat = s_repeat;
    q.t_repeat = t_repeat;
    q.brightness = 1.0f;
    node.prims.push_back(prim);
    return 0;
}

void create_cone_prim(primitive& out, float x, float y, float z, float base_radius, float top_radius, float height,
                      unsigned texture, float repeat)
{
    out = primitive();
    out.type = PRIM_CONE;
    out.cone = cone_prim{{x, y, z}, base_radius, top_radius, height, texture, repeat, 0};
}

void create_sphere_prim(primitive& out, float x, float y, float z, float radius, unsigned texture, float repeat)
{
    out = primitive();
    out.type = PRIM_DOME;
    out.dome = dome_prim{{x, y, z}, radius, texture, repeat, 0};
}

void add_primitive_to_tree(model_node& node, const primitive& prim)
{
    node.prims.push_back(prim);
}

int add_child_to_tree(model_node& node, model_node&& child)
{
    node.children.push_back(std::make_unique<model_node>(std::move(child)));
    return node.child_count() - 1;
}

int register_top_level_model(structure_tree& t, model_node&& node)
{
    return add_child_to_tree(t.root, std::move(node));
}

model_node* get_top_level_model(structure_tree& t, int id)
{
    if (id < 0 || id >= t.root.child_count())
        return nullptr;
    return t.root.children[static_cast<size_t>(id)].get();
}

const model_node* get_top_level_model(const structure_tree& t, int id)
{
    if (id < 0 || id >= t.root.child_count())
        return nullptr;
    return t.root.children[static_cast<size_t>(id)].get();
}

int num_top_level_models(const structure_tree& t)
{
    return t.root.child_count();
}

model_node create_box_tree(float x, float y, float z, float w, float h, float d, unsigned texture, float scale)
{
    model_node node;
    empty_model_tree(node, x, y, z, std::sqrt(w * w + h * h + d * d));
    const float c0[3] = {-w / 2, -h / 2, -d / 2};
    const float pts[8][3] = {
        {c0[0], c0[1], c0[2]},         {c0[0], c0[1], c0[2] + d},         {c0[0], c0[1] + h, c0[2] + d},
        {c0[0], c0[1] + h, c0[2]},     {c0[0] + w, c0[1], c0[2]},         {c0[0] + w, c0[1], c0[2] + d},
        {c0[0] + w, c0[1] + h, c0[2] + d}, {c0[0] + w, c0[1] + h, c0[2]},
    };
    set_tree_points(node, pts, 8);
    setup_cubic_faces(node, 0, 1, 2, 3, 4, 5, 6, 7, texture, w * scale, h * scale, d * scale);
    return node;
}

void setup_cubic_faces(model_node& node, unsigned i0, unsigned i1, unsigned i2, unsigned i3, unsigned i4, unsigned i5,
                       unsigned i6, unsigned i7, unsigned texture, float a, float b, float c)
{
    add_quad_prim(node, i0, i3, i7, i4, texture, b, a); // -z
    add_quad_prim(node, i7, i6, i5, i4, texture, c, b); // +x
    add_quad_prim(node, i0, i1, i2, i3, texture, c, b); // -x
    add_quad_prim(node, i1, i5, i6, i2, texture, a, b); // +z
    add_quad_prim(node, i0, i4, i5, i1, texture, a, c); // bottom
    add_quad_prim(node, i2, i6, i7, i3, texture, a, c); // top
}

// --- matrices -----------------------------------------------------------

void identity_matrix(float m[9])
{
    for (int i = 0; i < 9; ++i)
        m[i] = (i % 4 == 0) ? 1.0f : 0.0f;
}

void copy_matrix(const float from[9], float to[9])
{
    for (int i = 0; i < 9; ++i)
        to[i] = from[i];
}

void transform_vector(const float v[3], const float m[9], float out[3])
{
    float r[3];
    for (int j = 0; j < 3; ++j)
        r[j] = v[0] * m[j] + v[1] * m[3 + j] + v[2] * m[6 + j];
    copy_vector(out, r);
}

void add_matrix_col_to_col(float m[9], float factor, int from, int to)
{
    for (int r = 0; r < 3; ++r)
        m[3 * r + to] += factor * m[3 * r + from];
}

void scale_matrix_col(float m[9], float factor, int col)
{
    for (int r = 0; r < 3; ++r)
        m[3 * r + col] *= factor;
}

static const char SINGULAR_MESSAGE[] =
    "ack! invert_matrix found a row of all 0's (we were passed a non-invertible matrix)\n";

int invert_matrix(const float m[9], float out[9])
{
    if (invert_matrix_quiet(m, out) == 0)
        return 0;
    fputs(SINGULAR_MESSAGE, stdout);
    return -1;
}

int invert_matrix_quiet(const float m[9], float out[9])
{
    float a[9];
    copy_matrix(m, a);
    identity_matrix(out);
    for (int c = 0; c < 3; ++c) {
        if (a[3 * c + c] != 0.0f) {
            float f = 1.0f / a[3 * c + c];
            scale_matrix_col(a, f, c);
            scale_matrix_col(out, f, c);
        } else {
            // Borrow a pivot from a column not yet reduced; the reduced
            // columns carry the identity in earlier rows and must stay so.
            int k = 2;
            while (k > c && a[3 * c + k] == 0.0f)
                --k;
            if (k == c)
                return -1;
            float f = 1.0f / a[3 * c + k];
            add_matrix_col_to_col(a, f, k, c);
            add_matrix_col_to_col(out, f, k, c);
        }
        for (int k = 0; k < 3; ++k) {
            if (k == c)
                continue;
            float f = -a[3 * c + k];
            add_matrix_col_to_col(a, f, c, k);
            add_matrix_col_to_col(out, f, c, k);
        }
    }
    return 0;
}

// --- collision ----------------------------------------------------------

namespace {

// Solves v = a*r0 + b*r1 + c*r2 for (a, b, c); false for dependent rows.
// A degenerate face is met by every collision test near it, many times a
// second: it is reported once a run, not at every test.
bool solve_in_basis(const float v[3], const float r0[3], const float r1[3], const float r2[3], float out[3])
{
    float m[9] = {r0[0], r0[1], r0[2], r1[0], r1[1], r1[2], r2[0], r2[1], r2[2]};
    float inv[9];
    if (invert_matrix_quiet(m, inv) != 0) {
        static bool reported = false;
        if (!reported)
            fputs(SINGULAR_MESSAGE, stdout);
        reported = true;
        return false;
    }
    transform_vector(v, inv, out);
    return true;
}

} // namespace

float quad_collision(const quad_prim& q, float p[3], const float step[3], float radius)
{
    float rel[3], before[3];
    subtract_vector(p, q.p0, rel);
    subtract_vector(rel, step, before);
    const float d = dot_product(rel, q.n);
    const float dp = dot_product(before, q.n);
    if (d > radius)
        return d - radius;
    if (d < 0.0f && dp < 0.0f)
        return -radius - d;

    float v[3] = {rel[0] - d * q.n[0], rel[1] - d * q.n[1], rel[2] - d * q.n[2]};
    float coef[3];
    // A degenerate quad cannot be entered; it is reported (once) and
    // otherwise ignored rather than ending the game.
    if (!solve_in_basis(v, q.e1, q.e3, q.n, coef))
        return 0.0f;
    if (coef[0] < 0.0f || coef[1] < 0.0f)
        return 0.0f;
    float w[3], a[3], b[3];
    subtract_vector(v, q.e2, w);
    subtract_vector(q.e3, q.e2, a);
    subtract_vector(q.e1, q.e2, b);
    if (!solve_in_basis(w, a, b, q.n, coef))
        return 0.0f;
    if (coef[0] < 0.0f || coef[1] < 0.0f)
        return 0.0f;
    const float push = radius - d;
    for (int k = 0; k < 3; ++k)
        p[k] += push * q.n[k];
    return -1.0f;
}

float cone_collision(const cone_prim& c, float p[3], const float step[3], float radius)
{
    (void)step;
    float v[3];
    subtract_vector(p, c.base, v);
    const float rho2 = v[0] * v[0] + v[2] * v[2];
    if (v[1] < 0.0f)
        return std::sqrt(v[1] * v[1] + rho2);
    if (v[1] > c.height)
        return std::sqrt((v[1] - c.height) * (v[1] - c.height) + rho2);
    const float s = radius + ((c.height - v[1]) * c.base_radius + v[1] * c.top_radius) / c.height;
    if (rho2 <= s * s) {
        const float rho = std::sqrt(rho2);
        if (rho > 0.0f) {
            p[0] = c.base[0] + v[0] * s / rho;
            p[2] = c.base[2] + v[2] * s / rho;
        } else {
            // Exactly on the axis there is no sideways direction; pick +x.
            p[0] = c.base[0] + s;
        }
        return -1.0f;
    }
    return std::sqrt(rho2) - s;
}

float spheretop_collision(const dome_prim& dm, float p[3], const float step[3], float radius)
{
    (void)step;
    float v[3];
    subtract_vector(p, dm.centre, v);
    const float d2 = dot_product(v, v);
    const float s = radius + dm.radius;
    if (d2 > s * s)
        return std::sqrt(d2) - s;
    if (v[1] < -radius)
        return -v[1] - radius;
    if (v[1] < 0.0f) {
        p[1] = dm.centre[1] - radius;
        return -1.0f;
    }
    if (v[1] > 10.0f * std::fabs(v[0]) && v[1] > 10.0f * std::fabs(v[2])) {
        p[1] = dm.centre[1] + s;
        return -1.0f;
    }
    const float f = s / std::sqrt(d2);
    for (int k = 0; k < 3; ++k)
        p[k] = dm.centre[k] + v[k] * f;
    return -1.0f;
}

float collision_check_prim(const primitive& prim, float p[3], const float step[3], float radius)
{
    switch (prim.type) {
    case PRIM_QUAD:
        return quad_collision(prim.quad, p, step, radius);
    case PRIM_CONE:
        return cone_collision(prim.cone, p, step, radius);
    case PRIM_DOME:
        return spheretop_collision(prim.dome, p, step, radius);
    default:
        printf("unknown primitive used %d\n", prim.type);
        return FLT_MAX;
    }
}

namespace {

// One sphere's test against a tree: the step and radius stay the same all
// the way down, and the first node the sphere was pushed out of is kept.
struct collider {
    const float* step;
    float radius;
    model_node* hit = nullptr;

    float check(model_node& node, float p[3])
    {
        float q[3];
        subtract_vector(p, node.origin, q);
        const float d2 = dot_product(q, q);
        if (d2 > node.radius * node.radius)
            return std::sqrt(d2) - node.radius;
        float min = node.radius;
        for (const primitive& prim : node.prims) {
            float d = collision_check_prim(prim, q, step, radius);
            if (d < min)
                min = d;
        }
        for (auto& child : node.children) {
            float d = check(*child, q);
            if (d < min)
                min = d;
        }
        if (min < 0.0f) {
            add_vector(q, node.origin, p);
            if (!hit)
                hit = &node;
        }
        return min;
    }
};

} // namespace

float collision_check(model_node& node, float p[3], const float step[3], float radius, model_node*& hit)
{
    collider c{step, radius, hit};
    const float d = c.check(node, p);
    hit = c.hit;
    return d;
}

float do_collision_check(structure_tree& t, float p[3], const float step[3], float radius, model_node** hit_out)
{
    collider c{step, radius};
    const float d = c.check(t.root, p);
    if (hit_out)
        *hit_out = c.hit;
    return d > 0.0f ? d : 0.0f;
}

// --- the tree's faces by material ---------------------------------------------

void gather_model_prims(const model_node& node, const float above[3], std::map<unsigned, std::vector<placed_quad>>& quads,
            std::map<unsigned, std::vector<placed_rounded>>* rounded)
{
    float offset[3];
    add_vector(above, node.origin, offset);
    for (const primitive& prim : node.prims) {
        if (prim.type == PRIM_QUAD)
            quads[prim.quad.texture].push_back({&node, &prim.quad, {offset[0], offset[1], offset[2]}});
        else if (!rounded)
            continue;
        else if (prim.type == PRIM_CONE && !(prim.cone.flags & PRIM_HIDDEN))
            (*rounded)[prim.cone.texture].push_back({&prim, {offset[0], offset[1], offset[2]}});
        else if (prim.type == PRIM_DOME && !(prim.dome.flags & PRIM_HIDDEN))
            (*rounded)[prim.dome.texture].push_back({&prim, {offset[0], offset[1], offset[2]}});
    }
    for (const auto& child : node.children)
        gather_model_prims(*child, offset, quads, rounded);
}

std::map<unsigned, std::vector<placed_quad>> quads_by_texture(const model_node& root)
{
    std::map<unsigned, std::vector<placed_quad>> by_texture;
    const float none[3] = {0.0f, 0.0f, 0.0f};
    gather_model_prims(root, none, by_texture, nullptr);
    return by_texture;
}
