#include "sim/player_actions.h"

#include "sim/light.h"
#include "sim/magic.h"
#include "sim/player.h"
#include "sim/terrain.h"
#include "sim/trees.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/world.h"

void apply_player_action(world& w, const player_action& a)
{
    switch (a.kind) {
    case player_action_kind::order:
        issue_order(w, a.units, a.x, a.z, a.value);
        break;
    case player_action_kind::queue_order:
        queue_order(w, a.units, a.x, a.z);
        break;
    case player_action_kind::hold:
        for (uint32_t id : a.units)
            if (unit* u = find_unit(w, id))
                u->order_kind = ORDER_HOLD;
        break;
    case player_action_kind::toggle_gate:
        gate_func(w);
        break;
    case player_action_kind::pray:
        do_pray(w);
        break;
    case player_action_kind::cast:
        if (a.value == 0 || a.value == 1)
            magic_button(w, a.value);
        break;
    case player_action_kind::spell_target: {
        // The click takes the waiting spell, on the ground or not.
        const int waiting = w.player.waiting_spell;
        w.player.waiting_spell = 0;
        if (!a.value)
            break;
        if (waiting == WAITING_FIRESTORM)
            do_firestorm(w, a.x, a.z);
        else if (waiting == WAITING_LIGHTNING)
            cast_lightning(w, a.x, a.z);
        break;
    }
    case player_action_kind::click:
        player_click(w, a.value, a.first_down);
        break;
    case player_action_kind::night:
        if (a.value)
            turn_on_nighttime_mode(w.light, w.time);
        else
            turn_off_nighttime_mode(w.light, w.time);
        break;
    case player_action_kind::new_island:
        random_map(w);
        break;
    case player_action_kind::raise_ground:
        raise_terrain(w.terrain, a.x, a.z, a.value);
        break;
    case player_action_kind::lower_ground:
        lower_terrain(w.terrain, a.x, a.z, a.value);
        break;
    case player_action_kind::smooth_ground:
        smooth_terrain(w.terrain, a.x, a.z, a.value);
        break;
    case player_action_kind::plant_tree:
        save_tree(w, a.x, a.z);
        break;
    }
}
