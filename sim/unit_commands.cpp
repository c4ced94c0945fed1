#include "sim/unit_commands.h"

#include <cstdio>

#include "sim/commands.h"
#include "sim/magic.h"
#include "sim/message_table.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/units.h"
#include "sim/wire.h"
#include "sim/world.h"

// An id announced by two copies belongs to the one with the lower number,
// on every copy alike: a copy that made its own unit under the id moves it
// to a fresh one (and announces that), and a copy that heard the other
// first makes the unit again as the keeper's. True when the id is free now
// for the sender's unit; false when what holds it stays (the holder comes
// first, or has left, or no id is free to move to).
static bool yield_id(world& w, unit* had, const participant& from)
{
    const session& s = w.session;
    int holder = s.my_number;
    if (!had->made_here) {
        const int h = had->creator ? find_participant(s, had->creator) : -1;
        if (h < 0)
            return false;
        holder = s.parts[static_cast<size_t>(h)].number;
    }
    if (from.number >= holder || had->kind == UNIT_SHIP)
        return false;
    const uint32_t id = had->id;
    if (had->made_here) {
        const uint32_t fresh = renumber_made_unit(w, had);
        if (!fresh)
            return false;
        printf("UNIT %8.8X was also made by %8.8X, which keeps the id: ours is %8.8X now\n", id, from.id, fresh);
    } else {
        printf("UNIT %8.8X was also made by %8.8X, which keeps the id: the unit is made again as its\n", id,
               from.id);
        del_unit(w, had);
    }
    return true;
}

void receive_unit(message_context& c, const uint32_t p[4])
{
    world& w = *c.w;
    const participant& from = c.who();
    // A unit of a computer side names its side; only the side's host makes
    // them.
    const int team = commanded_side(c.s, p[2], from.id, from.team);
    if (team < 0) {
        refuse(c.s, from.id, refusal::wrong_team, "UNIT %8.8X for side %u from %8.8X, which hosts no such side, refused",
               p[0], p[2], from.id);
        return;
    }
    const int kind = command_code(p[1]);
    // A copy announces only ids of its own side's ranges, and never a
    // player's figure (those come with the participants).
    if (!id_made_by_team(p[0], team) || (id_class(p[0]) == ID_CLASS_HUMANOID && kind == 0)) {
        refuse(c.s, from.id, refusal::bad_value,
               "UNIT %8.8X (kind %d) from a member of team %d is no unit that team makes, refused", p[0], kind, team);
        return;
    }
    unit* had = find_unit(w, p[0]);
    if (had && !had->made_here && had->creator == from.id)
        return;  // its creator's second announcement, for copies that missed the first
    if (had && yield_id(w, had, from))
        had = nullptr;
    const bool known = had != nullptr;
    spawn_unit(w, p[0], team, kind);
    unit* u = known ? nullptr : find_unit(w, p[0]);
    if (u && !u->made_here) {
        u->creator = from.id;    // decides its death while it stays
        u->awaiting_place = 1;   // until its creator's first record
    }
}

// Only the copy that decides the unit's death sends it (death_decider):
// this copy's own units and figure die by this copy's word alone.
void receive_unit_death(message_context& c, const uint32_t p[4])
{
    kill_unit(*c.w, p[0]);
}

void receive_order(message_context& c, const uint32_t p[4])
{
    const int kind = command_code(p[1]);
    const float x = command_float(p[2]), z = command_float(p[3]);
    if (kind < 0 || kind > ORDR_QUEUE_MOVE || !wire_value_ok(x) || !wire_value_ok(z)) {
        refuse(c.s, c.sender, refusal::bad_value, "ORDR for unit %8.8X with order %d to (%f,%f) is no order, ignored",
               p[0], kind, static_cast<double>(x), static_cast<double>(z));
        return;
    }
    issue_unit_order(*c.w, p[0], c.who().team, kind, x, z);
}

// A blow by a sword soldier of the side the sender steers, no sooner than
// its interval (the rule for USWD).
void receive_sword(message_context& c, const uint32_t p[4])
{
    const float heading = command_float(p[2]);
    if (!wire_value_ok(heading)) {
        refuse(c.s, c.sender, refusal::bad_value, "USWD for unit %8.8X with no heading, ignored", p[0]);
        return;
    }
    if (p[0] == p[1]) {
        refuse(c.s, c.sender, refusal::bad_value, "USWD: unit %8.8X strikes itself, ignored", p[0]);
        return;
    }
    unit_attack_sword(*c.w, p[0], p[1], heading);
}

// "INVS": a player makes its own figure invisible until the sender's clock
// reads `until` (its clock + 15); the rule for INVS has checked that the
// figure is the sender's and the time is near.
void receive_invisible(message_context& c, const uint32_t p[4])
{
    make_unit_invisible(*c.w, p[0], command_float(p[1]));
}
