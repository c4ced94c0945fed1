#include "sim/pick.h"

#include <array>
#include <cmath>

#include "platform/vector.h"
#include "sim/participants.h"
#include "sim/ship.h"
#include "sim/units.h"
#include "sim/world.h"

namespace {

// Eye-space depths: 0.4 and 800 world units.
constexpr float PICK_NEAR = 2.0f;
constexpr float PICK_FAR = 4000.0f;

struct point {
    float x, y, z;
};

// A half-space of eye space: a x + b y + c z + d >= 0.
struct plane {
    float a, b, c, d;
    float at(const point& p) const { return a * p.x + b * p.y + c * p.z + d; }
};

// A face of a cube clipped by up to six planes keeps at most ten corners.
struct polygon {
    std::array<point, 12> p;
    int n = 0;
};

void rotate(float& u, float& w, float degrees)
{
    const double a = degrees * DEG_TO_RAD;
    const float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
    const float nu = c * u - s * w;
    w = s * u + c * w;
    u = nu;
}

// A world point in eye space, as the eye matrix takes it: the eye moved to
// the origin, the roll about z, the yaw about y, the pitch about x, the
// scale.
point to_eye(const view_pose& v, const float world[3])
{
    float x = world[0] - v.eye[0], y = world[1] - v.eye[1], z = world[2] - v.eye[2];
    rotate(x, y, v.roll);
    rotate(z, x, v.yaw);
    rotate(y, z, v.pitch);
    return {VIEW_SCALE * x, VIEW_SCALE * y, VIEW_SCALE * z};
}

// The six sides of the part of the view the rectangle covers: a point at
// depth -z shows at (0.5 W zoom x, 0.6666 H zoom y) / -z pixels from the
// picture's centre.
std::array<plane, 6> view_planes(const view_pose& v, const view_rect& r)
{
    const float kx = 0.5f * static_cast<float>(v.width) * v.zoom;
    const float ky = 2.0f * 0.3333f * static_cast<float>(v.height) * v.zoom;
    return {{{0.0f, 0.0f, -1.0f, -PICK_NEAR},
             {0.0f, 0.0f, 1.0f, PICK_FAR},
             {kx, 0.0f, r.left, 0.0f},
             {-kx, 0.0f, -r.right, 0.0f},
             {0.0f, ky, r.bottom, 0.0f},
             {0.0f, -ky, -r.top, 0.0f}}};
}

// What of the polygon lies on the plane's side of it.
polygon clip(const polygon& in, const plane& pl)
{
    polygon out;
    for (int i = 0; i < in.n; ++i) {
        const point& a = in.p[static_cast<size_t>(i)];
        const point& b = in.p[static_cast<size_t>((i + 1) % in.n)];
        const float da = pl.at(a), db = pl.at(b);
        if (da >= 0.0f)
            out.p[static_cast<size_t>(out.n++)] = a;
        if ((da >= 0.0f) != (db >= 0.0f)) {
            const float t = da / (da - db);
            out.p[static_cast<size_t>(out.n++)] = {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.z + t * (b.z - a.z)};
        }
    }
    return out;
}

} // namespace

bool cube_in_view_rect(const view_pose& v, const view_rect& r, const float centre[3], float side)
{
    const float h = 0.5f * side;
    const std::array<plane, 6> planes = view_planes(v, r);
    for (int axis = 0; axis < 3; ++axis)
        for (float sign : {-1.0f, 1.0f}) {
            // Only the faces turned toward the eye are seen.
            if (sign * (v.eye[axis] - centre[axis]) <= h)
                continue;
            const int s = (axis + 1) % 3, t = (axis + 2) % 3;
            polygon face;
            for (const auto& [ds, dt] : {std::pair{-1.0f, -1.0f}, {1.0f, -1.0f}, {1.0f, 1.0f}, {-1.0f, 1.0f}}) {
                float corner[3];
                corner[axis] = centre[axis] + sign * h;
                corner[s] = centre[s] + ds * h;
                corner[t] = centre[t] + dt * h;
                face.p[static_cast<size_t>(face.n++)] = to_eye(v, corner);
            }
            for (const plane& pl : planes) {
                face = clip(face, pl);
                if (face.n == 0)
                    break;
            }
            if (face.n > 0)
                return true;
        }
    return false;
}

std::vector<uint32_t> units_in_view_rect(const world& w, const view_pose& v, const view_rect& r)
{
    std::vector<uint32_t> ids;
    for (const unit* u = w.units.list; u; u = u->next) {
        if (u->invisible || u == w.me || u->kind == UNIT_DRAGON)
            continue;
        // A ship is drawn at a fixed height whatever its own; its box goes
        // where it is seen.
        const float centre[3] = {u->x, u->kind == UNIT_SHIP ? SHIP_DRAW_HEIGHT : u->y, u->z};
        if (cube_in_view_rect(v, r, centre, u->radius))
            ids.push_back(u->id);
    }
    return ids;
}
