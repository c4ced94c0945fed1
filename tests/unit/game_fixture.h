// The tests' fixture: each test gets a session of its own and, for play, a
// world of its own, made as the game makes them; nothing carries over from
// one test to the next. This copy is "tester", number 500, alone on a team
// (so it leads that team). Every datagram it sends is recorded, and the
// helpers do what many tests do: another copy in the table, a soldier, flat
// ground, a datagram delivered as the transport delivers it, the commands
// sent.
//
//   struct Registry : game_test {};
//   TEST_F(Registry, Something) { world& w = fresh_game(); ... }
#pragma once

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "session_setup.h"
#include "sim/combat.h"
#include "sim/commands.h"
#include "sim/game.h"
#include "sim/humanoid.h"
#include "sim/message_table.h"
#include "sim/messages.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/session.h"
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/world.h"

class game_test : public ::testing::Test {
protected:
    session s;
    // The battle under test (none until fresh_game or play_world).
    std::unique_ptr<world> game;
    // Every datagram this copy sent, oldest first.
    std::vector<std::vector<unsigned char>> sent;

    game_test()
    {
        s.link.observer = [this](const unsigned char* buf, int len) { sent.emplace_back(buf, buf + len); };
    }

    // This copy alone in the menu on `team` with number `number`, the
    // session's clock at 10 s; the world of an earlier call goes.
    void lobby(int team = 0, int number = 500)
    {
        game.reset();
        lone_copy(s, team, number);
        sent.clear();
    }

    // The same copy in play on a world of its own (nothing built in it but
    // the participants' figures), the battle's clock at 100 s.
    world& fresh_game(int team = 1, int number = 500, unsigned seed = 1)
    {
        lobby(team, number);
        return play_world(seed);
    }

    // A world for the session as it stands (the participants' figures made,
    // this copy's own as `me`), in play at 100 s.
    world& play_world(unsigned seed = 1)
    {
        game.reset();
        game = ::play_world(s, seed);
        sent.clear();
        return *game;
    }

    // Another copy in the table; its figure stands in the world if one is
    // played. Returns its index.
    int add_member(const char* name, uint32_t sender, int team, int number)
    {
        const int idx = add_participant(s, name, sender, team);
        participant& p = s.parts[static_cast<size_t>(idx)];
        p.number = number;
        if (game) {
            p.figure = make_figure(*game, team);
            set_init_position(*game, p);
        }
        return idx;
    }

    // A footman (or another humanoid kind) of `team` standing at (x, z).
    unit* soldier(float x, float z, int team, int kind = HUMANOID_FOOTMAN)
    {
        unit* u = add_proto_footman(*game, x, 20.0f, z);
        u->team = team;
        u->vx = 0.0f;
        humanoid_of(u)->kind = kind;
        return u;
    }

    // Flat ground of height h over the whole map.
    void flat_ground(float h)
    {
        terrain_state& t = game->terrain;
        for (int j = 0; j < TERRAIN_SIZE; ++j)
            for (int i = 0; i < TERRAIN_SIZE; ++i)
                t.height_map[j][i] = h;
        t.made = true;
        calculate_normals(t);
        terrain_replaced(t);
    }

    // Delivers a datagram exactly as the transport does: the bytes in a
    // buffer of their own length (so a read past the end is a real fault).
    void deliver(const std::vector<unsigned char>& m, uint32_t sender)
    {
        std::vector<unsigned char> exact(m);
        client_message(s, game.get(), exact.empty() ? nullptr : exact.data(), static_cast<int>(exact.size()),
                       sender);
    }
    void deliver_text(const std::string& text, uint32_t sender)
    {
        deliver(std::vector<unsigned char>(text.begin(), text.end()), sender);
    }

    // The commands sent since the record was last cleared, oldest first;
    // only those of one sub-tag when given.
    std::vector<sent_command> sent_commands(const char* subtag = nullptr) const
    {
        return commands_among(sent, subtag);
    }
    // Datagrams sent whose first four bytes are `tag`.
    int sent_with_tag(const char* tag) const
    {
        int n = 0;
        for (const auto& d : sent)
            n += d.size() >= 4 && std::memcmp(d.data(), tag, 4) == 0;
        return n;
    }

    // Units of `team` in the registry.
    int units_of(int team) const
    {
        int n = 0;
        for (const unit* u = game->units.list; u; u = u->next)
            n += u->team == team;
        return n;
    }
};

