// What outlives a battle: this copy's identity and player options, the
// participants met in the menu, the sides and their computer players, the
// phase of the game and the session's own clock, the refusals counted, the
// way datagrams leave this copy, and the events for the presentation. The
// program makes one session at start-up and keeps it to the end; each
// battle is a world (sim/world.h) made for it and gone with the battle.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/random.h"
#include "sim/commands.h"
#include "sim/events.h"
#include "sim/game.h"
#include "sim/message_table.h"
#include "sim/messages.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/sides.h"

// The files the city is placed from, read when a world is built (tests
// point them at files of their own).
struct placement_files {
    std::string walls = "walls.txt";
    std::string houses = "houses.txt";
    std::string trees = "trees.txt";
};

struct session {
    session();
    session(const session&) = delete;
    session& operator=(const session&) = delete;

    // Seconds since the session began: the menu's timers (presence,
    // silence), the refusals' report periods. Unlike a battle's clock it
    // never starts again.
    float now = 0.0f;
    // STATE_MENU, STATE_PLAY, STATE_WON or STATE_LOST.
    int phase = STATE_MENU;
    // GOD: this copy's player walks three times as fast, rises and sinks at
    // will, prays 25 and heals 4 times as fast.
    int god = 0;
    // The menu's own draws (this copy's number, its first side, the start
    // seed); a battle draws from its world's generator.
    rand_stream rng;
    int rand() { return stream_rand(rng); }

    // This copy's player's name (at most 31 characters; empty until known)
    // and its number (-1 until drawn).
    std::string username;
    int my_number = -1;
    // The participant table: this copy first, then every copy heard
    // announcing itself in the menu.
    std::vector<participant> parts;
    // Participants that have left the table since the session began: a
    // world buries the dead whose creator left when this moves on.
    long departures = 0;
    team_entry teams[2];
    computer_side sides[2];

    refusal_log refusals;
    // The datagram being handled: its sender and its kind (0 outside one).
    uint32_t current_sender = 0;
    uint32_t current_kind = 0;
    // Each sender's rate window for each row that has a rate (a stream of
    // forged addresses shares one window once the map is full).
    std::map<std::pair<uint32_t, const message_row*>, rate_window> rates;

    datagram_link link;
    start_request start;
    placement_files files;
    event_list events;
};
