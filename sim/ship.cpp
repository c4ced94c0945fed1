#include "sim/ship.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "game/main_loop.h"
#include "platform/random.h"
#include "render/textures.h"
#include "platform/vector.h"
#include "sim/commands.h"
#include "sim/wire.h"
#include "sim/participants.h"
#include "ship_mesh.h"
#include "sim/units.h"
#include "sim/terrain.h"

int ship_id = 0;

static unsigned sail_list = 0, hull_list = 0;

int ship_sail_face_count()
{
    return static_cast<int>(sizeof ship_sail_faces / sizeof ship_sail_faces[0]);
}

int ship_hull_face_count()
{
    return static_cast<int>(sizeof ship_hull_faces / sizeof ship_hull_faces[0]);
}

unit* add_ship(float x, float y, float z)
{
    const uint32_t id = next_unit_id(ID_CLASS_SHIP, ship_id);
    unit* u = add_unit(id);
    u->x = x;
    u->y = y;
    u->z = z;
    u->pitch = 0.0f;
    u->heading = static_cast<float>(game_rand() % 90 + 135);
    u->team = TEAM_ATTACKERS;
    u->param[0] = 0.0f;  // squared distance to the order target
    u->param[1] = 0.0f;  // sailing speed
    u->param[2] = SHIP_TURN_STEP;
    u->radius = 20.0f;
    u->health = u->max_health = 50.0f;
    u->speed = 30.0f;
    u->on_water = 1;
    u->flying = 0;
    u->kind = UNIT_SHIP;
    u->order_kind = ORDER_NONE;
    u->next_collision_test = game_time - 1.0f;
    u->extra = nullptr;
    u->kind_data = nullptr;
    u->attack_target = nullptr;
    announce_unit(id, 2);
    return u;
}

void reset_game_ships()
{
    ship_id = 0;
}

void init_ships()
{
    if (!(i_am_attacker() && i_am_team_leader()))
        return;
    add_ship(0.0f, 0.0f, 500.0f);
    add_ship(100.0f, 0.0f, 420.0f);
    add_ship(200.0f, 0.0f, 410.0f);
}

void move_ship(unit* u)
{
    // Turning the short way round.
    u->order_heading = near_heading(u->order_heading, u->heading);
    if (std::fabs(u->order_heading - u->heading) >= 10.0f) {
        u->param[1] = 0.0f;
        if (u->order_heading > u->heading)
            u->heading += u->param[2];
        else if (u->order_heading < u->heading)
            u->heading -= u->param[2];
        u->heading = wrap_360(u->heading);
        return;
    }
    const float dx = u->order_x - u->x, dz = u->order_z - u->z;
    u->param[0] = dx * dx + dz * dz;
    if (u->param[0] > 4.0f) {
        u->param[1] = SHIP_SAIL_SPEED;
        u->order_heading = near_heading(heading_toward(u->x, u->z, u->order_x, u->order_z), u->heading);
    } else {
        u->order_kind = ORDER_NONE;  // arrived
        u->param[1] = 0.0f;
    }
}

void simulate_ship(unit* u)
{
    const float h = u->heading * static_cast<float>(DEG_TO_RAD);
    const float s = u->param[1];
    u->vx = std::sin(h) * s;
    u->vz = std::cos(h) * s;
    if (std::fabs(s) > 0.0f) {
        const float ahead =
            get_terrain_height(u->x + SHIP_LOOKAHEAD * std::sin(h), u->z + SHIP_LOOKAHEAD * std::cos(h));
        if (ahead > SHIP_SHOAL_HEIGHT) {
            u->vx = u->vy = u->vz = 0.0f;
            u->param[1] = 0.0f;
            u->order_kind = ORDER_NONE;
            return;
        }
    }
    u->pitch = 0.0f;
    u->heading = wrap_360(u->heading);
    if (u->order_kind == ORDER_MOVE) {
        move_ship(u);
    } else if (u->order_kind == ORDER_HOLD) {
        u->vx = u->vy = u->vz = 0.0f;
        u->param[1] = 0.0f;
    }
}

// Texture coordinates that run the wood grain along the hull: each is the
// dot product of a plane with the object point, as object-linear texture
// generation would make them, but worked out once here rather than turned
// on and off around the hull at every ship drawn.
static const float GRAIN_PLANES[2][4] = {{0.0f, 4.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 6.0f, 0.0f}};

static void grain_texcoord(const float v[3])
{
    float st[2];
    for (int i = 0; i < 2; ++i)
        st[i] = GRAIN_PLANES[i][0] * v[0] + GRAIN_PLANES[i][1] * v[1] + GRAIN_PLANES[i][2] * v[2] + GRAIN_PLANES[i][3];
    glTexCoord2fv(st);
}

// The faces as one batch; with `grain`, textured by grain_texcoord rather
// than by the model's own coordinates.
static void emit_faces(const int16_t (*faces)[9], int count, bool grain)
{
    printf("reading in verticies\n");
    const int nv = static_cast<int>(sizeof ship_vertices / sizeof ship_vertices[0]);
    const int nn = static_cast<int>(sizeof ship_normals / sizeof ship_normals[0]);
    const int nt = static_cast<int>(sizeof ship_texcoords / sizeof ship_texcoords[0]);
    glBegin(GL_TRIANGLES);
    for (int f = 0; f < count; ++f) {
        for (int k = 0; k < 3; ++k) {
            const int vi = faces[f][k], ni = faces[f][3 + k], ti = faces[f][6 + k];
            if (vi < 0 || vi >= nv)
                continue;
            if (ni >= 0 && ni < nn)
                glNormal3fv(ship_normals[ni]);
            if (grain)
                grain_texcoord(ship_vertices[vi]);
            else if (ti >= 0 && ti < nt)
                glTexCoord2fv(ship_texcoords[ti]);
            glVertex3fv(ship_vertices[vi]);
        }
    }
    glEnd();
}

void GenShipList()
{
    if (sail_list)
        return;
    sail_list = glGenLists(2);
    hull_list = sail_list + 1;

    glNewList(sail_list, GL_COMPILE);
    emit_faces(ship_sail_faces, ship_sail_face_count(), false);
    glEndList();

    glNewList(hull_list, GL_COMPILE);
    glBindTexture(GL_TEXTURE_2D, wood_texid);
    emit_faces(ship_hull_faces, ship_hull_face_count(), true);
    // The deck, a little off the centre line (its grain from where it
    // would lie on the line).
    const float deck[4][3] = {{0.0f, -0.4f, -0.18f}, {0.1f, 0.0f, -0.18f}, {0.0f, 0.4f, -0.18f}, {-0.1f, 0.0f, -0.18f}};
    glBegin(GL_POLYGON);
    glNormal3f(0.0f, 0.0f, 1.0f);
    for (const auto& v : deck) {
        grain_texcoord(v);
        glVertex3f(v[0] + 0.01f, v[1], v[2]);
    }
    glEnd();
    glEndList();
}

void draw_ship(unit* u)
{
    if (!sail_list)
        GenShipList();
    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    glTranslatef(u->x, SHIP_DRAW_HEIGHT, u->z);
    glRotatef(u->heading, 0.0f, 1.0f, 0.0f);
    glRotatef(2.0f * std::sin(game_time) + u->pitch, 1.0f, 0.0f, 0.0f);  // rocking
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    glScalef(100.0f, 100.0f, 100.0f);
    glEnable(GL_NORMALIZE);
    glColor3f(1.0f, 1.0f, 1.0f);
    glDisable(GL_TEXTURE_2D);
    // Sails are seen from both sides, and the open hull from inside.
    const GLboolean culling = glIsEnabled(GL_CULL_FACE);
    glDisable(GL_CULL_FACE);
    glCallList(sail_list);
    glEnable(GL_TEXTURE_2D);
    glCallList(hull_list);
    if (culling)
        glEnable(GL_CULL_FACE);
    glDisable(GL_NORMALIZE);
    glPopMatrix();
}
