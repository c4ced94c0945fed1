#include "sim/events.h"

#include <utility>

void emit_event(event_list& events, sim_event e)
{
    if (events.pending.size() >= MAX_PENDING_EVENTS) {
        ++events.dropped;
        return;
    }
    events.pending.push_back(std::move(e));
}

void emit_at(event_list& events, sim_event_kind kind, float x, float y, float z)
{
    sim_event e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.z = z;
    emit_event(events, std::move(e));
}

void emit_banner(event_list& events, const char* text, float r, float g, float b, float appear, float fade)
{
    sim_event e;
    e.kind = sim_event_kind::banner;
    e.text = text ? text : "";
    e.r = r;
    e.g = g;
    e.b = b;
    e.appear = appear;
    e.fade = fade;
    emit_event(events, std::move(e));
}

void emit_chat(event_list& events, int colour, const char* prefix, const char* text)
{
    sim_event e;
    e.kind = sim_event_kind::chat;
    e.colour = colour;
    e.prefix = prefix ? prefix : "";
    e.text = text ? text : "";
    emit_event(events, std::move(e));
}
