#include "ai/battlefield.h"

#include <cmath>

#include "sim/buildings.h"
#include "sim/humanoid.h"
#include "sim/model_tree.h"
#include "sim/sides.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/world.h"

battlefield survey_battlefield(const world& w)
{
    battlefield b;
    const std::vector<wall_point>& points = w.walls.points;
    for (int i = 0; i + 1 < w.walls.count(); ++i)
        if (points[static_cast<size_t>(i)].gate) {
            b.gate = i;
            break;
        }
    if (b.gate >= 0) {
        const wall_point& a = points[static_cast<size_t>(b.gate)];
        const wall_point& c = points[static_cast<size_t>(b.gate) + 1];
        b.gate_x = (a.x + c.x) / 2;
        b.gate_z = (a.z + c.z) / 2;
        // Across the gate, pointed at the attackers' shore (+z).
        float nx = -(c.z - a.z), nz = c.x - a.x;
        const float len = std::hypot(nx, nz);
        if (len > 0.0f) {
            nx /= len;
            nz /= len;
        }
        if (nx * (0.0f - b.gate_x) + nz * (188.0f - b.gate_z) < 0.0f) {
            nx = -nx;
            nz = -nz;
        }
        b.out_x = nx;
        b.out_z = nz;
        if (a.tower)
            b.towers_by_gate[0] = b.gate;
        if (c.tower)
            b.towers_by_gate[1] = b.gate + 1;
    }
    for (int id : w.buildings.temple_ids) {
        const model_node* t = get_top_level_model(w.structures, id);
        if (!t)
            continue;
        const int side = t->origin[2] < 0.0f ? TEAM_DEFENDERS : TEAM_ATTACKERS;
        b.home_temple_x[side] = t->origin[0];
        b.home_temple_z[side] = t->origin[2];
        if (side == TEAM_DEFENDERS) {
            b.temple_x = t->origin[0];
            b.temple_z = t->origin[2];
        }
    }
    return b;
}

bool gate_open(const world& w, const battlefield& b)
{
    if (b.gate < 0)
        return true;
    return gate_stands_open(w.walls.points[static_cast<size_t>(b.gate)]);
}

float gate_health(const world& w, const battlefield& b)
{
    if (b.gate < 0)
        return -1.0f;
    const model_node* m = get_top_level_model(w.structures, w.walls.points[static_cast<size_t>(b.gate)].model_id);
    return m ? m->health : -1.0f;
}

void before_gate(const battlefield& b, float d, float side, float& x, float& z)
{
    x = b.gate_x + b.out_x * d - b.out_z * side;
    z = b.gate_z + b.out_z * d + b.out_x * side;
}

bool within_gate(const battlefield& b, const unit* u)
{
    return (u->x - b.gate_x) * b.out_x + (u->z - b.gate_z) * b.out_z < -5.0f;
}

static bool fights(const world& w, const unit* u)
{
    if (u->kind == UNIT_CATAPULT || u->kind == UNIT_RAM)
        return true;
    const int kind = humanoid_kind_of(u);
    return kind >= HUMANOID_ARCHER && computer_figure_side(w, u) < 0;
}

std::vector<unit*> fighters_of(world& w, int team)
{
    std::vector<unit*> out;
    for (unit* u = w.units.list; u; u = u->next)
        if (u->team == team && fights(w, u) && u->health > 0.0f)
            out.push_back(u);
    return out;
}

bool army_spent(world& w, int team)
{
    for (const unit* a : fighters_of(w, team))
        if (a->kind == UNIT_RAM || (a->kind == UNIT_HUMANOID && !a->fixed))
            return false;
    return true;
}

unit* nearest_enemy_figure(world& w, int team, float x, float z)
{
    unit* best = nullptr;
    float best2 = 1e30f;
    for (unit* e = w.units.list; e; e = e->next) {
        if (e->team == team || e->kind != UNIT_HUMANOID || humanoid_kind_of(e) != HUMANOID_FIGURE ||
            !(e->health > 0.0f))
            continue;
        const float d2 = (e->x - x) * (e->x - x) + (e->z - z) * (e->z - z);
        if (d2 < best2) {
            best2 = d2;
            best = e;
        }
    }
    return best;
}

std::vector<unit*> enemies_near(world& w, int team, float x, float z, float range)
{
    std::vector<unit*> out;
    for (unit* u = w.units.list; u; u = u->next) {
        if (u->team == team || u->invisible || !(u->health > 0.0f))
            continue;
        if (u->kind != UNIT_HUMANOID && u->kind != UNIT_CATAPULT && u->kind != UNIT_RAM)
            continue;
        const float dx = u->x - x, dz = u->z - z;
        if (dx * dx + dz * dz < range * range)
            out.push_back(u);
    }
    return out;
}
