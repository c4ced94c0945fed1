// What happened in the world that the presentation shows or plays: the step
// and the message handlers append plain records here, the program hands
// them to the sound, the screen and the chat after each step and then clears
// the list. Nothing in the simulation reads them back, so a copy without a
// window or sound plays the same game.
#pragma once

#include <string>
#include <vector>

enum class sim_event_kind {
    splash,        // a unit fell into the water at (x, z)
    thunder,       // lightning struck at (x, z)
    firestorm,     // a firestorm was cast at (x, z)
    dragon_roar,   // a dragon roared at (x, y, z)
    hurt,          // this copy's player was struck
    banner,        // a message for this copy's player: text in (r, g, b)
    chat,          // a line for the chat window: colour, prefix, text
};

struct sim_event {
    sim_event_kind kind{};
    float x = 0, y = 0, z = 0;
    // A banner's colour and its times (seconds from now until it is fully
    // shown, and until it starts to fade); a chat line's colour in `colour`.
    float r = 0, g = 0, b = 0, appear = 0, fade = 0;
    int colour = 0;
    std::string prefix, text;
};

// Events beyond this many are dropped, oldest kept: the list is cleared
// once a frame, so only a copy that stopped taking them (none does) or a
// flood of handled datagrams could fill it.
constexpr size_t MAX_PENDING_EVENTS = 4096;

// The events since the program last took them, oldest first (the session
// keeps the list: the menu's handlers add chat lines too).
struct event_list {
    std::vector<sim_event> pending;
    long dropped = 0;  // how many were dropped because the list was full
};

void emit_event(event_list& events, sim_event e);
// Shorthands for the common events.
void emit_at(event_list& events, sim_event_kind kind, float x, float y, float z);
void emit_banner(event_list& events, const char* text, float r, float g, float b, float appear, float fade);
void emit_chat(event_list& events, int colour, const char* prefix, const char* text);
