// The participant table: this copy first, then every copy heard announcing
// itself in the menu. It decides this copy's side, whether it leads its
// team, and who sent a command or a chat line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct unit;

struct participant {
    std::string name;  // at most 32 characters
    uint32_t id;       // sender id (IPv4 source address); 0 for the own entry
    float last_heard;  // game_time of the last HELO
    int team;
    int number;
    int is_self;
    unit* figure;
};

extern std::vector<participant> parts;  // entry 0 is this copy
extern int n_parts;
extern int a_parts;
extern unit* me;
extern int my_numb;
extern int single_player;

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

void init_participants();
// Adds an entry (not for teams other than 0 and 1, nor beyond
// MAX_PARTICIPANTS); returns its index or -1.
int add_participant(const char* name, uint32_t id, int team);
void del_participant(int index);
void delete_participant_by_unit(unit* u);
void expire_participants();
void set_init_position(participant& p);
// The team this copy plays for: its figure's, else its own table entry's
// (the first), else -1.
int local_team();
// This copy's player takes a side (the team window's buttons).
void choose_team(int team);
int i_am_attacker();
int i_am_defender();
int i_am_team_leader();
// Index of the first entry with that sender id, or -1.
int find_participant(uint32_t id);
void receive_helo_message(const unsigned char* buf, int len, uint32_t sender);
