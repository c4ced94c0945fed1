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
// A start command does not build the island here (that takes long): the
// harness makes the started game's world with nothing in it but the
// participants' figures, so that later datagrams of the same input meet
// the play routes.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/commands.h"
#include "sim/humanoid.h"
#include "sim/message_table.h"
#include "sim/messages.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/ram.h"
#include "sim/session.h"
#include "sim/ship.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/world.h"

namespace {

constexpr uint32_t PEER = 0x0a4d0002u;
const uint32_t SENDERS[4] = {PEER, 0u, 0x0a4d00feu, 0xc0a80101u};

float flat_ground(const world&, float, float)
{
    return 12.0f;
}

// This copy (and the peer, when the input asks for one) in a fresh session.
void set_up_session(session& s, bool with_peer, int peer_team, int own_number, int own_team)
{
    stream_srand(s.rng, 1);
    s.username = "fuzz";
    s.my_number = own_number;
    init_participants(s);
    choose_team(s, own_team);
    if (with_peer) {
        const int idx = add_participant(s, "peer", PEER, peer_team);
        s.parts[static_cast<size_t>(idx)].number = 1;
    }
}

// A world for the session: its figures, flat ground for the structures.
std::unique_ptr<world> make_world(session& s, unsigned seed)
{
    auto w = std::make_unique<world>(s, seed);
    w->structures.ground = flat_ground;
    make_participant_figures(*w);
    w->time = 1.0f;
    return w;
}

// Soldiers of both teams (ids from a fresh counter, so inputs can name
// them), a catapult and a ram, and a wall whose middle stretch is a gate.
void small_battle(world& w)
{
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
        w.walls.points.push_back(pt);
    }
    for (int i = 0; i < 6; ++i) {
        unit* u = add_proto_footman(w, static_cast<float>(i * 3), 12.0f, static_cast<float>(i % 2));
        u->team = i % 2;
    }
    for (int team = 0; team < 2; ++team) {
        const float z = team ? -8.0f : 8.0f;
        // An archer on the first tower's point, fixed, with a bow.
        unit* archer = add_proto_footman(w, -20.0f, 24.0f, 40.0f);
        humanoid_data* h = humanoid_of(archer);
        h->kind = HUMANOID_ARCHER;
        h->weapon = WEAPON_BOW;
        archer->fixed = 1;
        archer->team = team;
        add_goblin(w, -6.0f, z)->team = team;
        add_ghoul(w, -3.0f, z)->team = team;
        add_orangatang(w, 0.0f, z)->team = team;
    }
    add_catapult(w, -10.0f, 10.0f)->team = 0;
    add_catapult(w, -10.0f, -10.0f)->team = 1;
    add_ram(w, 5.0f, 30.0f)->team = 0;
    add_ram(w, 5.0f, -30.0f)->team = 1;
    add_ship(w, 100.0f, 0.0f, 200.0f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    session s;
    set_up_session(s, data[1] & 1, (data[1] >> 1) & 1, data[1] & 16 ? 2 : 0, data[1] & 8 ? 1 : 0);
    std::unique_ptr<world> w;
    s.phase = data[0] & 3;
    s.now = 1.0f;
    if (s.phase != STATE_MENU) {
        w = make_world(s, 1);
        if (data[1] & 4)
            small_battle(*w);
    }
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
        client_message(s, w.get(), buf.data(), static_cast<int>(len), sender);
        pos += len;
        s.now += 0.05f;
        start_info start;
        if (take_start_request(s, start) && s.phase == STATE_MENU) {
            // The started game's world, as the program makes it (bar the island).
            w = make_world(s, start.seed);
            s.phase = STATE_PLAY;
            if (data[1] & 4)
                small_battle(*w);
        }
        if (w) {
            w->time += 0.05f;
            // The play step between datagrams, as the frame loop runs it.
            if (s.phase == STATE_PLAY && (data[1] & 4)) {
                simulate_units(*w, 0.05f);
                simulate_walls(*w);
            }
        }
    }
    return 0;
}
