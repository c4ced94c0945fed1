// Received datagrams: client_message takes any bytes from any sender in
// every game mode.
//
// Input layout:
//   byte 0: game mode at the start (0 menu, 1 play, 2 won, 3 lost)
//   byte 1: bit 0 set: a peer is in the participant table (number 1, its
//           figure 00080401; this copy's is 00080400); bit 1: its team;
//           bit 2: a small battle is set up, with every kind of unit on both
//           sides (footmen 0008x000-0008x005, then an archer on a tower, a
//           goblin, a ghoul and an orangatang each side, catapults
//           00010000 and 00010001, rams 00040000 and 00040001, a ship
//           00060000; x is 0 when this copy defends, else 1) and a wall
//           with a gate, so that the unit and siege commands (UNIT, UDIE,
//           ORDR, USWD, INVS, GATE, GBRK, AARW, UARW, UBAL, LIGH, FIRE) and
//           the state records meet real records; bit 3: this copy's team;
//           bit 4: this copy's number is 2, above the peer's, so that an id
//           both announce is the peer's
//   then datagrams, each: one byte choosing the sender (0 the peer, 1 this
//   copy's own entry, 2 an unknown address, 3 a second unknown address),
//   two bytes little-endian length, and that many bytes (cut at the end of
//   the input).
// A start command does not build the world here (that needs a GL context):
// it only switches the mode to play, so that later datagrams of the same
// input meet the play routes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "game/main_loop.h"
#include "platform/random.h"
#include "sim/messages.h"

#define FUZZ_HAVE_LOBBY 1
#include "sim/commands.h"
#include "sim/participants.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/humanoid.h"
#include "sim/projectile.h"
#include "sim/ram.h"
#include "sim/ship.h"
#include "sim/siege.h"
#include "sim/units.h"
#include "sim/model_tree.h"
#include "sim/walls.h"
#include "sim/world.h"

#include "../unit/registry_reset.h"

namespace {

constexpr uint32_t PEER = 0x0a4d0002u;
const uint32_t SENDERS[4] = {PEER, 0u, 0x0a4d00feu, 0xc0a80101u};

#ifdef FUZZ_HAVE_LOBBY
void start_without_world(const uint32_t[4], int)
{
    if (game_state == STATE_MENU) {
        game_state = STATE_PLAY;
        game_time = 0.0f;
    }
}

// Back to one participant (this copy) and no units but its figure, with
// everything of the last input's game reset as a new game resets it.
void reset_world(bool with_peer, int peer_team, int own_number)
{
    game_srand(1);
    my_numb = own_number;
    init_participants();
    empty_registry();
    reset_world_state();
    if (with_peer) {
        const int idx = add_participant("peer", PEER, peer_team);
        parts[static_cast<size_t>(idx)].number = 1;
        set_init_position(parts[static_cast<size_t>(idx)]);
    }
}

float flat_ground(float, float)
{
    return 12.0f;
}

// Soldiers of both teams (ids from a fresh counter, so inputs can name
// them), a catapult and a ram, and a wall whose middle stretch is a gate.
void small_battle()
{
    clear_model_tree();
    structure_ground = flat_ground;
    the_wall_pts.clear();
    n_wall_pts = 0;
    const float wall[3][2] = {{-20, 40}, {0, 40}, {20, 40}};
    for (int i = 0; i < 3; ++i) {
        wall_point pt;
        pt.x = wall[i][0];
        pt.z = wall[i][1];
        pt.y = 10.5f;
        pt.height = 10;
        pt.thickness = 4;
        pt.gate = i == 1;
        pt.tower = i == 0;
        add_wall_pt(pt);
    }
    fill_human_types();
    for (int i = 0; i < 6; ++i) {
        unit* u = add_proto_footman(static_cast<float>(i * 3), 12.0f, static_cast<float>(i % 2));
        u->team = i % 2;
    }
    for (int team = 0; team < 2; ++team) {
        const float z = team ? -8.0f : 8.0f;
        // An archer on the first tower's point, fixed, with a bow.
        unit* archer = add_proto_footman(-20.0f, 24.0f, 40.0f);
        auto* h = static_cast<humanoid_data*>(archer->kind_data);
        h->kind = HUMANOID_ARCHER;
        h->weapon = WEAPON_BOW;
        archer->fixed = 1;
        archer->team = team;
        add_goblin(-6.0f, z)->team = team;
        add_ghoul(-3.0f, z)->team = team;
        add_orangatang(0.0f, z)->team = team;
    }
    add_catapult(-10.0f, 10.0f)->team = 0;
    add_catapult(-10.0f, -10.0f)->team = 1;
    add_ram(5.0f, 30.0f)->team = 0;
    add_ram(5.0f, -30.0f)->team = 1;
    add_ship(100.0f, 0.0f, 200.0f);
}
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
#ifdef FUZZ_HAVE_LOBBY
    static bool once = [] {
        register_command("STRT", 0, start_without_world);
        init_wall_links();
        init_siege();
        return true;
    }();
    (void)once;
    reset_world(data[1] & 1, (data[1] >> 1) & 1, data[1] & 16 ? 2 : 0);
    if (data[1] & 8) {
        parts[0].team = 1;
        if (me)
            me->team = 1;
    }
    if (data[1] & 4)
        small_battle();
#endif
    game_state = data[0] & 3;
    game_time = 1.0f;
    size_t pos = 2;
    std::vector<unsigned char> buf;
    while (pos + 3 <= size) {
        uint32_t sender = SENDERS[data[pos] & 3];
        size_t len = data[pos + 1] | (data[pos + 2] << 8);
        pos += 3;
        if (len > size - pos)
            len = size - pos;
        // The transport hands over the bytes followed by a zero byte.
        buf.assign(data + pos, data + pos + len);
        buf.push_back(0);
        client_message(buf.data(), static_cast<int>(len), sender);
        pos += len;
        game_time += 0.05f;
#ifdef FUZZ_HAVE_LOBBY
        // The play step between datagrams, as the frame loop runs it.
        if (game_state == STATE_PLAY && (data[1] & 4)) {
            simulate_units(0.05f);
            simulate_walls();
        }
#endif
    }
    return 0;
}
