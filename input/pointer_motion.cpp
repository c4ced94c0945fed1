#include "input/pointer_motion.h"

#include <algorithm>

void pointer_warped(pointer_motion& m, unsigned long serial, int x, int y, bool look_start)
{
    // A warp is sent only where the pointer is not already headed, so the
    // list holds one or two; should it fill all the same, the oldest goes.
    if (m.pending == static_cast<int>(m.warps.size())) {
        std::copy(m.warps.begin() + 1, m.warps.end(), m.warps.begin());
        --m.pending;
    }
    m.warps[m.pending++] = {serial, x, y, look_start};
}

void pointer_event(pointer_motion& m, unsigned long serial, int x, int y, bool moved)
{
    // Warps the server carried out before making this event: the pointer
    // moved from the last one's target, and with a look start nothing
    // gathered before it counts.
    int done = 0;
    while (done < m.pending && m.warps[done].serial <= serial) {
        const pointer_warp& w = m.warps[done++];
        m.x = w.x;
        m.y = w.y;
        m.known = true;
        if (w.look_start)
            pointer_clear_look(m);
    }
    std::copy(m.warps.begin() + done, m.warps.begin() + m.pending, m.warps.begin());
    m.pending -= done;

    if (moved && m.known) {
        m.look_dx += static_cast<float>(x - m.x);
        m.look_dy += static_cast<float>(y - m.y);
    }
    m.x = x;
    m.y = y;
    m.known = true;
}

void pointer_take_look(pointer_motion& m, float& dx, float& dy)
{
    dx = dy = 0.0f;
    for (int i = 0; i < m.pending; ++i)
        if (m.warps[i].look_start)
            return;
    dx = m.look_dx;
    dy = m.look_dy;
    pointer_clear_look(m);
}

void pointer_clear_look(pointer_motion& m)
{
    m.look_dx = m.look_dy = 0.0f;
}

void pointer_expected(const pointer_motion& m, int& x, int& y)
{
    if (m.pending > 0) {
        x = m.warps[m.pending - 1].x;
        y = m.warps[m.pending - 1].y;
    } else {
        x = m.x;
        y = m.y;
    }
}
