// Fire sources: where flames come from behind a burning catapult ball or
// out of a dragon's mouth. A source is owned by the thing that burns and
// freed with it; the simulation only places it and sets how strongly it
// burns (a dragon's breath burns what is near it while its intensity is
// DRAGON_BREATH_ON). The flames themselves are the renderer's: it keeps
// particles for every live source, found by its serial.
#pragma once

#include <vector>

struct fire_source;

// The sources alive in one battle, oldest first, and the serial the next
// one takes.
struct fire_list {
    std::vector<const fire_source*> live;
    unsigned next_serial = 1;
};

struct fire_source {
    float pos[3] = {0, 0, 0};       // world position (turns the flames toward the eye)
    float emit_vel[3] = {0, 0, 0};  // base velocity of new flames
    float intensity = 0;            // flames come only while above 0.0001
    float vertical_accel = 0;       // added to each flame's vy once a tuned step
    float initial_life = 0;
    float expiry = 0;               // game time; 0 = never
    unsigned serial;                // unique among the sources of a battle

    // A source joins the battle's list while it lives.
    explicit fire_source(fire_list& list);
    ~fire_source();
    fire_source(const fire_source&) = delete;
    fire_source& operator=(const fire_source&) = delete;

private:
    fire_list& list_;
};
