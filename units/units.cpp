#include "units/units.h"

#include "core/main_loop.h"
#include "net/commands.h"
#include "net/participants.h"
#include "units/catapult.h"
#include "units/humanoid.h"
#include "units/ram.h"

unit* unit_list = nullptr;
int friends_selected = 0;
unit* enemy_selected = nullptr;
int do_check_win = 0;

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
    if (avatar && u != me)
        delete_participant_by_unit(u);
    for (unit* o = unit_list; o; o = o->next)
        if (o->attack_target == u)
            o->attack_target = nullptr;
    if (u->extra && u->extra_release)
        u->extra_release(u->extra);
    if (u->kind_data && u->kind_release)
        u->kind_release(u->kind_data);
    u->extra = nullptr;
    u->kind_data = nullptr;

    if (u->prev)
        u->prev->next = u->next;
    else
        unit_list = u->next;
    if (u->next)
        u->next->prev = u->prev;

    const int my_team = me ? me->team : -1;
    if (u->selected) {
        if (u->team == my_team) {
            if (friends_selected > 0)
                --friends_selected;
        } else if (enemy_selected == u) {
            enemy_selected = nullptr;
        }
    }
    if (enemy_selected == u)
        enemy_selected = nullptr;

    // The leader announces the deaths of its team's units; another
    // participant's avatar is its own copy's business.
    if (u->team == my_team && i_am_team_leader() && !(avatar && u != me))
        send_command_message("UDIE", u->id, 0, 0, 0);
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
    case ID_CLASS_CATAPULT: return u->kind == UNIT_CATAPULT ? update_catapult(u, n, params) : -1;
    case ID_CLASS_RAM: return u->kind == UNIT_RAM ? update_ram(u, n, params) : -1;
    default:
        // Machines, the dragon and ships report through their own kinds.
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
        if (u->kind == UNIT_HUMANOID && (leader || u == me))
            conditionally_update_humanoid(u);
        else if (u->kind == UNIT_CATAPULT && leader) conditionally_update_catapult(u);
        else if (u->kind == UNIT_RAM && leader) conditionally_update_batram(u);
    }
}
