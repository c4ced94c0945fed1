// Picking units out of the player's view: which units a rectangle of the
// picture covers, worked out from the view's geometry alone (no drawing).
// A unit is picked by a box about it (a cube whose side is its radius,
// a ship's at the height it is drawn at; a dragon has none), seen through
// the eye's projection from 0.4 to 800 units away; the box's faces turned
// away from the eye do not count, so an eye inside a box does not pick it.
#pragma once

#include <cstdint>
#include <vector>

struct unit;
struct world;

// The eye matrix scales the world by this (eye-space units a world unit).
constexpr float VIEW_SCALE = 5.0f;

// The view as the picture is drawn from it: the eye (the walking bob
// included), its turns in degrees in the order the eye matrix applies them
// (pitch about x, yaw about y, then the hurt roll about the world's z), the
// zoom and the picture's size in pixels.
struct view_pose {
    float eye[3];
    float pitch, yaw, roll;
    float zoom;
    int width, height;
};

// A rectangle of the picture in pixels from its centre, x to the right and
// y up (left <= right, bottom <= top).
struct view_rect {
    float left, right, bottom, top;
};

// Whether the face-on part of the axis-aligned cube of side `side` about
// `centre` shows in the rectangle.
bool cube_in_view_rect(const view_pose& v, const view_rect& r, const float centre[3], float side);
// The ids of the units whose picking box shows in the rectangle, in the
// registry's order; never this copy's figure or an invisible unit.
std::vector<uint32_t> units_in_view_rect(const world& w, const view_pose& v, const view_rect& r);
