// The gods: a player praying against a temple earns favour (and heals);
// each time the favour is nearly full a god grants a spell, which fills one
// of two spell slots on the command bar. Casting a spell summons soldiers or
// siege engines, calls the dragon, makes the player invisible, or waits for
// a ground click to send a firestorm of meteors or a lightning strike.
#pragma once

// Spell codes held in the slots.
enum : int {
    SPELL_NONE = 0,
    SPELL_DRAGON = 1,
    SPELL_UNDEAD = 2,
    SPELL_FIRESTORM = 3,
    SPELL_INVISIBILITY = 4,
    SPELL_LIGHTNING = 5,
    SPELL_GOBLINS = 6,
    SPELL_DISMOUNT = 7,  // never granted: the dragon's slot while the dragon is out
    SPELL_CATAPULTS = 8,
    SPELL_RAMS = 9,
    SPELL_FOOTMEN = 10,
    SPELL_CODES = 11,
};

// Targeted spells waiting for a ground click (local_player::waiting_spell).
enum : int {
    WAITING_FIRESTORM = 1,
    WAITING_LIGHTNING = 2,
};

#include <cstdint>

struct local_player;
struct message_context;
struct world;

constexpr float MAX_FAVOR = 15.0f;
constexpr float MAX_HEALTH = 15.0f;
// Favour a grant costs; a grant comes once the shown favour reaches
// GRANT_FAVOR.
constexpr float GRANT_COST = 14.0f;
constexpr float GRANT_FAVOR = 14.5f;
constexpr float INVISIBILITY_TIME = 15.0f;
constexpr int METEORS_PER_FIRESTORM = 10;
// Strikes hurt from this long after the bolt until the bolt's end,
// everything within this reach (plus its own radius) of the point, at this
// many health points a second.
constexpr float LIGHTNING_DAMAGE_DELAY = 1.0f;
constexpr float LIGHTNING_REACH = 20.0f;
constexpr float LIGHTNING_DAMAGE_RATE = 2.4f;
// Teams larger than this are granted no more soldiers or engines.
constexpr int MAX_TEAM_FOR_SUMMONS = 99;
// Meteors and the strike points of spells lie within this square; points
// beyond it are refused.
constexpr float SPELL_REACH = 300.0f;
// A peer's meteors are not launched while this many meteors fall.
constexpr int MAX_FLYING_FOR_METEORS = 400;

// "FIRE": one meteor of a peer's firestorm.
void receive_fire(message_context& c, const uint32_t p[4]);

// The pray button: stops praying, or starts it while the player's figure
// stands against a temple.
void do_pray(world& w);
// Movement ends a prayer.
void stop_praying(local_player& p);
// Once per play frame: favour and health regulation, and the grants.
void simulate_personal(world& w, float dt);
// Once per play frame: the lightning damage.
void simulate_magic(world& w, float dt);

// The spell a draw r gives a team of `team_units` units (r from the shared
// generator; `team` decides between rams and lightning).
int spell_for_draw(int r, int team_units, int team);
// Grants one spell into the first empty slot (both full: nothing).
void grant_spell(world& w);

// Casting the spell of slot k (0 or 1); magic_button_1 and _2 are the
// command bar's actions for its two spell slots.
void magic_button(world& w, int k);

// The summons, around the player's figure, on the player's side of the map
// only (else a warning banner and nothing). Each unit is announced and its
// state record goes out at once.
void call_dead(world& w);
void call_goblins(world& w);
void call_footmen(world& w);
void call_catapults(world& w);
void call_rams(world& w);
// A summons of spell `code` (undead, goblins, footmen, catapults, rams) for
// side `team` around (x, z), whoever casts it; false for another spell.
// Each unit is announced and its state record goes out at once.
bool summon_at(world& w, int code, float x, float z, int team);
// Whether the player may summon at eye depth `z` for `team`.
bool on_own_side(int team, float z);
void do_invisibility(world& w);

// Whether a spell's point lies where meteors and strikes may go.
bool within_spell_reach(float x, float z);
// The firestorm at a ground point: ten meteors scattered within 10, each
// launched here and sent as "FIRE", sparing side `team` (this copy's own by
// default).
void do_firestorm(world& w, float x, float z, int team = -1);
// One meteor falling at (x, z), sparing `team`.
// One meteor from high above (x, z), sparing `team`; `source` is the sender id
// of the copy that cast it (0 for this one).
void launch_meteor(world& w, float x, float z, int team, unsigned source = 0);
// Lightning from a ground click: the strike here and "LIGH" to the others.
void cast_lightning(world& w, float x, float z);
// Damage the last strike (lasting `lasts` seconds) deals this frame to a
// unit at horizontal distance `d` with radius `r`, `since` seconds after
// the strike.
float lightning_damage(float since, float lasts, float d, float r, float dt);

// The dragon is gone: its dismount spell leaves its slot, so that a new
// spell can be granted in its place.
void delete_dismount_dragon_button(world& w);
// The spell slots of a new battle: both empty, full health ahead, favour 5,
// not praying.
void setup_personal(local_player& p);
