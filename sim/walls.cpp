// Walls, towers and gates.
#include "sim/walls.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/paths.h"
#include "platform/vector.h"
#include "sim/archer.h"
#include "sim/commands.h"
#include "sim/game.h"
#include "sim/materials.h"
#include "sim/message_table.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/wire.h"
#include "sim/world.h"

namespace {

// Walls stand this far below the ground so no gap shows on slopes.
constexpr float WALL_SINK = 1.49f;
// A gate leaves room for its flanking towers at each end.
constexpr float GATE_INSET = 0.33333334f * 1.8f;
constexpr float WALL_HEALTH = 30.0f;
constexpr float TOWER_HEALTH = 1.0f;
constexpr float GATE_SWING_PER_STEP = 2.0f;  // degrees a tuned step
// Bounds of a usable line of the walls file.
constexpr float WALL_PLACE_LIMIT = 1e5f;
constexpr float WALL_SIZE_LIMIT = 1e4f;

struct file_closer {
    void operator()(FILE* f) const { fclose(f); }
};
using file_ptr = std::unique_ptr<FILE, file_closer>;

// A code carried as a float, truncated toward zero; a value that is not a
// number or lies beyond the int range gives `fallback` (a command from the
// network may carry any bits).
int truncate_code(float v, int fallback)
{
    if (!std::isfinite(v) || v <= -2147483648.0f || v >= 2147483648.0f)
        return fallback;
    return static_cast<int>(v);
}

bool is_yes(char c)
{
    return c == 'y' || c == 'Y';
}

void point_vec(const wall_point& pt, float out[3])
{
    set_vector(out, pt.x, pt.y, pt.z);
}

} // namespace

void set_gate_shape_mp(model_node& node, float angle, const float a_in[3], float thick_a, const float up_a[3],
                       const float b_in[3], float thick_b, const float up_b[3], int is_gate)
{
    (void)angle;
    float a[3], b[3], d[3];
    copy_vector(a, a_in);
    copy_vector(b, b_in);
    subtract_vector(b, a, d);
    unsigned texture = TEX_stone_floor;
    if (is_gate) {
        float dn[3];
        copy_vector(dn, d);
        normalize_vector(dn);
        for (int k = 0; k < 3; ++k) {
            a[k] += GATE_INSET * thick_a * dn[k];
            b[k] -= GATE_INSET * thick_b * dn[k];
        }
        subtract_vector(b, a, d);
        texture = TEX_kelvarin_gate;
    }
    float sa[3], sb[3];
    cross_product(up_a, d, sa);
    normalize_vector(sa);
    scale_vector(sa, thick_a / 2);
    cross_product(up_b, d, sb);
    normalize_vector(sb);
    scale_vector(sb, thick_b / 2);
    const float len = vector_length(d) / 2;

    float p[8][3];
    for (int k = 0; k < 3; ++k) {
        p[0][k] = a[k] + sa[k] + up_a[k];
        p[1][k] = a[k] + sa[k];
        p[2][k] = a[k] - sa[k] + up_a[k];
        p[3][k] = a[k] - sa[k];
        p[4][k] = b[k] + sb[k] + up_b[k];
        p[5][k] = b[k] + sb[k];
        p[6][k] = b[k] - sb[k] + up_b[k];
        p[7][k] = b[k] - sb[k];
    }
    float mean[3] = {0, 0, 0};
    for (auto& q : p)
        add_vector(mean, q, mean);
    scale_vector(mean, 1.0f / 8);
    for (auto& q : p)
        subtract_vector(q, mean, q);
    copy_vector(node.origin, mean);
    float diag[3];
    subtract_vector(p[4], p[3], diag);
    node.radius = vector_length(diag);
    node.prims.clear();
    set_tree_points(node, p, 8);
    add_quad_prim(node, 2, 3, 7, 6, texture, 5, len);
    add_quad_prim(node, 1, 0, 4, 5, texture, 5, len);
    add_quad_prim(node, 2, 6, 4, 0, texture, len, 1);
    if (is_gate) {
        add_quad_prim(node, 0, 1, 3, 2, texture, 5, 1);
        add_quad_prim(node, 5, 4, 6, 7, texture, 5, 1);
        add_quad_prim(node, 3, 1, 5, 7, texture, 5, 1);
    }
}

int add_wall_model(structure_tree& t, const float a[3], float thick_a, float height_a, const float b[3], float thick_b,
                   float height_b, int is_gate)
{
    model_node node;
    empty_model_tree(node, 0, 0, 0, 0);
    node.health = WALL_HEALTH;
    const float up_a[3] = {0, height_a, 0};
    const float up_b[3] = {0, height_b, 0};
    set_gate_shape_mp(node, 0, a, thick_a, up_a, b, thick_b, up_b, is_gate);
    // A gate changes shape as it swings, so only plain walls are compiled.
    node.fixed_shape = !is_gate;
    return register_top_level_model(t, std::move(node));
}

void set_gate_shape(structure_tree& t, int model_id, float angle, const float a[3], const float b[3], float thickness,
                    float height)
{
    model_node* node = get_top_level_model(t, model_id);
    if (!node)
        return;
    const float up[3] = {0, height, 0};
    float dn[3], side[3];
    subtract_vector(b, a, dn);
    normalize_vector(dn);
    cross_product(up, dn, side);
    scale_vector(side, -1.0f);
    const float th = angle * 0.017453292f;
    float tilted[3];
    for (int k = 0; k < 3; ++k)
        tilted[k] = std::cos(th) * up[k] + std::sin(th) * side[k];
    set_gate_shape_mp(*node, angle, a, thickness, tilted, b, thickness, tilted, 1);
}

int add_tower_model(world& w, const float point[3], float s, float h, int square, int index)
{
    model_node node;
    empty_model_tree(node, point[0], point[1] + h / 2, point[2], h / 2 + s);
    node.health = TOWER_HEALTH;
    if (leads_side(w.session, TEAM_DEFENDERS))
        add_archer(w, point[0] + s / 2, point[1] + h + s / 2, point[2] + s / 2, index);
    if (square) {
        add_child_to_tree(node, create_box_tree(0, 0, 0, s, h, s, TEX_marble, 0.3f));
    } else {
        primitive cone;
        create_cone_prim(cone, 0, -h / 2, 0, 0.9f * s, 0.8f * s, h, TEX_marble, 8);
        add_primitive_to_tree(node, cone);
        add_child_to_tree(node, create_box_tree(0, h / 2 - s / 8, 0, s / 2, s / 4, s / 2, TEX_marble, 4 / s));
    }
    // Battlements: tall merlons at the corners, low ones between.
    const float hi = h / 2 + s / 8, lo = h / 2 - s / 16;
    const float tall = 0.75f * s, low = 0.375f * s;
    const float merlons[8][4] = {
        {s / 2, hi, s / 2, tall},   {0, lo, s / 2, low},     {-s / 2, hi, s / 2, tall}, {-s / 2, lo, 0, low},
        {-s / 2, hi, -s / 2, tall}, {0, lo, -s / 2, low},    {s / 2, hi, -s / 2, tall}, {s / 2, lo, 0, low},
    };
    for (const auto& m : merlons)
        add_child_to_tree(node, create_box_tree(m[0], m[1], m[2], s / 2, m[3], s / 2, TEX_marble, 4 / s));
    node.fixed_shape = true;
    return register_top_level_model(w.structures, std::move(node));
}

int load_walls(world& w)
{
    walls_state& walls = w.walls;
    const std::string& walls_filename = w.session.files.walls;
    walls.points.clear();
    walls.gate_up = 1;
    file_ptr f(fopen(data_file(walls_filename).c_str(), "r"));
    if (!f) {
        fprintf(stderr, "cannot open %s (%s): the city has no walls, towers or gates\n", walls_filename.c_str(),
                strerror(errno));
        return -1;
    }
    for (int line = 1;; ++line) {
        float x, z, height, thickness;
        char tower, gate;
        if (fscanf(f.get(), "%f, %f, %f, %f, %c %c", &x, &z, &height, &thickness, &tower, &gate) != 6)
            break;
        // A wall must stand somewhere, have a body, and go somewhere: a point
        // on the last one, no thickness or no height would make faces without
        // area, which block nothing and trouble every collision test near
        // them.
        const char* why = nullptr;
        if (!(std::fabs(x) <= WALL_PLACE_LIMIT && std::fabs(z) <= WALL_PLACE_LIMIT))
            why = "is no place on the map";
        else if (!(thickness > 0.0f && thickness <= WALL_SIZE_LIMIT))
            why = "has no usable thickness";
        else if (!(height > 0.0f && height <= WALL_SIZE_LIMIT))
            why = "has no usable height";
        else if (!walls.points.empty() && x == walls.points.back().x && z == walls.points.back().z)
            why = "repeats the point before it";
        if (why) {
            fprintf(stderr, "%s line %d (%g, %g, thickness %g, height %g) %s: refused\n", walls_filename.c_str(), line,
                    static_cast<double>(x), static_cast<double>(z), static_cast<double>(thickness),
                    static_cast<double>(height), why);
            continue;
        }
        wall_point pt;
        pt.x = x;
        pt.z = z;
        pt.y = structure_ground(w, x, z) - WALL_SINK;
        pt.height = height;
        pt.thickness = thickness;
        pt.tower = is_yes(tower);
        pt.gate = is_yes(gate);
        walls.points.push_back(pt);
    }
    const int count = walls.count();
    for (int i = 0; i + 1 < count; ++i) {
        wall_point& pt = walls.points[static_cast<size_t>(i)];
        const wall_point& next = walls.points[static_cast<size_t>(i) + 1];
        float a[3], b[3];
        point_vec(pt, a);
        point_vec(next, b);
        pt.model_id = add_wall_model(w.structures, a, pt.thickness, pt.height, b, next.thickness, next.height, pt.gate);
        if (pt.tower) {
            const int square = pt.gate || (i > 0 && walls.points[static_cast<size_t>(i) - 1].gate);
            add_tower_model(w, a, 1.2f * pt.thickness, pt.height + 5, square, i);
        }
        walls.points[static_cast<size_t>(i)].broken = 0;
    }
    // The last point only ends the last stretch.
    if (count > 0) {
        walls.points.back().tower = 0;
        walls.points.back().gate = 0;
    }
    printf("loaded %d wall points from %s\n", count, walls_filename.c_str());
    return count;
}

void set_gate(walls_state& walls, float angle)
{
    for (wall_point& pt : walls.points)
        if (pt.gate && !pt.broken)
            pt.target = angle;
}

void set_gate_bool(walls_state& walls, int up)
{
    walls.gate_up = up;
    set_gate(walls, 90.0f - 90.0f * static_cast<float>(up));
}

void gate_func(world& w)
{
    set_gate_bool(w.walls, !w.walls.gate_up);
    send_command_message(w.session, "GATE", float_to_bits(static_cast<float>(w.walls.gate_up)), float_to_bits(0),
                         float_to_bits(0), float_to_bits(0));
}

void set_break_gate(walls_state& walls, int gate_index, float value)
{
    printf("set_break_gate called with parameters %d, %f\n", gate_index, static_cast<double>(value));
    if (gate_index < 0 || gate_index >= walls.count())
        return;
    walls.points[static_cast<size_t>(gate_index)].broken = truncate_code(value, 1);
}

int named_gate(const walls_state& walls, float code)
{
    const int index = truncate_code(code, -1);
    if (index < 0 || index + 1 >= walls.count() || !walls.points[static_cast<size_t>(index)].gate)
        return -1;
    return index;
}

bool gate_broken(const walls_state& walls, int index)
{
    return index >= 0 && index < walls.count() && walls.points[static_cast<size_t>(index)].broken;
}

// --- the gate commands ----------------------------------------------------------

void receive_gate(message_context& c, const uint32_t p[4])
{
    set_gate_bool(c.w->walls, bits_to_float(p[0]) > 0 ? 1 : 0);
}

void receive_gate_break(message_context& c, const uint32_t p[4])
{
    walls_state& walls = c.w->walls;
    // A broken gate must name a gate of this city.
    if (named_gate(walls, bits_to_float(p[0])) < 0) {
        refuse(c.s, c.sender, refusal::bad_value, "GBRK for wall point %d, which starts no gate, ignored",
               truncate_code(bits_to_float(p[0]), -1));
        return;
    }
    set_break_gate(walls, truncate_code(bits_to_float(p[0]), -1), bits_to_float(p[1]));
}

bool gate_stands_open(const wall_point& p)
{
    return p.gate && (p.broken || p.angle > 45.0f);
}

std::vector<wall_stretch> closed_wall_stretches(const walls_state& walls)
{
    std::vector<wall_stretch> out;
    for (int i = 0; i + 1 < walls.count(); ++i) {
        const wall_point& a = walls.points[static_cast<size_t>(i)];
        const wall_point& b = walls.points[static_cast<size_t>(i) + 1];
        if (gate_stands_open(a))
            continue;
        out.push_back({a.x, a.z, b.x, b.z, std::fmax(a.thickness, b.thickness) / 2.0f});
    }
    return out;
}

void simulate_walls(world& w, float dt)
{
    const float swing = per_tuned_step(GATE_SWING_PER_STEP, dt);
    walls_state& walls = w.walls;
    for (int i = 0; i + 1 < walls.count(); ++i) {
        wall_point& pt = walls.points[static_cast<size_t>(i)];
        if (!pt.gate)
            continue;
        model_node* model = get_top_level_model(w.structures, pt.model_id);
        if (model && model->health <= 0 && !pt.broken) {
            pt.broken = 1;
            send_command_message(w.session, "GBRK", float_to_bits(static_cast<float>(i)), float_to_bits(1.0f),
                                 float_to_bits(0), float_to_bits(0));
            printf("sending command message GBRK for gate %d with parameter %f\n", i, 1.0);
        }
        if (pt.broken)
            pt.target = 90;
        if (pt.angle != pt.target) {
            float step = pt.target - pt.angle;
            if (step > swing)
                step = swing;
            if (step < -swing)
                step = -swing;
            pt.angle += step;
            float a[3], b[3];
            point_vec(pt, a);
            point_vec(walls.points[static_cast<size_t>(i) + 1], b);
            set_gate_shape(w.structures, pt.model_id, pt.angle, a, b, pt.thickness, pt.height);
        }
    }
}
