#include "units/units.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdio>

#include "core/camera.h"
#include "core/main_loop.h"
#include "core/random.h"
#include "net/commands.h"
#include "net/participants.h"
#include "sound/sound.h"
#include "ui/interface.h"
#include "units/catapult.h"
#include "units/combat.h"
#include "units/humanoid.h"
#include "world/model_tree.h"
#include "world/terrain.h"

unit* unit_list = nullptr;
int friends_selected = 0;
unit* enemy_selected = nullptr;
int do_check_win = 0;

// The unit after the one being stepped: a step may delete other units (a
// blow that kills its target), and deleting moves this on.
static unit* s_walk_next = nullptr;

static uint32_t float_bits(float f)
{
    uint32_t u;
    static_assert(sizeof u == sizeof f);
    __builtin_memcpy(&u, &f, 4);
    return u;
}

unit* add_unit(uint32_t id)
{
    unit* u = new unit{};
    u->id = id;
    u->vx = 0.1f;  // separates a new unit from anything it overlaps on its first frame
    u->radius = 1.0f;
    u->invisible_until = -1.0f;
    u->next = unit_list;
    u->prev = nullptr;
    if (unit_list)
        unit_list->prev = u;
    unit_list = u;
    return u;
}

unit* find_unit(uint32_t id)
{
    for (unit* u = unit_list; u; u = u->next)
        if (u->id == id)
            return u;
    return nullptr;
}

int count_units()
{
    int n = 0;
    for (unit* u = unit_list; u; u = u->next)
        ++n;
    return n;
}

static int local_team()
{
    return me ? me->team : (n_parts > 0 ? parts[0].team : -1);
}

void raise_id_counter(uint32_t id)
{
    switch (id_class(id)) {
    case ID_CLASS_CATAPULT: {
        const int serial = static_cast<int>(id & 0xffffu);
        if (catapult_id <= serial)
            catapult_id = serial + 1;
        break;
    }
    case ID_CLASS_HUMANOID: {
        const uint32_t serial = id & 0xfffu;
        if (serial >= humanoid_id)
            humanoid_id = serial + 1;
        break;
    }
    default:
        // Rams, the dragon and ships keep their counters with their kinds,
        // whose spawn operations raise them.
        break;
    }
}

void spawn_unit(uint32_t id, int team, int kind)
{
    if (find_unit(id)) {
        fprintf(stderr, "Trying to spawn %8.8X, which already exists\n", id);
        return;
    }
    printf("spawning unit %8.8X for team %d\n", id, team);
    switch (id_class(id)) {
    case ID_CLASS_CATAPULT:
        raise_id_counter(id);
        // The catapult's own spawn (spawn_catapult with the team) is made
        // by the catapult module; until it exists nothing is created.
        break;
    case ID_CLASS_RAM:
        // The battering ram's spawn (spawn_ram) belongs to the ram module.
        break;
    case ID_CLASS_DRAGON:
        // The dragon's spawn (spawn_dragon) belongs to the dragon module.
        break;
    case ID_CLASS_HUMANOID:
        spawn_humanoid(id, team, kind);
        break;
    default:
        // Ships and unknown classes are not created from the network.
        break;
    }
}

static bool is_avatar(const unit* u)
{
    return u->kind == UNIT_HUMANOID && u->kind_data &&
           static_cast<const humanoid_data*>(u->kind_data)->kind == HUMANOID_AVATAR;
}

void del_unit(unit* u)
{
    if (!u)
        return;
    const bool avatar = is_avatar(u);
    // 1. Another participant's figure takes its table entry with it.
    if (avatar && u != me)
        delete_participant_by_unit(u);
    // 2. This copy's dragon (forgetting it and the dismount button) is the
    //    dragon module's business; it has nothing to forget yet.
    // 3. Nobody keeps attacking it.
    unit_detarget(u);
    // 4. Kind records.
    if (u->extra && u->extra_release)
        u->extra_release(u->extra);
    if (u->kind_data && u->kind_release)
        u->kind_release(u->kind_data);
    u->extra = nullptr;
    u->kind_data = nullptr;

    // 5. Unlink.
    if (s_walk_next == u)
        s_walk_next = u->next;
    if (u->prev)
        u->prev->next = u->next;
    else if (unit_list == u)
        unit_list = u->next;
    if (u->next)
        u->next->prev = u->prev;

    // 6. Selection counts.
    const int my_team = local_team();
    if (u->selected) {
        if (u->team == my_team) {
            if (friends_selected > 0)
                --friends_selected;
        } else if (enemy_selected == u) {
            enemy_selected = nullptr;
        }
        if (friends_selected == 0)
            deinit_command_buttons();
    }
    if (enemy_selected == u)
        enemy_selected = nullptr;

    // 7. The leader announces the deaths of its team's units; another
    //    participant's avatar is its own copy's business.
    if (u->team == my_team && i_am_team_leader() && !(avatar && u != me))
        send_command_message("UDIE", u->id, 0, 0, 0);
    // 8. Release.
    if (me == u)
        me = nullptr;
    delete u;
    do_check_win = 1;
}

void kill_unit(uint32_t id)
{
    if (unit* u = find_unit(id))
        del_unit(u);
}

int update_unit(uint32_t id, int n, const float* params)
{
    unit* u = find_unit(id);
    if (!u)
        return -1;
    switch (id_class(id)) {
    case ID_CLASS_HUMANOID:
        if (u->kind != UNIT_HUMANOID)
            return -1;
        return update_humanoid(u, n, params);
    case ID_CLASS_CATAPULT:
    case ID_CLASS_RAM:
    case ID_CLASS_DRAGON:
        // Their kinds' update operations (update_catapult, update_ram,
        // update_dragon) apply these records; until they exist, none is.
        return -1;
    default:
        return -1;
    }
}

void send_unit_messages()
{
    if (!me)
        return;
    const int my_team = me->team;
    const bool leader = i_am_team_leader();
    for (unit* u = unit_list; u; u = u->next) {
        if (u->team != my_team && u != me)
            continue;
        switch (u->kind) {
        case UNIT_HUMANOID:
            if (leader || u == me)
                conditionally_update_humanoid(u);
            break;
        case UNIT_CATAPULT:
        case UNIT_RAM:
            // Reported by the leader through their kinds'
            // conditionally_update_* operations.
            break;
        case UNIT_DRAGON:
            // The dragon reports itself where it was summoned.
            break;
        default:
            // Ships are never reported.
            break;
        }
    }
}

// --- orders -------------------------------------------------------------------

float heading_toward(float x, float z, float tx, float tz)
{
    float h = static_cast<float>(90.0 - atan2(static_cast<double>(tz - z), static_cast<double>(tx - x)) * 180.0 / M_PI);
    if (h < 0.0f)
        h += 360.0f;
    if (h > 360.0f)
        h -= 360.0f;
    return h;
}

void order_specific_unit(unit* u, float x, float z, int order_kind)
{
    if (!u)
        return;
    u->order_x = x;
    u->order_z = z;
    u->order_heading = heading_toward(u->x, u->z, x, z);
    u->order_kind = order_kind;
}

void issue_order(float x, float z, int order_kind)
{
    double sx = 0.0, sz = 0.0;
    int n = 0;
    for (unit* u = unit_list; u; u = u->next)
        if (u->selected) {
            sx += u->x;
            sz += u->z;
            ++n;
        }
    if (n == 0)
        return;
    const float mx = static_cast<float>(sx / n), mz = static_cast<float>(sz / n);
    const int my_team = local_team();
    const bool leader = i_am_team_leader();
    for (unit* u = unit_list; u; u = u->next) {
        if (!u->selected || u->team != my_team)
            continue;
        const float gx = x + u->x - mx, gz = z + u->z - mz;
        if (leader)
            order_specific_unit(u, gx, gz, order_kind);
        else
            send_command_message("ORDR", u->id, float_bits(static_cast<float>(order_kind)), float_bits(gx),
                                 float_bits(gz));
    }
}

int issue_unit_order(uint32_t id, int team, int order_kind, float x, float z)
{
    // Only the leader of the sender's team carries out its members' orders.
    if (!i_am_team_leader())
        return -1;
    unit* u = find_unit(id);
    if (!u) {
        fprintf(stderr, "tried to issue order %d->(%f,%f) to unit %8.8X which doesn't exist!\n", order_kind,
                static_cast<double>(x), static_cast<double>(z), id);
        return -1;
    }
    if (u->team != team) {
        fprintf(stderr, "member of team %d tried to order unit %8.8X of team %d\n", team, id, u->team);
        return -1;
    }
    // A unit of another team than this leader's is that team's leader's
    // business: its state records would overwrite whatever is done here.
    if (u->team != local_team())
        return -1;
    order_specific_unit(u, x, z, order_kind);
    return 0;
}

void select_catas()
{
    friends_selected = 0;
    enemy_selected = nullptr;
    const int my_team = local_team();
    for (unit* u = unit_list; u; u = u->next) {
        u->selected = u->kind == UNIT_CATAPULT ? 1 : 0;
        if (u->selected && u->team == my_team)
            ++friends_selected;
    }
    init_command_buttons();
}

void clear_selection()
{
    for (unit* u = unit_list; u; u = u->next)
        u->selected = 0;
    friends_selected = 0;
    enemy_selected = nullptr;
    deinit_command_buttons();
}

// --- simulation -------------------------------------------------------------------

void separate_unit(unit* u)
{
    for (unit* o = unit_list; o; o = o->next) {
        if (o == u)
            continue;
        float dx = o->x - u->x, dz = o->z - u->z;
        const float d2 = dx * dx + dz * dz;
        const float r = u->radius + o->radius;
        if (!(d2 < r * r))
            continue;
        float d = std::sqrt(d2);
        if (d < 0.2f || !std::isfinite(d)) {
            const float a = static_cast<float>(game_rand() % 100);
            dx = std::sin(a);
            dz = std::cos(a);
            d = 1.0f;
        }
        u->x -= dx / d * (r - d);
        u->z -= dz / d * (r - d);
    }
}

static void simulate_kind(unit* u, float dt)
{
    switch (u->kind) {
    case UNIT_HUMANOID:
        simulate_humanoid(u, dt);
        break;
    case UNIT_CATAPULT:
        // simulate_catapult (the catapult module) runs here.
        break;
    case UNIT_RAM:
        // simulate_ram (the ram module) runs here.
        break;
    case UNIT_DRAGON:
        // simulate_dragon (the dragon module) runs here.
        break;
    case UNIT_SHIP:
        // simulate_ship (the ship module) runs here.
        break;
    default:
        break;
    }
}

void simulate_units(float dt)
{
    for (unit* u = unit_list; u;) {
        s_walk_next = u->next;
        if (u->invisible_until >= 0.0f && u->invisible_until < game_time) {
            u->invisible_until = -1.0f;
            u->invisible = 0;
        }
        if (!u->fixed) {
            if (!u->on_water && !u->flying && u->y < WATER_LEVEL && height_map[0]) {
                float g[2];
                get_terrain_gradient(u->x, u->z, g);
                u->vx = 2.0f * g[0];
                u->vy = 0.0f;
                u->vz = 2.0f * g[1];
            }
            const float old[3] = {u->x, u->y, u->z};
            u->x += u->vx * dt;
            u->y += u->vy * dt;
            u->z += u->vz * dt;
            if (!u->flying && (u->vx != 0.0f || u->vz != 0.0f))
                separate_unit(u);
            if (game_time > u->next_collision_test) {
                u->touched_model = nullptr;
                float p[3] = {u->x, u->y, u->z};
                const float step[3] = {u->vx * dt, u->vy * dt, u->vz * dt};
                model_node* touched = nullptr;
                const float free_distance = do_collision_check(p, step, u->radius, &touched);
                u->touched_model = touched;
                u->x = p[0];
                u->y = p[1];
                u->z = p[2];
                if (dt > 0.0f) {
                    float* vel[3] = {&u->vx, &u->vy, &u->vz};
                    for (int k = 0; k < 3; ++k) {
                        const float rate = (p[k] - old[k]) / dt;
                        if (std::fabs(rate) < std::fabs(*vel[k]))
                            *vel[k] = rate;
                    }
                }
                u->next_collision_test = game_time + free_distance / (u->speed + std::fabs(u->vy));
            }
            if (!u->on_water && old[1] > WATER_LEVEL && u->y <= WATER_LEVEL)
                initiate_splash_sound(u->x, u->z);
        }
        simulate_kind(u, dt);
        u = s_walk_next;
    }
    s_walk_next = nullptr;
}

// --- drawing ----------------------------------------------------------------------

static void draw_pick_box(float s)
{
    const float h = s / 2;
    glBegin(GL_QUADS);
    const float v[8][3] = {{-h, -h, -h}, {h, -h, -h}, {h, h, -h}, {-h, h, -h},
                           {-h, -h, h},  {h, -h, h},  {h, h, h},  {-h, h, h}};
    const int f[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {3, 7, 6, 2}, {0, 4, 7, 3}, {1, 2, 6, 5}};
    for (const auto& face : f)
        for (int i : face)
            glVertex3fv(v[i]);
    glEnd();
}

void draw_billboarded_circle(unit* u)
{
    const bool friendly = u->team == local_team();
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    if (friendly)
        glColor3f(0.0f, 1.0f, 0.0f);
    else
        glColor3f(1.0f, 0.0f, 0.0f);
    glLineWidth(3.0f);
    glPushMatrix();
    glTranslatef(u->x, u->y, u->z);
    const float s = 2.0f * u->radius;
    glScalef(s, s, s);
    auto point = [](float a) {
        const float c = std::cos(a), sn = std::sin(a);
        glVertex3f(c * right_vect[0] + sn * up_vect[0], c * right_vect[1] + sn * up_vect[1],
                   c * right_vect[2] + sn * up_vect[2]);
    };
    const float step = static_cast<float>(18.0 * M_PI / 180.0);
    if (u->kind == UNIT_SHIP) {
        glBegin(GL_LINES);
        for (int i = 0; i < 10; ++i) {
            point(step * i);
            point(step * (i + 1));
        }
        glEnd();
    } else {
        glBegin(GL_LINE_LOOP);
        for (int i = 0; i < 21; ++i)
            point(step * i);
        glEnd();
    }
    if (friendly && u->max_health > 0.0f) {
        const float frac = u->health / u->max_health;
        const float len = frac;
        glEnable(GL_BLEND);
        glColor4f((u->max_health - u->health) / u->max_health, frac, 0.0f, 0.5f);
        auto at = [](float r, float up) {
            glVertex3f(r * right_vect[0] + up * up_vect[0], r * right_vect[1] + up * up_vect[1],
                       r * right_vect[2] + up * up_vect[2]);
        };
        glBegin(GL_QUADS);
        at(0.5f, 1.1f);
        at(0.5f - len, 1.1f);
        at(0.5f - len, 1.2f);
        at(0.5f, 1.2f);
        glEnd();
        glDisable(GL_BLEND);
    }
    glPopMatrix();
    glEnable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_LIGHTING);
}

static void draw_unit_by_kind(unit* u)
{
    switch (u->kind) {
    case UNIT_HUMANOID:
        draw_humanoid(u);
        break;
    case UNIT_CATAPULT:
        draw_catapult(u);
        break;
    case UNIT_RAM:
        // draw_ram (the ram module).
        break;
    case UNIT_DRAGON:
        // draw_dragon (the dragon module).
        break;
    case UNIT_SHIP:
        // draw_ship (the ship module).
        break;
    default:
        break;
    }
}

void draw_units()
{
    const bool picking = g_render_mode == GL_SELECT;
    bool highlighted = false;
    for (unit* u = unit_list; u; u = u->next) {
        if (u->invisible || u == me)
            continue;
        if (picking) {
            glPushName(u->id);
            if (u->kind != UNIT_DRAGON && u->kind != UNIT_SHIP) {
                glPushMatrix();
                glTranslatef(u->x, u->y, u->z);
                draw_pick_box(u->radius);
                glPopMatrix();
            }
            glPopName();
            continue;
        }
        const float centre[3] = {u->x, u->y, u->z};
        if (!sphere_in_view(centre, 1.5f * u->radius))
            continue;
        if (u->selected) {
            draw_billboarded_circle(u);
            if (!highlighted) {
                set_commands(u);
                highlighted = true;
            }
        }
        draw_unit_by_kind(u);
        const GLenum err = glGetError();
        if (err != GL_NO_ERROR)
            printf("post-draw-unit %8.8X glGetError() = %d\n", u->id, static_cast<int>(err));
    }
}

// --- command appliers -------------------------------------------------------------

int unit_shoot_arrow(uint32_t id, float a, float b)
{
    unit* u = find_unit(id);
    if (!u) {
        fprintf(stderr, "Unit %8.8X trying to shoot, but doesn't exist\n", id);
        return -1;
    }
    // The arrow itself (from the unit's position with aim a, b and the
    // unit's team) is made by the projectile module.
    (void)a;
    (void)b;
    return 0;
}

int unit_launch_ball(uint32_t id, float heading, float pitch)
{
    unit* u = find_unit(id);
    if (!u) {
        fprintf(stderr, "Unit %8.8X trying to shoot, but doesn't exist\n", id);
        return -1;
    }
    u->heading = heading;
    u->pitch = pitch;
    // The shot itself is launched by the catapult module.
    return 0;
}

int make_unit_invisible(uint32_t id, float until)
{
    unit* u = find_unit(id);
    if (!u) {
        fprintf(stderr, "Unit %8.8X trying to be invisible, but doesn't exist\n", id);
        return -1;
    }
    u->invisible = 1;
    u->invisible_until = until;
    return 0;
}

int unit_attack_sword(uint32_t attacker, uint32_t target, float heading)
{
    unit* a = find_unit(attacker);
    if (!a) {
        fprintf(stderr, "Unit %8.8X trying to swing sword at %8.8X, but doesn't exist\n", attacker, target);
        return -1;
    }
    unit* t = find_unit(target);
    if (!t) {
        fprintf(stderr, "Unit %8.8X trying to attack unit %8.8X which doesn't exist\n", attacker, target);
        return -1;
    }
    a->heading = heading;
    damage_this_unit(t, a, 3.0f);
    // The blow may have deleted the target, never the attacker.
    if (a->kind == UNIT_HUMANOID && a->kind_data)
        static_cast<humanoid_data*>(a->kind_data)->swing_state = 1;
    return 0;
}
