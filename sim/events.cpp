#include "sim/events.h"

#include <utility>

static std::vector<sim_event> s_events;
static long s_dropped = 0;

void emit_event(sim_event e)
{
    if (s_events.size() >= MAX_PENDING_EVENTS) {
        ++s_dropped;
        return;
    }
    s_events.push_back(std::move(e));
}

void emit_at(sim_event_kind kind, float x, float y, float z)
{
    sim_event e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.z = z;
    emit_event(std::move(e));
}

void emit_banner(const char* text, float r, float g, float b, float appear, float fade)
{
    sim_event e;
    e.kind = sim_event_kind::banner;
    e.text = text ? text : "";
    e.r = r;
    e.g = g;
    e.b = b;
    e.appear = appear;
    e.fade = fade;
    emit_event(std::move(e));
}

void emit_chat(int colour, const char* prefix, const char* text)
{
    sim_event e;
    e.kind = sim_event_kind::chat;
    e.colour = colour;
    e.prefix = prefix ? prefix : "";
    e.text = text ? text : "";
    emit_event(std::move(e));
}

const std::vector<sim_event>& pending_events()
{
    return s_events;
}

void clear_events()
{
    s_events.clear();
}

long dropped_events()
{
    return s_dropped;
}
