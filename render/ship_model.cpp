// The ships' look: sails and hull from the meshes made at build time, the
// hull's wood grain and the normals' length for the ship's scale worked out
// once when its lists are compiled, rocking as it sails.
#include "render/ship_model.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "render/camera.h"
#include "render/model_draw.h"
#include "render/renderer.h"
#include "render/textures.h"
#include "ship_mesh.h"
#include "sim/game.h"
#include "sim/ship.h"
#include "sim/units.h"
#include "sim/world.h"

// The meshes are in hundredths of the ship's size.
constexpr float SHIP_MODEL_SCALE = 100.0f;
// The lists' normals are this long: the eye's and the ship's scales shrink
// them back to unit length, so the ship is lit as the driver's normalizing
// would light it, without switching that on and off around every ship.
constexpr float SHIP_NORMAL_LENGTH = VIEW_SCALE * SHIP_MODEL_SCALE;

int ship_sail_face_count()
{
    return static_cast<int>(sizeof ship_sail_faces / sizeof ship_sail_faces[0]);
}

int ship_hull_face_count()
{
    return static_cast<int>(sizeof ship_hull_faces / sizeof ship_hull_faces[0]);
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
                scaled_normal(ship_normals[ni], SHIP_NORMAL_LENGTH);
            if (grain)
                grain_texcoord(ship_vertices[vi]);
            else if (ti >= 0 && ti < nt)
                glTexCoord2fv(ship_texcoords[ti]);
            glVertex3fv(ship_vertices[vi]);
        }
    }
    glEnd();
}

void compile_ship_lists(renderer& r)
{
    if (r.ships.sail_list)
        return;
    const unsigned int sail_list = r.ships.sail_list = glGenLists(2);
    const unsigned int hull_list = r.ships.hull_list = sail_list + 1;

    glNewList(sail_list, GL_COMPILE);
    emit_faces(ship_sail_faces, ship_sail_face_count(), false);
    glEndList();

    glNewList(hull_list, GL_COMPILE);
    glBindTexture(GL_TEXTURE_2D, r.textures[TEX_wood]);
    emit_faces(ship_hull_faces, ship_hull_face_count(), true);
    // The deck, a little off the centre line (its grain from where it
    // would lie on the line).
    const float deck[4][3] = {{0.0f, -0.4f, -0.18f}, {0.1f, 0.0f, -0.18f}, {0.0f, 0.4f, -0.18f}, {-0.1f, 0.0f, -0.18f}};
    glBegin(GL_POLYGON);
    glNormal3f(0.0f, 0.0f, SHIP_NORMAL_LENGTH);
    for (const auto& v : deck) {
        grain_texcoord(v);
        glVertex3f(v[0] + 0.01f, v[1], v[2]);
    }
    glEnd();
    glEndList();
}

void draw_ship(const renderer& r, const world& w, const unit* u)
{
    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    glTranslatef(u->x, SHIP_DRAW_HEIGHT, u->z);
    glRotatef(u->heading, 0.0f, 1.0f, 0.0f);
    glRotatef(2.0f * std::sin(w.time) + u->pitch, 1.0f, 0.0f, 0.0f);  // rocking
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    glScalef(SHIP_MODEL_SCALE, SHIP_MODEL_SCALE, SHIP_MODEL_SCALE);
    glColor3f(1.0f, 1.0f, 1.0f);
    glDisable(GL_TEXTURE_2D);
    // Sails are seen from both sides, and the open hull from inside.
    const GLboolean culling = glIsEnabled(GL_CULL_FACE);
    glDisable(GL_CULL_FACE);
    glCallList(r.ships.sail_list);
    glEnable(GL_TEXTURE_2D);
    glCallList(r.ships.hull_list);
    if (culling)
        glEnable(GL_CULL_FACE);
    glPopMatrix();
}
