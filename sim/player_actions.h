// What this copy's player asks of the battle: one record per request. The
// interface makes them from the keyboard, the pointer and the command bar
// while it reads the world through a const view; the program applies them
// to the world between two steps, so that the presentation never changes
// the world itself. The walking keys and the view's turns go in the step's
// player_controls (sim/player.h) instead.
#pragma once

#include <cstdint>
#include <vector>

struct world;

enum class player_action_kind {
    order,          // `units` go to (x, z) to move or attack (`value`: ORDER_MOVE, ORDER_ATTACK)
    queue_order,    // `units` go on to (x, z) after their current orders
    hold,           // `units` stop where they are (on this copy only)
    toggle_gate,    // every gate up or down
    pray,           // start or stop praying
    cast,           // the spell in slot `value` (0 or 1)
    spell_target,   // the ground click a firestorm or lightning waits for; `value` 1 when it hit the ground
    click,          // a pointer button `value` (1..3) pressed, 0 released, while the view looks; `first_down`
    night,          // night comes (`value` 1) or goes (0) at once
    new_island,     // a fresh island from the world's draws (god mode)
    raise_ground,   // the ground at (x, z) within `value` rises, sinks or is smoothed (god mode)
    lower_ground,
    smooth_ground,
    plant_tree,     // a chestnut at (x, z), saved in the player's trees file
};

struct player_action {
    explicit player_action(player_action_kind k, float x_ = 0.0f, float z_ = 0.0f, int value_ = 0)
        : kind(k), x(x_), z(z_), value(value_)
    {
    }
    player_action_kind kind;
    float x = 0.0f, z = 0.0f;
    int value = 0;
    bool first_down = false;
    std::vector<uint32_t> units;
};

// Carries out one request on the world.
void apply_player_action(world& w, const player_action& a);
