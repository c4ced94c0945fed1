// Mouse look from the pointer's motion events, kept free of X so that it can
// be checked without a display.
//
// In look mode the game puts the pointer back in the window's middle (a warp)
// whenever it has left it, and turns the view by how far it moved. A warp is
// carried out by the X server some time after it is sent; events made in
// between still report positions from before it, and the warp's own event
// then reports the middle. Reading only the last position would drop that
// movement. Every event carries the serial of the last request the server
// had carried out when it made the event, so each event is measured from the
// position the pointer really had before it: the last event's, or the target
// of a warp the server has carried out since.
#pragma once

#include <array>

struct pointer_warp {
    unsigned long serial = 0;  // the warp request's serial
    int x = 0, y = 0;          // where it puts the pointer
    bool look_start = false;   // movement before it does not turn the view
};

struct pointer_motion {
    bool known = false;  // whether any position has been seen yet
    int x = 0, y = 0;    // where the pointer was at the last event
    float look_dx = 0.0f, look_dy = 0.0f;  // movement not yet taken by the look
    std::array<pointer_warp, 8> warps{};   // sent, not yet seen carried out; oldest first
    int pending = 0;
};

// A warp to (x, y) sent as request `serial`. With `look_start`, movement the
// server reports from before the warp is dropped rather than turning the view.
void pointer_warped(pointer_motion& m, unsigned long serial, int x, int y, bool look_start);

// An event made at `serial` with the pointer at (x, y). A motion or button
// event (`moved`) adds its movement; a crossing into or out of the window
// only sets the position, since the pointer may have travelled anywhere
// outside it.
void pointer_event(pointer_motion& m, unsigned long serial, int x, int y, bool moved);

// Takes the movement gathered since the last call (nothing while a warp that
// starts the look is still on its way).
void pointer_take_look(pointer_motion& m, float& dx, float& dy);

// Drops the movement gathered so far (the view starts looking afresh).
void pointer_clear_look(pointer_motion& m);

// Where the pointer stands once the warps on their way are carried out.
void pointer_expected(const pointer_motion& m, int& x, int& y);
