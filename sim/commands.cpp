#include "sim/commands.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "sim/game.h"
#include "sim/message_table.h"
#include "sim/messages.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/wire.h"

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

void send_command_message(session& s, const char (&subtag)[5], uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4)
{
    std::vector<unsigned char> m = build_command_message(subtag, p1, p2, p3, p4);
    send_game_message(s, m.data(), static_cast<int>(m.size()));
}

int draw_start_seed(session& s)
{
    int r = s.rand();
    return r % 50000 + 10240;
}

void choose_start_island(session& s, long long seed)
{
    s.start.island = seed >= 0 && seed <= 0xffffffffLL ? seed : -1;
}

start_info announce_start(session& s, int computer_team, int level)
{
    start_info info;
    // The draw is made either way: the menu's generator moves on alike.
    info.seed = static_cast<unsigned>(draw_start_seed(s));
    if (s.start.island >= 0)
        info.seed = static_cast<unsigned>(s.start.island);
    if ((computer_team == TEAM_ATTACKERS || computer_team == TEAM_DEFENDERS) && level_name(level)) {
        info.computer_team = computer_team;
        info.level = level;
    }
    // The second slot names the side this copy's computer plays (one more
    // than its number) and the third its level; copies that know nothing of
    // it read the seed alone.
    send_command_message(s, "STRT", info.seed,
                         info.computer_team >= 0 ? static_cast<uint32_t>(info.computer_team) + 1 : 0,
                         info.computer_team >= 0 ? static_cast<uint32_t>(info.level) : 0, 0);
    return info;
}

bool start_requested(const session& s)
{
    return s.start.pending;
}

bool take_start_request(session& s, start_info& out)
{
    if (!s.start.pending)
        return false;
    out = s.start.request;
    s.start.pending = false;
    return true;
}

void start_out_of_phase(message_context& c, const uint32_t p[4])
{
    refuse(c.s, c.sender, refusal::out_of_phase,
           "Received STRT (seed %d) while not in the menu; the game in progress goes on", static_cast<int>(p[0]));
}

void receive_start(message_context& c, const uint32_t p[4])
{
    session& s = c.s;
    if (s.start.pending) {
        start_out_of_phase(c, p);
        return;
    }
    printf("starting game with random seed = %d\n", static_cast<int>(p[0]));
    start_info info;
    info.seed = p[0];
    const int level = static_cast<int>(p[2]);
    if ((p[1] == 1 || p[1] == 2) && level_name(level)) {
        info.computer_team = static_cast<int>(p[1]) - 1;
        info.level = level;
        info.host = c.sender;
        printf("the %s are played by the computer (%s), hosted by %8.8X\n", s.teams[info.computer_team].name,
               level_name(level), info.host);
    }
    s.start.request = info;
    s.start.pending = true;
}

// --- parameter slots ------------------------------------------------------------------

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
