#include "sim/archer.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "sim/game.h"
#include "sim/commands.h"
#include "sim/participants.h"
#include "sim/sides.h"
#include "sim/wire.h"
#include "sim/humanoid.h"
#include "sim/projectile.h"
#include "sim/combat.h"
#include "sim/units.h"
#include "sim/walls.h"


// An archer's extra record: the wall point whose tower it stands on. The
// index (not a pointer) keeps it valid whatever happens to the wall table.
struct archer_post {
    int wall_index;
};

// The archer fell: its tower waits 300 s for a new one.
static void release_archer_post(void* p)
{
    auto* post = static_cast<archer_post*>(p);
    if (post->wall_index >= 0 && post->wall_index < static_cast<int>(the_wall_pts.size())) {
        wall_point& w = the_wall_pts[static_cast<size_t>(post->wall_index)];
        w.has_archer = false;
        w.archer_id = 0;
        w.archer_emptied = true;
        w.regen_time = game_time + ARCHER_REGENERATION_DELAY;
    }
    delete post;
}

unit* add_archer(float x, float y, float z, wall_point& tower)
{
    unit* u = add_humanoid(TEAM_DEFENDERS);
    init_humanoid(u);
    announce_unit(u->id, HUMANOID_ARCHER, TEAM_DEFENDERS);
    auto* h = static_cast<humanoid_data*>(u->kind_data);
    h->kind = HUMANOID_ARCHER;
    h->weapon = WEAPON_BOW;
    int index = -1;
    if (!the_wall_pts.empty() && &tower >= the_wall_pts.data() && &tower < the_wall_pts.data() + the_wall_pts.size())
        index = static_cast<int>(&tower - the_wall_pts.data());
    u->extra = new archer_post{index};
    u->extra_release = release_archer_post;
    u->fixed = 1;
    u->team = TEAM_DEFENDERS;
    const float leg = h->type ? h->type->leg_length : 0.0f;
    u->x = u->order_x = x;
    u->y = u->order_y = y + leg;
    u->z = u->order_z = z;
    u->vx = u->vy = u->vz = 0.0f;
    u->heading = 180.0f;
    u->health = u->max_health = humanoid_health(HUMANOID_ARCHER);
    u->radius = 1.0f;
    u->attack_target = nullptr;
    u->target_seen = 0;
    u->last_attack_time = 0.0f;
    tower.has_archer = true;
    tower.archer_id = u->id;
    tower.archer_emptied = false;
    return u;
}

void shoot_archer(unit* u)
{
    unit* t = u->attack_target;
    if (!t || !(game_time - u->last_attack_time > BOW_RELOAD))
        return;
    const float yaw =
        std::atan2(u->z - t->z, u->x - t->x) * static_cast<float>(180.0 / M_PI) - 90.0f;
    const float gx = t->x - u->x, gz = t->z - u->z;
    const int d = static_cast<int>(std::sqrt(gx * gx + gz * gz));
    if (d > AIM_TABLE_SIZE - 1) {
        u->attack_target = nullptr;
        u->target_seen = 0;
        return;
    }
    const int dh = static_cast<int>(t->y - u->y);
    if (dh < -50 || dh > 49)
        return;  // out of the table: no shot, but the target stays
    const float pitch = -archer_projectile_table[dh + 50][d] * static_cast<float>(180.0 / M_PI);
    shoot_arrow(u->x, u->y + 0.3f, u->z, yaw, pitch, u->team);
    send_command_message("UARW", u->id, float_to_bits(yaw), float_to_bits(pitch), 0);
    u->last_attack_time = game_time;
    u->heading = yaw;
    u->pitch = pitch;
}

void simulate_archer(unit* u)
{
    if (!leads_side(u->team) || u->order_kind == ORDER_HOLD)
        return;
    look_unit(u);
    if (u->attack_target)
        shoot_archer(u);
}

void regenerate_archers()
{
    for (wall_point& w : the_wall_pts) {
        if (!w.tower || !w.archer_emptied || w.has_archer || !(w.regen_time < game_time))
            continue;
        const float s = w.thickness * 1.2f;
        const float H = w.height + 5.0f;
        add_archer(w.x + s / 2, w.y + H + s / 2, w.z + s / 2, w);
    }
}

static void post_archer(float x, float y, float z, wall_point& pt)
{
    add_archer(x, y, z, pt);
}

void init_archers()
{
    g_wall_links.add_archer = post_archer;
}
