#include "sim/participants.h"

#include <cstdio>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

#include "sim/humanoid.h"
#include "sim/session.h"
#include "sim/units.h"
#include "sim/wire.h"
#include "sim/world.h"

std::string username_from_fields(const char* gecos, const char* login)
{
    const char* taken = gecos ? gecos : login;
    if (!taken || !*taken)
        return "UNKNOWN";
    return std::string(taken, strnlen(taken, 31));
}

static std::string look_up_username()
{
    const char* gecos = nullptr;
    const char* login = nullptr;
    bool found = false;
    for (int attempt = 0; attempt < USERNAME_QUERY_ATTEMPTS && !found; ++attempt) {
        printf("Querying username...\n");
        if (passwd* pw = getpwuid(getuid())) {
            gecos = pw->pw_gecos;
            login = pw->pw_name;
            found = true;
        }
    }
    return username_from_fields(gecos, login);
}

void init_participants(session& s)
{
    if (s.username.empty())
        s.username = look_up_username();
    // A rebuilt menu starts afresh: the previous table goes.
    s.parts.clear();
    s.teams[0].members = s.teams[1].members = 0;
    s.parts.reserve(1);
    const int idx = add_participant(s, s.username.c_str(), 0, s.rand() % 2);
    s.parts[static_cast<size_t>(idx)].is_self = 1;
    s.parts[static_cast<size_t>(idx)].number = s.my_number;
}

int add_participant(session& s, const char* name, uint32_t id, int team)
{
    if (team != 0 && team != 1) {
        printf("tried to add a participant to team %d\n", team);
        return -1;
    }
    if (s.parts.size() >= static_cast<size_t>(MAX_PARTICIPANTS)) {
        refuse(s, id, refusal::table_full, "the participant table is full (%d entries): %.32s not added",
               static_cast<int>(s.parts.size()), name ? name : "");
        return -1;
    }
    participant p;
    p.name.assign(name ? name : "", name ? strnlen(name, 32) : 0);
    p.id = id;
    p.last_heard = s.now;
    p.team = team;
    p.number = 0;
    p.is_self = 0;
    p.figure = nullptr;
    s.parts.push_back(std::move(p));
    ++s.teams[team].members;
    return static_cast<int>(s.parts.size()) - 1;
}

void del_participant(session& s, int index)
{
    if (index < 0 || index >= static_cast<int>(s.parts.size()))
        return;
    const int t = s.parts[static_cast<size_t>(index)].team;
    if (t == 0 || t == 1)
        --s.teams[t].members;
    s.parts.erase(s.parts.begin() + index);
    ++s.departures;  // the units it decided may pass to this copy
}

void delete_participant_by_unit(session& s, const unit* u)
{
    for (size_t i = 0; i < s.parts.size(); ++i)
        if (s.parts[i].figure == u) {
            del_participant(s, static_cast<int>(i));
            return;
        }
}

static int my_team(const session& s)
{
    return s.parts.empty() ? -1 : s.parts[0].team;
}

void expire_participants(session& s)
{
    for (size_t i = 0; i < s.parts.size();) {
        participant& p = s.parts[i];
        if (!p.is_self && p.last_heard < s.now - PARTICIPANT_TIMEOUT) {
            const std::string prefix = p.name;
            emit_chat(s.events, p.team == my_team(s) ? 1 : 0, prefix.c_str(), " just left.");
            del_participant(s, static_cast<int>(i));
            continue;  // examine the entry that moved into this place
        }
        ++i;
    }
}

int local_team(const session& s)
{
    return my_team(s);
}

int local_team(const world& w)
{
    return w.me ? w.me->team : my_team(w.session);
}

// A participant's figure: a humanoid of the figure kind. Its id follows the
// participant's number (set_init_position); it takes no serial of the
// humanoids the copies make.
unit* make_figure(world& w, int team)
{
    unit* u = add_unit(w, FIGURE_ID_BASE);
    init_humanoid(w, u);
    humanoid_of(u)->kind = HUMANOID_FIGURE;
    u->team = team;
    u->health = 15.0f;
    u->max_health = 15.0f;
    u->speed = 35.0f;
    return u;
}

void make_participant_figures(world& w)
{
    for (participant& p : w.session.parts) {
        p.figure = make_figure(w, p.team);
        if (p.is_self) {
            p.number = w.session.my_number;
            w.me = p.figure;
        }
        set_init_position(w, p);
    }
}

void set_init_position(world& w, participant& p)
{
    unit* a = p.figure;
    if (!a)
        return;
    if (p.team == 0) {
        a->x = 0.0f;
        a->y = 100.0f;
        a->z = 188.0f;
        a->heading = 0.0f;
    } else if (p.team == 1) {
        a->x = 0.0f;
        a->y = 100.0f;
        a->z = -188.0f;
        a->heading = 180.0f;
    }
    a->vx = a->vy = a->vz = 0.0f;
    set_unit_id(w, a, static_cast<uint32_t>(p.number) + FIGURE_ID_BASE);
    if (p.is_self) {
        w.player.eye_x = a->x;
        w.player.eye_y = a->y + 0.6f;
        w.player.eye_z = a->z;
        w.player.eye_yaw = a->heading;
    }
}

void choose_team(session& s, int team)
{
    if (s.parts.empty() || (team != 0 && team != 1))
        return;
    participant& self = s.parts[0];
    --s.teams[self.team].members;
    self.team = team;
    ++s.teams[self.team].members;
    printf("playing for team %d\n", self.team);
    // The others learn the side at once rather than at the next presence
    // message: a start in between would have them count this copy on the
    // old side, and two copies would each take one side's lead.
    if (s.phase == STATE_MENU)
        broadcast_self(s);
}

int i_am_attacker(const session& s)
{
    return !s.parts.empty() && s.parts[0].team == 0 ? 1 : 0;
}

int i_am_defender(const session& s)
{
    return !s.parts.empty() && s.parts[0].team == 1 ? 1 : 0;
}

int i_am_team_leader(const session& s)
{
    return !s.parts.empty() && side_steerer(s, s.parts[0].team) == 0 ? 1 : 0;
}

int find_participant(const session& s, uint32_t id)
{
    for (size_t i = 0; i < s.parts.size(); ++i)
        if (s.parts[i].id == id)
            return static_cast<int>(i);
    return -1;
}

void receive_helo_message(session& s, const unsigned char* buf, int len, uint32_t sender)
{
    if (len != HELO_LEN) {
        refuse(s, sender, refusal::malformed, "Malformed network HELO message, len = %d, from %8.8X", len, sender);
        return;
    }
    wire_reader r(buf, len);
    uint32_t tag;
    unsigned char raw_name[32];
    int32_t team, number;
    if (!r.tag(tag) || !r.bytes(raw_name, 32) || !r.i32(team) || !r.i32(number))
        return;  // cannot happen at 44 bytes
    // The field is zero-padded but not terminated when the name fills it.
    std::string name(reinterpret_cast<const char*>(raw_name), strnlen(reinterpret_cast<const char*>(raw_name), 32));
    if (number < 0 || number > 1023) {
        refuse(s, sender, refusal::bad_value, "HELO from %8.8X carries number %d outside 0..1023, dropped", sender,
               number);
        return;
    }

    // One entry an address: a copy that takes another name keeps its entry
    // (a stream of names from one address is one participant). Own datagrams
    // never come back (loopback is off), so the own entry is never the
    // match: a stray datagram must not move this copy's side.
    int found = -1;
    for (size_t i = 1; i < s.parts.size(); ++i)
        if (s.parts[i].id == sender) {
            found = static_cast<int>(i);
            break;
        }

    if (found >= 0) {
        participant& p = s.parts[static_cast<size_t>(found)];
        p.last_heard = s.now;
        if (p.name != name) {
            const std::string before = p.name;
            p.name = name;
            const std::string text = " is now called " + name + ".";
            emit_chat(s.events, p.team == my_team(s) ? 1 : 0, before.c_str(), text.c_str());
        }
        if (team != p.team) {
            if (team == 0 || team == 1) {
                --s.teams[p.team].members;
                p.team = team;
                ++s.teams[team].members;
                char text[96];
                snprintf(text, sizeof text, " joined the %s's team.", s.teams[team].name);
                emit_chat(s.events, team == my_team(s) ? 1 : 0, p.name.c_str(), text);
            } else {
                refuse(s, sender, refusal::bad_value, "HELO from %8.8X announces team %d, team kept", sender, team);
            }
        }
        p.number = number;
    }

    if (number == s.my_number) {
        s.my_number = s.rand() % 1024;
        printf("my_numb = %d\n", s.my_number);
        if (!s.parts.empty())
            s.parts[0].number = s.my_number;
    }

    if (found < 0) {
        const int idx = add_participant(s, name.c_str(), sender, team);
        if (idx < 0)
            return;
        participant& p = s.parts[static_cast<size_t>(idx)];
        p.team = team;
        p.number = number;
        emit_chat(s.events, team == my_team(s) ? 1 : 0, p.name.c_str(), " just arrived.");
    }
}
