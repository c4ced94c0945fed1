#include "sim/projectile.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/vector.h"
#include "sim/combat.h"
#include "sim/commands.h"
#include "sim/game.h"
#include "sim/humanoid.h"
#include "sim/message_table.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/wire.h"
#include "sim/world.h"

static constexpr float RAD = static_cast<float>(DEG_TO_RAD);

// --- the list ------------------------------------------------------------------

int add_projectile(world& w, projectile* p)
{
    if (!p)
        return -1;
    projectile_list& list = w.projectiles;
    p->prev = nullptr;
    p->next = list.head;
    if (list.head)
        list.head->prev = p;
    list.head = p;
    p->next_check = w.time - 1.0f;  // the first frame tests it
    return 0;
}

projectile* del_projectile(projectile_list& list, projectile* p)
{
    if (!p)
        return nullptr;
    projectile* next = p->next;
    if (p->prev)
        p->prev->next = next;
    else
        list.head = next;
    if (next)
        next->prev = p->prev;
    if (p->dispose)
        p->dispose(p);
    delete p;
    return next;
}

projectile_list::~projectile_list()
{
    while (head)
        del_projectile(*this, head);
}

int count_projectiles(const projectile_list& list)
{
    int n = 0;
    for (const projectile* p = list.head; p; p = p->next)
        ++n;
    return n;
}

int count_meteors(const projectile_list& list)
{
    int n = 0;
    for (const projectile* p = list.head; p; p = p->next)
        n += p->meteor ? 1 : 0;
    return n;
}

static float speed_of(const projectile* p)
{
    return std::sqrt(p->vx * p->vx + p->vy * p->vy + p->vz * p->vz);
}

void simulate_projectiles(world& w, float dt)
{
    if (dt <= 0.0f)
        return;
    for (projectile* p = w.projectiles.head; p;) {
        if (p->expiry < w.time) {
            p = del_projectile(w.projectiles, p);
            continue;
        }
        if (p->step)
            p->step(w, p, dt);
        const float s = speed_of(p);
        if (s > p->max_speed && s > 0.0f) {
            const float k = p->max_speed / s;
            p->vx *= k;
            p->vy *= k;
            p->vz *= k;
        }
        p->x += p->vx * dt;
        p->y += p->vy * dt;
        p->z += p->vz * dt;
        float dx = p->vx * dt, dy = p->vy * dt, dz = p->vz * dt;
        if (do_damage_collision_check(w, p->x, p->y, p->z, dx, dy, dz, p->radius, p->next_check, p->max_speed,
                                      p->damage, p->team))
            p->expiry = w.time - 1.0f;
        const float h = get_terrain_height(w.terrain, p->x, p->z);
        if (p->y < h) {
            dy = p->y - h;
            p->y = h;
            p->vy *= -0.5f;
            if (p->expiry > w.time + 1.0f)
                p->expiry = w.time + 1.0f;
        }
        // Pushed out of a structure or the ground this frame: it stops
        // almost dead and goes within a second.
        if (std::fabs(dx) > 0.001f || std::fabs(dy) > 0.001f || std::fabs(dz) > 0.001f) {
            p->vx = dx * 0.1f / dt;
            p->vy = dy * 0.1f / dt;
            p->vz = dz * 0.1f / dt;
            if (p->expiry > w.time + 1.0f)
                p->expiry = w.time + 1.0f;
        }
        p = p->next;
    }
}

// --- arrows --------------------------------------------------------------------

static void simulate_arrow(world& w, projectile* p, float dt)
{
    const float old_vy = p->vy;
    p->vy -= ARROW_GRAVITY * dt;
    if (speed_of(p) > ARROW_MAX_SPEED)
        p->vy = old_vy;  // terminal speed
    if (p->y < -10.0f)
        p->expiry = w.time - 1.0f;
}

static void dispose_arrow(projectile* p)
{
    delete static_cast<arrow_data*>(p->data);
    p->data = nullptr;
}

int shoot_arrow(world& w, float x, float y, float z, float yaw, float pitch, int team)
{
    auto* p = new projectile{};
    const float cy = std::cos(yaw * RAD), sy = std::sin(yaw * RAD);
    const float cp = std::cos(pitch * RAD), sp = std::sin(pitch * RAD);
    p->vx = ARROW_SPEED * cp * sy;
    p->vy = -ARROW_SPEED * sp;
    p->vz = -ARROW_SPEED * cp * cy;
    // The arrow starts 1.2 units out, clear of the bow.
    p->x = x + p->vx * 0.04f;
    p->y = y + p->vy * 0.04f;
    p->z = z + p->vz * 0.04f;
    p->damage = ARROW_DAMAGE;
    p->radius = ARROW_RADIUS;
    p->team = team;
    p->max_speed = ARROW_MAX_SPEED;
    p->expiry = w.time + ARROW_LIFETIME;
    p->data = new arrow_data{yaw, pitch};
    p->kind = PROJECTILE_ARROW;
    p->step = simulate_arrow;
    p->dispose = dispose_arrow;
    return add_projectile(w, p);
}

int unit_shoot_arrow(world& w, uint32_t id, float yaw, float pitch)
{
    unit* u = find_unit(w, id);
    if (!u) {
        refuse_current(w.session, refusal::unknown_unit, "Unit %8.8X trying to shoot, but doesn't exist", id);
        return -1;
    }
    const humanoid_data* h = u->kind == UNIT_HUMANOID ? humanoid_of(u) : nullptr;
    if (!h || h->weapon != WEAPON_BOW) {
        refuse_current(w.session, refusal::not_shooter, "Unit %8.8X trying to shoot, but has no bow", id);
        return -1;
    }
    spend_turn(u);
    shoot_arrow(w, u->x, u->y, u->z, yaw, pitch, u->team);
    return 0;
}

// An arrow's aim from the wire: both angles usable, else a line and false.
static bool aim_ok(message_context& c, const char* what, uint32_t id, float yaw, float pitch)
{
    if (wire_value_ok(yaw) && wire_value_ok(pitch))
        return true;
    refuse(c.s, c.sender, refusal::bad_value, "%s for unit %8.8X with an aim out of range, ignored", what, id);
    return false;
}

void receive_player_arrow(message_context& c, const uint32_t p[4])
{
    unit* figure = c.who().figure;
    if (!figure)
        return;
    const float yaw = bits_to_float(p[0]), pitch = bits_to_float(p[1]);
    if (!aim_ok(c, "AARW", figure->id, yaw, pitch))
        return;
    spend_turn(figure);
    shoot_arrow(*c.w, figure->x, figure->y + 0.3f, figure->z, yaw, pitch, figure->team);
}

void receive_unit_arrow(message_context& c, const uint32_t p[4])
{
    const float yaw = bits_to_float(p[1]), pitch = bits_to_float(p[2]);
    if (!aim_ok(c, "UARW", p[0], yaw, pitch))
        return;
    const participant& s = c.who();
    const int team = s.team;
    if (const unit* u = find_unit(*c.w, p[0]); u && !sender_plays_side(c.s, s.id, team, u->team)) {
        refuse(c.s, s.id, refusal::wrong_team, "member of team %d tried to shoot with unit %8.8X of team %d", team,
               p[0], u->team);
        return;
    }
    unit_shoot_arrow(*c.w, p[0], yaw, pitch);
}

// --- aiming table --------------------------------------------------------------

void build_archer_projectile_table(aim_table& table)
{
    std::memset(table.elevation, 0, sizeof table.elevation);
    const double step = M_PI / 1000.0;
    for (int k = 0;; ++k) {
        const double a = -M_PI / 2 + k * step;
        if (a >= M_PI / 2)
            break;
        const double c = std::cos(a);
        for (int d = 0; d < AIM_TABLE_SIZE; ++d) {
            // Height of the path at distance d: speed 30 (2 v^2 = 1800), gravity 3.
            const double h = d * std::tan(a) - 3.0 * d * d / (1800.0 * c * c);
            if (!std::isfinite(h))
                continue;
            const double t = std::trunc(h);
            if (t >= -50 && t <= 49)
                table.elevation[static_cast<int>(t) + 50][d] = static_cast<float>(a);
        }
    }
}
