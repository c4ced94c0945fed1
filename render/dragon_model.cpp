// The dragon's look: body and wings from the mesh made at build time, with
// its materials, beating its wings; the rider sees through their own.
#include "render/dragon_model.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdint>

#include "dragon_mesh.h"
#include "render/camera.h"
#include "render/flames.h"
#include "render/model_draw.h"
#include "render/renderer.h"
#include "render/textures.h"
#include "sim/dragon.h"
#include "sim/game.h"
#include "sim/units.h"
#include "sim/world.h"

namespace {

// The tint every material is drawn with.
constexpr float TINT[3] = {1.0f, 0.7f, 0.7f};

// The mesh is in twentieths of the dragon's size. The lists' normals are
// as long as the eye's and the dragon's scales shrink them from, so the
// dragon is lit as the driver's normalizing would light it, without
// switching that on and off around the dragon.
constexpr float DRAGON_MODEL_SCALE = 20.0f;
constexpr float DRAGON_NORMAL_LENGTH = VIEW_SCALE * DRAGON_MODEL_SCALE;

void set_dragon_material(int m, float alpha)
{
    const float* s = dragon_materials[m];
    const float a = s[12] * alpha;
    const float ambient[4] = {s[0] * TINT[0], s[1] * TINT[1], s[2] * TINT[2], a};
    const float diffuse[4] = {s[3] * TINT[0], s[4] * TINT[1], s[5] * TINT[2], a};
    const float specular[4] = {s[6], s[7], s[8], a};
    const float emission[4] = {s[9] * TINT[0], s[10] * TINT[1], s[11] * TINT[2], a};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, s[13]);
}

// Emits `count` faces from `faces`, setting the material at every run
// boundary; the run table is read on from where the last mesh stopped.
void emit_dragon_faces(const int16_t (*faces)[9], int count, int& run, int& left, float alpha)
{
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < count; ++i) {
        while (left == 0 && run < DRAGON_MATERIAL_RUNS) {
            glEnd();
            set_dragon_material(dragon_material_runs[run][0], alpha);
            left = dragon_material_runs[run][1];
            ++run;
            glBegin(GL_TRIANGLES);
        }
        const int16_t* f = faces[i];
        for (int k = 0; k < 3; ++k) {
            scaled_normal(dragon_normals[f[3 + k]], DRAGON_NORMAL_LENGTH);
            glTexCoord2fv(dragon_texcoords[f[6 + k]]);
            glVertex3fv(dragon_vertices[f[k]]);
        }
        --left;
    }
    glEnd();
}

} // namespace

void compile_dragon_lists(renderer& r)
{
    unsigned int(&body_list)[2] = r.dragons.body_list;
    unsigned int(&wing_list)[2] = r.dragons.wing_list;
    if (body_list[0])
        return;
    for (int v = 0; v < 2; ++v) {
        const float alpha = v == 0 ? 1.0f : 0.5f;
        int run = 0, left = 0;
        body_list[v] = glGenLists(2);
        wing_list[v] = body_list[v] + 1;
        glNewList(body_list[v], GL_COMPILE);
        emit_dragon_faces(dragon_body_faces, DRAGON_BODY_FACES, run, left, alpha);
        glEndList();
        glNewList(wing_list[v], GL_COMPILE);
        emit_dragon_faces(dragon_wing_faces, DRAGON_WING_FACES, run, left, alpha);
        glEndList();
    }
}

namespace {

void display_dragon(const dragon_looks& looks, float wing_phase, int see_through)
{
    glRotatef(180.0f, 0.0f, 0.0f, 1.0f);
    glScalef(DRAGON_MODEL_SCALE, DRAGON_MODEL_SCALE, DRAGON_MODEL_SCALE);
    glPushMatrix();
    glRotatef(23.0f, 0.0f, 1.0f, 0.0f);
    glTranslatef(0.0f, 0.0f, -0.06f);
    glCallList(looks.body_list[see_through]);
    glPopMatrix();
    for (int side = 0; side < 2; ++side) {
        glPushMatrix();
        if (side == 1) {
            // The second wing is the first mirrored, which turns its faces around.
            glScalef(1.0f, 1.0f, -1.0f);
            glFrontFace(GL_CW);
        }
        glTranslatef(0.0f, 0.0f, 0.03f);
        glRotatef(wing_phase * 30.0f, 1.0f, 0.0f, 0.0f);
        glTranslatef(0.0f, 0.03f, -0.08f);
        glRotatef(23.0f, 0.0f, 1.0f, 0.0f);
        glCallList(looks.wing_list[see_through]);
        glPopMatrix();
    }
    glFrontFace(GL_CCW);
}

} // namespace

void draw_dragon(renderer& r, const world& w, const unit* u)
{
    const dragon_data* d = u->kind == UNIT_DRAGON ? dragon_of(u) : nullptr;
    if (!d)
        return;
    glEnable(GL_BLEND);
    if (d->breath) {
        glPushMatrix();
        glTranslatef(d->breath->pos[0], d->breath->pos[1], d->breath->pos[2]);
        draw_firesource(r, d->breath.get());
        glPopMatrix();
    }
    const int see_through = u == w.player.dragon && w.player.riding_dragon ? 1 : 0;
    if (!see_through)
        glDisable(GL_BLEND);
    glPushMatrix();
    glTranslatef(u->x, u->y, u->z);
    glRotatef(u->heading, 0.0f, 1.0f, 0.0f);
    glRotatef(u->pitch, 0.0f, 0.0f, 1.0f);
    glColor4f(TINT[0], TINT[1], TINT[2], see_through ? 0.5f : 1.0f);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, r.textures[TEX_dragon_skin_red]);
    // The materials of the model's runs, not the current colour, light it.
    glDisable(GL_COLOR_MATERIAL);
    display_dragon(r.dragons, std::sin(8.0f * w.time), see_through);  // the wing beat
    // Leave the material as everything else expects it.
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0.0f);
    glEnable(GL_COLOR_MATERIAL);
    glPopMatrix();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_BLEND);
}
