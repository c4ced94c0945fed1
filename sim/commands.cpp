#include "sim/commands.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "sim/game.h"
#include "platform/random.h"
#include "sim/messages.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/sides.h"
#include "sim/wire.h"
#include "sim/magic.h"
#include "sim/humanoid.h"
#include "sim/units.h"

static void receive_start(const uint32_t p[4], int);
static const participant& sender_of(int index);
static void receive_unit(const uint32_t p[4], int);
static void receive_udie(const uint32_t p[4], int);
static void receive_order(const uint32_t p[4], int);
static void receive_sword(const uint32_t p[4], int);
static void receive_invisible(const uint32_t p[4], int);

static std::vector<command_route>& command_table()
{
    static std::vector<command_route> table = {
        {make_tag("STRT"), 0, receive_start},
        {make_tag("UNIT"), 1, receive_unit},
        {make_tag("UDIE"), 1, receive_udie},
        {make_tag("ORDR"), 1, receive_order},
        {make_tag("USWD"), 1, receive_sword},
        {make_tag("INVS"), 1, receive_invisible},
    };
    return table;
}

void register_command(const char (&subtag)[5], int play_only, command_handler handler)
{
    const uint32_t t = make_tag(subtag);
    for (command_route& r : command_table())
        if (r.subtag == t) {
            r.play_only = play_only;
            r.handler = handler;
            return;
        }
    command_table().push_back({t, play_only, handler});
}

std::vector<unsigned char> build_command_message(const char (&subtag)[5], uint32_t p1, uint32_t p2, uint32_t p3,
                                                 uint32_t p4)
{
    std::vector<unsigned char> m;
    put_tag(m, "CMND");
    put_tag(m, subtag);
    put_u32(m, p1);
    put_u32(m, p2);
    put_u32(m, p3);
    put_u32(m, p4);
    return m;
}

void send_command_message(const char (&subtag)[5], uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4)
{
    std::vector<unsigned char> m = build_command_message(subtag, p1, p2, p3, p4);
    send_game_message(m.data(), static_cast<int>(m.size()));
}

void receive_command_message(const unsigned char* buf, int len, uint32_t sender)
{
    if (len != CMND_LEN) {
        refuse(sender, refusal::malformed, "Malformed network CMND message, len = %d, from %8.8X", len, sender);
        return;
    }
    int idx = find_participant(sender);
    if (idx >= 0 && parts[static_cast<size_t>(idx)].is_self) {
        refuse(sender, refusal::unknown_sender, "Ignoring a CMND message from self (%8.8X)", sender);
        return;
    }
    if (idx < 0) {
        refuse(sender, refusal::unknown_sender, "Received CMND message from unknown source: %8.8X", sender);
        return;
    }
    wire_reader r(buf, len);
    uint32_t tag, subtag, p[4];
    if (!r.tag(tag) || !r.tag(subtag) || !r.u32(p[0]) || !r.u32(p[1]) || !r.u32(p[2]) || !r.u32(p[3]))
        return;
    for (const command_route& route : command_table()) {
        if (route.subtag != subtag)
            continue;
        set_current_kind(subtag);
        if (route.play_only && game_state != STATE_PLAY)
            return;
        // Who may send it is asked first (sim/rights.h); the handler then
        // checks what it says.
        if (command_allowed(subtag, p, idx))
            route.handler(p, idx);
        return;
    }
    // Unknown sub-tags are ignored.
}

int draw_start_seed()
{
    int r = game_rand();
    return r % 50000 + 10240;
}

static long long s_start_island = -1;

void choose_start_island(long long seed)
{
    s_start_island = seed >= 0 && seed <= 0xffffffffLL ? seed : -1;
}

start_info announce_start(int computer_team, int level)
{
    start_info s;
    // The draw is made either way: the menu's generator moves on alike.
    s.seed = static_cast<unsigned>(draw_start_seed());
    if (s_start_island >= 0)
        s.seed = static_cast<unsigned>(s_start_island);
    if ((computer_team == TEAM_ATTACKERS || computer_team == TEAM_DEFENDERS) && level_name(level)) {
        s.computer_team = computer_team;
        s.level = level;
    }
    // The second slot names the side this copy's computer plays (one more
    // than its number) and the third its level; copies that know nothing of
    // it read the seed alone.
    send_command_message("STRT", s.seed, s.computer_team >= 0 ? static_cast<uint32_t>(s.computer_team) + 1 : 0,
                         s.computer_team >= 0 ? static_cast<uint32_t>(s.level) : 0, 0);
    return s;
}

// A start another copy asked for, not yet carried out.
static bool s_start_pending = false;
static start_info s_start_request;

bool start_requested()
{
    return s_start_pending;
}

bool take_start_request(start_info& out)
{
    if (!s_start_pending)
        return false;
    out = s_start_request;
    s_start_pending = false;
    return true;
}

static void receive_start(const uint32_t p[4], int index)
{
    const int seed = static_cast<int>(p[0]);
    if (game_state != STATE_MENU || s_start_pending) {
        refuse(current_sender(), refusal::out_of_phase,
               "Received STRT (seed %d) while not in the menu; the game in progress goes on", seed);
        return;
    }
    printf("starting game with random seed = %d\n", seed);
    start_info s;
    s.seed = p[0];
    const int level = static_cast<int>(p[2]);
    if ((p[1] == 1 || p[1] == 2) && level_name(level)) {
        s.computer_team = static_cast<int>(p[1]) - 1;
        s.level = level;
        s.host = sender_of(index).id;
        printf("the %s are played by the computer (%s), hosted by %8.8X\n", teams[s.computer_team].name,
               level_name(level), s.host);
    }
    s_start_request = s;
    s_start_pending = true;
}

// --- unit commands ------------------------------------------------------------------

float command_float(uint32_t slot)
{
    float f;
    memcpy(&f, &slot, 4);
    return f;
}

uint32_t command_slot(float f)
{
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
}

int command_code(uint32_t slot)
{
    const float f = command_float(slot);
    // Truncated toward zero; anything that is no small number at all
    // (NaN, infinity, huge) reads as -1, which no code uses.
    if (!std::isfinite(f) || f <= -1e6f || f >= 1e6f)
        return -1;
    return static_cast<int>(f);
}

static const participant& sender_of(int index)
{
    return parts[static_cast<size_t>(index)];
}

// An id announced by two copies belongs to the one with the lower number,
// on every copy alike: a copy that made its own unit under the id moves it
// to a fresh one (and announces that), and a copy that heard the other
// first makes the unit again as the keeper's. True when the id is free now
// for the sender's unit; false when what holds it stays (the holder comes
// first, or has left, or no id is free to move to).
static bool yield_id(unit* had, const participant& from)
{
    int holder = my_numb;
    if (!had->made_here) {
        const int h = had->creator ? find_participant(had->creator) : -1;
        if (h < 0)
            return false;
        holder = parts[static_cast<size_t>(h)].number;
    }
    if (from.number >= holder || had->kind == UNIT_SHIP)
        return false;
    const uint32_t id = had->id;
    if (had->made_here) {
        const uint32_t fresh = renumber_made_unit(had);
        if (!fresh)
            return false;
        printf("UNIT %8.8X was also made by %8.8X, which keeps the id: ours is %8.8X now\n", id, from.id, fresh);
    } else {
        printf("UNIT %8.8X was also made by %8.8X, which keeps the id: the unit is made again as its\n", id,
               from.id);
        del_unit(had);
    }
    return true;
}

static void receive_unit(const uint32_t p[4], int index)
{
    // A unit of a computer side names its side; only the side's host makes
    // them.
    const int team = commanded_side(p[2], sender_of(index).id, sender_of(index).team);
    if (team < 0) {
        refuse(sender_of(index).id, refusal::wrong_team, "UNIT %8.8X for side %u from %8.8X, which hosts no such side, refused",
               p[0], p[2], sender_of(index).id);
        return;
    }
    const int kind = command_code(p[1]);
    // A copy announces only ids of its own side's ranges, and never a
    // player's figure (those come with the participants).
    if (!id_made_by_team(p[0], team) || (id_class(p[0]) == ID_CLASS_HUMANOID && kind == 0)) {
        refuse(sender_of(index).id, refusal::bad_value,
               "UNIT %8.8X (kind %d) from a member of team %d is no unit that team makes, refused", p[0], kind, team);
        return;
    }
    unit* had = find_unit(p[0]);
    if (had && !had->made_here && had->creator == sender_of(index).id)
        return;  // its creator's second announcement, for copies that missed the first
    if (had && yield_id(had, sender_of(index)))
        had = nullptr;
    const bool known = had != nullptr;
    spawn_unit(p[0], team, kind);
    unit* u = known ? nullptr : find_unit(p[0]);
    if (u && !u->made_here) {
        u->creator = sender_of(index).id;  // decides its death while it stays
        u->awaiting_place = 1;             // until its creator's first record
    }
}

// Only the copy that decides the unit's death sends it (death_decider):
// this copy's own units and figure die by this copy's word alone.
static void receive_udie(const uint32_t p[4], int)
{
    kill_unit(p[0]);
}

static void receive_order(const uint32_t p[4], int index)
{
    const int kind = command_code(p[1]);
    const float x = command_float(p[2]), z = command_float(p[3]);
    if (kind < 0 || kind > ORDR_QUEUE_MOVE || !wire_value_ok(x) || !wire_value_ok(z)) {
        refuse(sender_of(index).id, refusal::bad_value, "ORDR for unit %8.8X with order %d to (%f,%f) is no order, ignored",
               p[0], kind, static_cast<double>(x), static_cast<double>(z));
        return;
    }
    issue_unit_order(p[0], sender_of(index).team, kind, x, z);
}

// A blow by a sword soldier of the side the sender steers, no sooner than
// its interval (sword_rule).
static void receive_sword(const uint32_t p[4], int index)
{
    const float heading = command_float(p[2]);
    if (!wire_value_ok(heading)) {
        refuse(sender_of(index).id, refusal::bad_value, "USWD for unit %8.8X with no heading, ignored", p[0]);
        return;
    }
    if (p[0] == p[1]) {
        refuse(sender_of(index).id, refusal::bad_value, "USWD: unit %8.8X strikes itself, ignored", p[0]);
        return;
    }
    unit_attack_sword(p[0], p[1], heading);
}

// "INVS": a player makes its own figure invisible until the sender's clock
// reads `until` (its clock + 15). The clocks of one game agree roughly, so
// an end time far beyond that is a lie, and so is any unit but the sender's
// own figure.
static void receive_invisible(const uint32_t p[4], int index)
{
    const float until = command_float(p[1]);
    const uint32_t from = sender_of(index).id;
    if (!wire_value_ok(until)) {
        refuse(from, refusal::bad_value, "INVS for unit %8.8X without an end time, ignored", p[0]);
        return;
    }
    const unit* figure = sender_of(index).figure;
    if (!figure || figure->id != p[0]) {
        refuse(from, refusal::invisible, "INVS for unit %8.8X, which is not the sender's figure, ignored", p[0]);
        return;
    }
    if (until > game_time + 2.0f * INVISIBILITY_TIME || !(until > game_time)) {
        refuse(from, refusal::invisible, "INVS for unit %8.8X until %f, not within the next %g s, ignored", p[0],
               static_cast<double>(until), static_cast<double>(2.0f * INVISIBILITY_TIME));
        return;
    }
    make_unit_invisible(p[0], until);
}
