#include "sim/participants.h"

#include <cstdio>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

#include "sim/player.h"
#include "sim/events.h"
#include "sim/messages.h"
#include "sim/rights.h"
#include "sim/game.h"
#include "platform/random.h"
#include "sim/wire.h"
#include "sim/humanoid.h"
#include "sim/units.h"

std::vector<participant> parts;
int n_parts = 0;
int a_parts = 0;
unit* me = nullptr;
int my_numb = -1;
int single_player = 0;

static std::string g_default_username_storage;

std::string username_from_fields(const char* gecos, const char* login)
{
    const char* taken = gecos ? gecos : login;
    if (!taken || !*taken)
        return "UNKNOWN";
    return std::string(taken, strnlen(taken, 31));
}

static void look_up_username()
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
    std::string name = username_from_fields(gecos, login);
    g_default_username_storage = name;
    default_username = g_default_username_storage.c_str();
}

static unit* make_figure(int team)
{
    // The figure's id follows the participant's number (set_init_position);
    // it takes no serial of the humanoids the copies make.
    unit* u = add_unit(FIGURE_ID_BASE);
    init_humanoid(u);
    static_cast<humanoid_data*>(u->kind_data)->kind = HUMANOID_FIGURE;
    u->team = team;
    u->health = 15.0f;
    u->max_health = 15.0f;
    u->speed = 35.0f;
    return u;
}

void init_participants()
{
    if (!default_username)
        look_up_username();
    // A rebuilt menu starts afresh: the previous table and its figures go.
    std::vector<unit*> old;
    for (auto& p : parts)
        old.push_back(p.figure);
    parts.clear();
    n_parts = 0;
    teams[0].members = teams[1].members = 0;
    me = nullptr;
    for (unit* u : old)
        if (u)
            del_unit(u);

    parts.reserve(1);
    a_parts = 1;
    int idx = add_participant(default_username, 0, game_rand() % 2);
    parts[idx].is_self = 1;
    parts[idx].number = my_numb;
    me = parts[idx].figure;
    set_init_position(parts[idx]);
}

int add_participant(const char* name, uint32_t id, int team)
{
    if (team != 0 && team != 1) {
        printf("tried to add a participant to team %d\n", team);
        return -1;
    }
    if (n_parts >= MAX_PARTICIPANTS) {
        refuse(id, refusal::table_full, "the participant table is full (%d entries): %.32s not added", n_parts, name ? name : "");
        return -1;
    }
    if (n_parts >= a_parts) {
        a_parts = a_parts < 1 ? 1 : a_parts * 2;
        parts.reserve(static_cast<size_t>(a_parts));
    }
    participant p;
    p.name.assign(name ? name : "", name ? strnlen(name, 32) : 0);
    p.id = id;
    p.last_heard = game_time;
    p.team = team;
    p.number = 0;
    p.is_self = 0;
    p.figure = make_figure(team);
    parts.push_back(std::move(p));
    n_parts = static_cast<int>(parts.size());
    ++teams[team].members;
    return n_parts - 1;
}

void del_participant(int index)
{
    if (index < 0 || index >= n_parts)
        return;
    int t = parts[static_cast<size_t>(index)].team;
    if (t == 0 || t == 1)
        --teams[t].members;
    parts.erase(parts.begin() + index);
    n_parts = static_cast<int>(parts.size());
    creator_left();  // the units it decided may pass to this copy
}

void delete_participant_by_unit(unit* u)
{
    for (int i = 0; i < n_parts; ++i)
        if (parts[static_cast<size_t>(i)].figure == u) {
            del_participant(i);
            return;
        }
}

static int my_team()
{
    return n_parts > 0 ? parts[0].team : -1;
}

void expire_participants()
{
    for (int i = 0; i < n_parts;) {
        participant& p = parts[static_cast<size_t>(i)];
        if (!p.is_self && p.last_heard < game_time - PARTICIPANT_TIMEOUT) {
            std::string prefix = p.name;
            emit_chat(p.team == my_team() ? 1 : 0, prefix.c_str(), " just left.");
            // The figure of a participant who left is of no use to anyone:
            // take it out of the registry with the entry.
            unit* figure = p.figure;
            del_participant(i);
            // An entry's figure is in the registry for as long as the entry
            // exists (deleting the unit removes the entry).
            if (figure)
                del_unit(figure);
            continue;  // examine the entry that moved into this place
        }
        ++i;
    }
}

int local_team()
{
    return me ? me->team : (n_parts > 0 ? parts[0].team : -1);
}

void set_init_position(participant& p)
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
    set_unit_id(a, static_cast<uint32_t>(p.number) + FIGURE_ID_BASE);
    if (p.is_self) {
        eye_x = a->x;
        eye_y = a->y + 0.6f;
        eye_z = a->z;
        eye_yaw = a->heading;
    }
}

void choose_team(int team)
{
    if (n_parts == 0 || (team != 0 && team != 1))
        return;
    participant& self = parts[0];
    --teams[self.team].members;
    self.team = team;
    if (me)
        me->team = team;
    if (team == 1)
        set_init_position(self);
    ++teams[self.team].members;
    printf("playing for team %d\n", self.team);
    // The others learn the side at once rather than at the next presence
    // message: a start in between would have them count this copy on the
    // old side, and two copies would each take one side's lead.
    if (game_state == STATE_MENU)
        broadcast_self();
}

int i_am_attacker()
{
    return n_parts > 0 && parts[0].team == 0 ? 1 : 0;
}

int i_am_defender()
{
    return n_parts > 0 && parts[0].team == 1 ? 1 : 0;
}

int i_am_team_leader()
{
    return n_parts > 0 && side_steerer(parts[0].team) == 0 ? 1 : 0;
}

int find_participant(uint32_t id)
{
    for (int i = 0; i < n_parts; ++i)
        if (parts[static_cast<size_t>(i)].id == id)
            return i;
    return -1;
}

void receive_helo_message(const unsigned char* buf, int len, uint32_t sender)
{
    if (len != 44) {
        refuse(sender, refusal::malformed, "Malformed network HELO message, len = %d, from %8.8X", len, sender);
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
        refuse(sender, refusal::bad_value, "HELO from %8.8X carries number %d outside 0..1023, dropped", sender, number);
        return;
    }

    // One entry an address: a copy that takes another name keeps its entry
    // (a stream of names from one address is one participant). Own datagrams
    // never come back (loopback is off), so the own entry is never the
    // match: a stray datagram must not move this copy's side.
    int found = -1;
    for (int i = 1; i < n_parts; ++i)
        if (parts[static_cast<size_t>(i)].id == sender) {
            found = i;
            break;
        }

    if (found >= 0) {
        participant& p = parts[static_cast<size_t>(found)];
        p.last_heard = game_time;
        if (p.name != name) {
            const std::string before = p.name;
            p.name = name;
            const std::string text = " is now called " + name + ".";
            emit_chat(p.team == my_team() ? 1 : 0, before.c_str(), text.c_str());
        }
        if (team != p.team) {
            if (team == 0 || team == 1) {
                --teams[p.team].members;
                p.team = team;
                if (p.figure)
                    p.figure->team = team;
                ++teams[team].members;
                char text[96];
                snprintf(text, sizeof text, " joined the %s's team.", teams[team].name);
                emit_chat(team == my_team() ? 1 : 0, p.name.c_str(), text);
            } else {
                refuse(sender, refusal::bad_value, "HELO from %8.8X announces team %d, team kept", sender, team);
            }
        }
        p.number = number;
        set_init_position(p);
    }

    if (number == my_numb) {
        my_numb = game_rand() % 1024;
        printf("my_numb = %d\n", my_numb);
    }

    if (found < 0) {
        int idx = add_participant(name.c_str(), sender, team);
        if (idx < 0)
            return;
        participant& p = parts[static_cast<size_t>(idx)];
        p.team = team;
        p.number = number;
        emit_chat(team == my_team() ? 1 : 0, p.name.c_str(), " just arrived.");
        set_init_position(p);
    }
}
