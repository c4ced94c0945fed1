// The participant table: this copy first, then every copy heard announcing
// itself in the menu. It decides this copy's side, whether it leads its
// team, and who sent a command or a chat line. The table is the session's;
// each participant's figure is a unit of the battle's world, made when the
// world is built.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct unit;
struct session;
struct world;

struct participant {
    std::string name;  // at most 32 characters
    uint32_t id;       // sender id (IPv4 source address); 0 for the own entry
    float last_heard;  // session clock of the last HELO
    int team;
    int number;
    int is_self;
    unit* figure;      // its figure in the world being played, or none
};

// Entries the table holds at most: a participant's number is one of 0..1023.
constexpr int MAX_PARTICIPANTS = 1024;

// Seconds of menu silence after which a participant is dropped.
constexpr float PARTICIPANT_TIMEOUT = 4.0f;

// How often the password entry is asked for the user's name before the
// name falls back to "UNKNOWN".
constexpr int USERNAME_QUERY_ATTEMPTS = 5;

// The user name from a password entry's full-name and login fields
// (either may be null): the full name when present, "UNKNOWN" when it is
// present but empty or when neither is usable.
std::string username_from_fields(const char* gecos, const char* login);

// A fresh table holding this copy alone, on a side drawn from the menu's
// generator (the user's name is looked up when not known).
void init_participants(session& s);
// Adds an entry (not for teams other than 0 and 1, nor beyond
// MAX_PARTICIPANTS); returns its index or -1.
int add_participant(session& s, const char* name, uint32_t id, int team);
void del_participant(session& s, int index);
void delete_participant_by_unit(session& s, const unit* u);
// Drops the participants silent for PARTICIPANT_TIMEOUT (in the menu).
void expire_participants(session& s);
// The figures of the table's participants, made in the world being built
// in the table's order, each at its side's start place under the id its
// number gives; this copy's is the world's `me`, and the eye stands at it.
void make_participant_figures(world& w);
// A participant's figure for `team`: a humanoid of the figure kind, not yet
// placed (set_init_position places it and gives it its id).
unit* make_figure(world& w, int team);
// A figure's start place and id from its participant's side and number
// (and the eye, for this copy's own).
void set_init_position(world& w, participant& p);
// The team this copy plays for: its figure's while it stands, else its own
// table entry's (the first), else -1.
int local_team(const session& s);
int local_team(const world& w);
// This copy's player takes a side (the team window's buttons).
void choose_team(session& s, int team);
int i_am_attacker(const session& s);
int i_am_defender(const session& s);
int i_am_team_leader(const session& s);
// Index of the first entry with that sender id, or -1.
int find_participant(const session& s, uint32_t id);
void receive_helo_message(session& s, const unsigned char* buf, int len, uint32_t sender);
