// The figures' look: four body types compiled into display lists (hips,
// torso, neck and head, shoulder bar, arm, leg), limbs swung by the pose the
// figure is in, the sword and its stroke, and the names over the other
// players' figures.
#include "render/humanoid_model.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdio>

#include "platform/vector.h"
#include "render/camera.h"
#include "render/model_draw.h"
#include "render/renderer.h"
#include "render/textures.h"
#include "sim/game.h"
#include "sim/humanoid.h"
#include "sim/participants.h"
#include "sim/session.h"
#include "sim/wire.h"
#include "sim/world.h"

// --- the sword mesh -----------------------------------------------------------------

static const float sword_vertices[48][3] = {
    {0.0000f, -0.5000f, 0.0000f},
    {0.0450f, -0.4600f, 0.0000f},
    {-0.0225f, -0.4600f, 0.0173f},
    {-0.0225f, -0.4600f, -0.0173f},
    {0.0000f, -0.4200f, 0.0000f},
    {0.0180f, -0.4200f, 0.0000f},
    {-0.0090f, -0.4200f, 0.0156f},
    {-0.0090f, -0.4200f, -0.0156f},
    {0.0158f, -0.3700f, 0.0086f},
    {-0.0154f, -0.3700f, 0.0094f},
    {-0.0004f, -0.3700f, -0.0180f},
    {0.0097f, -0.3200f, 0.0151f},
    {-0.0180f, -0.3200f, 0.0008f},
    {0.0083f, -0.3200f, -0.0160f},
    {0.0013f, -0.2700f, 0.0180f},
    {-0.0162f, -0.2700f, -0.0079f},
    {0.0149f, -0.2700f, -0.0101f},
    {-0.0075f, -0.2200f, 0.0164f},
    {-0.0104f, -0.2200f, -0.0147f},
    {0.0179f, -0.2200f, -0.0017f},
    {-0.0144f, -0.1700f, 0.0108f},
    {-0.0021f, -0.1700f, -0.0179f},
    {0.0165f, -0.1700f, 0.0071f},
    {-0.0178f, -0.1200f, 0.0025f},
    {0.0067f, -0.1200f, -0.0167f},
    {0.0111f, -0.1200f, 0.0142f},
    {0.0000f, -0.1200f, 0.0000f},
    {-0.0950f, -0.1200f, -0.0200f},
    {-0.0950f, -0.1200f, 0.0200f},
    {-0.0950f, -0.0800f, 0.0000f},
    {0.0950f, -0.1200f, -0.0200f},
    {0.0950f, -0.1200f, 0.0200f},
    {0.0950f, -0.0800f, 0.0000f},
    {-0.0700f, -0.0800f, 0.0000f},
    {0.0000f, -0.0800f, 0.0200f},
    {0.0700f, -0.0800f, 0.0000f},
    {0.0000f, -0.0800f, -0.0200f},
    {-0.0680f, 0.1500f, 0.0000f},
    {0.0000f, 0.1500f, 0.0200f},
    {0.0680f, 0.1500f, 0.0000f},
    {0.0000f, 0.1500f, -0.0200f},
    {-0.0550f, 0.4000f, 0.0000f},
    {0.0000f, 0.4000f, 0.0200f},
    {0.0550f, 0.4000f, 0.0000f},
    {0.0000f, 0.4000f, -0.0200f},
    {-0.0100f, 0.5000f, 0.0000f},
    {0.0100f, 0.5000f, 0.0000f},
    {0.0000f, -0.0800f, 0.0000f},
};
static const float sword_normals[72][3] = {
    {0.0000f, -1.0000f, 0.0000f},
    {1.0000f, 0.0000f, 0.0000f},
    {-0.7924f, 0.0000f, 0.6100f},
    {-0.7924f, 0.0000f, -0.6100f},
    {0.0000f, -1.0000f, 0.0000f},
    {1.0000f, 0.0000f, 0.0000f},
    {-0.5000f, 0.0000f, 0.8660f},
    {-0.5000f, 0.0000f, -0.8660f},
    {0.8776f, 0.0000f, 0.4794f},
    {-0.8540f, 0.0000f, 0.5203f},
    {-0.0236f, 0.0000f, -0.9997f},
    {0.5403f, 0.0000f, 0.8415f},
    {-0.9989f, 0.0000f, 0.0472f},
    {0.4586f, 0.0000f, -0.8886f},
    {0.0707f, 0.0000f, 0.9975f},
    {-0.8992f, 0.0000f, -0.4375f},
    {0.8285f, 0.0000f, -0.5600f},
    {-0.4161f, 0.0000f, 0.9093f},
    {-0.5794f, 0.0000f, -0.8150f},
    {0.9955f, 0.0000f, -0.0942f},
    {-0.8011f, 0.0000f, 0.5985f},
    {-0.1177f, 0.0000f, -0.9930f},
    {0.9189f, 0.0000f, 0.3946f},
    {-0.9900f, 0.0000f, 0.1411f},
    {0.3728f, 0.0000f, -0.9279f},
    {0.6172f, 0.0000f, 0.7868f},
    {0.0000f, 1.0000f, 0.0000f},
    {-0.9785f, 0.0000f, -0.2060f},
    {-0.9785f, 0.0000f, 0.2060f},
    {-1.0000f, 0.0000f, 0.0000f},
    {0.9785f, 0.0000f, -0.2060f},
    {0.9785f, 0.0000f, 0.2060f},
    {1.0000f, 0.0000f, 0.0000f},
    {-1.0000f, 0.0000f, 0.0000f},
    {0.0000f, 0.0000f, 1.0000f},
    {1.0000f, 0.0000f, 0.0000f},
    {0.0000f, 0.0000f, -1.0000f},
    {-1.0000f, 0.0000f, 0.0000f},
    {0.0000f, 0.0000f, 1.0000f},
    {1.0000f, 0.0000f, 0.0000f},
    {0.0000f, 0.0000f, -1.0000f},
    {-1.0000f, 0.0000f, 0.0000f},
    {0.0000f, 0.0000f, 1.0000f},
    {1.0000f, 0.0000f, 0.0000f},
    {0.0000f, 0.0000f, -1.0000f},
    {-1.0000f, 0.0000f, 0.0000f},
    {1.0000f, 0.0000f, 0.0000f},
    {0.0000f, 1.0000f, 0.0000f},
    {-0.2747f, 0.0000f, 0.9615f},
    {-0.2822f, 0.0025f, 0.9594f},
    {0.2747f, 0.0024f, 0.9615f},
    {0.2822f, 0.0000f, 0.9594f},
    {0.2747f, 0.0000f, -0.9615f},
    {0.2822f, 0.0025f, -0.9594f},
    {-0.2747f, 0.0024f, -0.9615f},
    {-0.2822f, 0.0000f, -0.9594f},
    {-0.2822f, 0.0000f, 0.9594f},
    {-0.3417f, 0.0178f, 0.9396f},
    {0.2821f, 0.0147f, 0.9593f},
    {0.3417f, 0.0000f, 0.9398f},
    {0.2822f, 0.0000f, -0.9594f},
    {0.3417f, 0.0178f, -0.9396f},
    {-0.2821f, 0.0147f, -0.9593f},
    {-0.3417f, 0.0000f, -0.9398f},
    {-0.3378f, 0.1520f, 0.9289f},
    {0.0000f, 0.1961f, 0.9806f},
    {0.3378f, 0.1520f, 0.9289f},
    {0.3378f, 0.1520f, -0.9289f},
    {0.0000f, 0.1961f, -0.9806f},
    {-0.3378f, 0.1520f, -0.9289f},
    {0.0000f, -1.0000f, 0.0000f},
    {0.0000f, 1.0000f, 0.0000f},
};
static const float sword_texcoords[60][2] = {
    {0.5000f, 0.0000f},
    {0.6800f, 0.0400f},
    {0.4100f, 0.0400f},
    {0.4100f, 0.0400f},
    {0.5000f, 0.0800f},
    {0.5720f, 0.0800f},
    {0.4640f, 0.0800f},
    {0.4640f, 0.0800f},
    {0.5632f, 0.1300f},
    {0.4385f, 0.1300f},
    {0.4983f, 0.1300f},
    {0.5389f, 0.1800f},
    {0.4281f, 0.1800f},
    {0.5330f, 0.1800f},
    {0.5051f, 0.2300f},
    {0.4353f, 0.2300f},
    {0.5597f, 0.2300f},
    {0.4700f, 0.2800f},
    {0.4583f, 0.2800f},
    {0.5717f, 0.2800f},
    {0.4423f, 0.3300f},
    {0.4915f, 0.3300f},
    {0.5662f, 0.3300f},
    {0.4287f, 0.3800f},
    {0.5268f, 0.3800f},
    {0.5444f, 0.3800f},
    {0.5000f, 0.3800f},
    {0.1200f, 0.3800f},
    {0.1200f, 0.3800f},
    {0.1200f, 0.4200f},
    {0.8800f, 0.3800f},
    {0.8800f, 0.3800f},
    {0.8800f, 0.4200f},
    {0.2200f, 0.4200f},
    {0.5000f, 0.4200f},
    {0.7800f, 0.4200f},
    {0.5000f, 0.4200f},
    {0.2280f, 0.6500f},
    {0.5000f, 0.6500f},
    {0.7720f, 0.6500f},
    {0.5000f, 0.6500f},
    {0.2800f, 0.9000f},
    {0.5000f, 0.9000f},
    {0.7200f, 0.9000f},
    {0.5000f, 0.9000f},
    {0.4600f, 1.0000f},
    {0.5400f, 1.0000f},
    {0.5000f, 0.4200f},
    {0.6000f, 0.9000f},
    {0.5866f, 0.9250f},
    {0.5500f, 0.9433f},
    {0.5000f, 0.9500f},
    {0.4500f, 0.9433f},
    {0.4134f, 0.9250f},
    {0.4000f, 0.9000f},
    {0.4134f, 0.8750f},
    {0.4500f, 0.8567f},
    {0.5000f, 0.8500f},
    {0.5500f, 0.8567f},
    {0.5866f, 0.8750f},
};
// Per face: three vertex, three normal and three texture-coordinate indices.
static const unsigned char sword_faces[80][9] = {
    {0, 2, 1, 0, 2, 1, 0, 2, 1},
    {4, 1, 2, 4, 1, 2, 4, 1, 2},
    {0, 3, 2, 0, 3, 2, 0, 3, 2},
    {4, 2, 3, 4, 2, 3, 4, 2, 3},
    {0, 1, 3, 0, 1, 3, 0, 1, 3},
    {4, 3, 1, 4, 3, 1, 4, 3, 1},
    {4, 6, 5, 4, 6, 5, 4, 6, 5},
    {4, 7, 6, 4, 7, 6, 4, 7, 6},
    {4, 5, 7, 4, 5, 7, 4, 5, 7},
    {5, 6, 9, 5, 6, 9, 5, 6, 9},
    {5, 9, 8, 5, 9, 8, 5, 9, 8},
    {6, 7, 10, 6, 7, 10, 6, 7, 10},
    {6, 10, 9, 6, 10, 9, 6, 10, 9},
    {7, 5, 8, 7, 5, 8, 7, 5, 8},
    {7, 8, 10, 7, 8, 10, 7, 8, 10},
    {8, 9, 12, 8, 9, 12, 8, 9, 12},
    {8, 12, 11, 8, 12, 11, 8, 12, 11},
    {9, 10, 13, 9, 10, 13, 9, 10, 13},
    {9, 13, 12, 9, 13, 12, 9, 13, 12},
    {10, 8, 11, 10, 8, 11, 10, 8, 11},
    {10, 11, 13, 10, 11, 13, 10, 11, 13},
    {11, 12, 15, 11, 12, 15, 11, 12, 15},
    {11, 15, 14, 11, 15, 14, 11, 15, 14},
    {12, 13, 16, 12, 13, 16, 12, 13, 16},
    {12, 16, 15, 12, 16, 15, 12, 16, 15},
    {13, 11, 14, 13, 11, 14, 13, 11, 14},
    {13, 14, 16, 13, 14, 16, 13, 14, 16},
    {14, 15, 18, 14, 15, 18, 14, 15, 18},
    {14, 18, 17, 14, 18, 17, 14, 18, 17},
    {15, 16, 19, 15, 16, 19, 15, 16, 19},
    {15, 19, 18, 15, 19, 18, 15, 19, 18},
    {16, 14, 17, 16, 14, 17, 16, 14, 17},
    {16, 17, 19, 16, 17, 19, 16, 17, 19},
    {17, 18, 21, 17, 18, 21, 17, 18, 21},
    {17, 21, 20, 17, 21, 20, 17, 21, 20},
    {18, 19, 22, 18, 19, 22, 18, 19, 22},
    {18, 22, 21, 18, 22, 21, 18, 22, 21},
    {19, 17, 20, 19, 17, 20, 19, 17, 20},
    {19, 20, 22, 19, 20, 22, 19, 20, 22},
    {20, 21, 24, 20, 21, 24, 20, 21, 24},
    {20, 24, 23, 20, 24, 23, 20, 24, 23},
    {21, 22, 25, 21, 22, 25, 21, 22, 25},
    {21, 25, 24, 21, 25, 24, 21, 25, 24},
    {22, 20, 23, 22, 20, 23, 22, 20, 23},
    {22, 23, 25, 22, 23, 25, 22, 23, 25},
    {26, 23, 24, 26, 23, 24, 26, 23, 24},
    {26, 24, 25, 26, 24, 25, 26, 24, 25},
    {26, 25, 23, 26, 25, 23, 26, 25, 23},
    {27, 28, 31, 27, 28, 31, 27, 28, 31},
    {27, 31, 30, 27, 31, 30, 27, 31, 30},
    {28, 29, 32, 28, 29, 32, 28, 29, 32},
    {28, 32, 31, 28, 32, 31, 28, 32, 31},
    {29, 27, 30, 29, 27, 30, 29, 27, 30},
    {29, 30, 32, 29, 30, 32, 29, 30, 32},
    {33, 34, 38, 48, 48, 48, 33, 34, 38},
    {33, 38, 37, 49, 49, 49, 33, 38, 37},
    {34, 35, 39, 50, 50, 50, 34, 35, 39},
    {34, 39, 38, 51, 51, 51, 34, 39, 38},
    {35, 36, 40, 52, 52, 52, 35, 36, 40},
    {35, 40, 39, 53, 53, 53, 35, 40, 39},
    {36, 33, 37, 54, 54, 54, 36, 33, 37},
    {36, 37, 40, 55, 55, 55, 36, 37, 40},
    {37, 38, 42, 56, 56, 56, 37, 38, 42},
    {37, 42, 41, 57, 57, 57, 37, 42, 41},
    {38, 39, 43, 58, 58, 58, 38, 39, 43},
    {38, 43, 42, 59, 59, 59, 38, 43, 42},
    {39, 40, 44, 60, 60, 60, 39, 40, 44},
    {39, 44, 43, 61, 61, 61, 39, 44, 43},
    {40, 37, 41, 62, 62, 62, 40, 37, 41},
    {40, 41, 44, 63, 63, 63, 40, 41, 44},
    {41, 42, 45, 64, 64, 64, 41, 42, 45},
    {42, 46, 45, 65, 65, 65, 42, 46, 45},
    {42, 43, 46, 66, 66, 66, 42, 43, 46},
    {43, 44, 46, 67, 67, 67, 43, 44, 46},
    {44, 45, 46, 68, 68, 68, 44, 45, 46},
    {44, 41, 45, 69, 69, 69, 44, 41, 45},
    {47, 34, 33, 70, 70, 70, 48, 49, 50},
    {47, 35, 34, 70, 70, 70, 51, 52, 53},
    {47, 36, 35, 70, 70, 70, 54, 55, 56},
    {47, 33, 36, 70, 70, 70, 57, 58, 59},
};

const float (&sword_vertex_table)[SWORD_VERTICES][3] = sword_vertices;
const float (&sword_normal_table)[SWORD_NORMALS][3] = sword_normals;
const float (&sword_texcoord_table)[SWORD_TEXCOORDS][2] = sword_texcoords;
const unsigned char (&sword_face_table)[SWORD_FACES][9] = sword_faces;
// Pommel, grip, guard, blade.
const int sword_runs[4] = {6, 42, 6, 26};
static const float sword_run_colours[4][3] = {
    {0.75f, 0.6f, 0.2f}, {0.35f, 0.2f, 0.1f}, {0.75f, 0.6f, 0.2f}, {0.9f, 0.9f, 0.95f}};

unsigned int GenSwordList()
{
    const unsigned int list = glGenLists(1);
    if (!list)
        return 0;
    glNewList(list, GL_COMPILE);
    // One batch: each run's colour goes with its vertices (with the colour
    // tracking the material, that lights them as a colour set between runs
    // would), so the sword is one draw rather than one a run.
    glBegin(GL_TRIANGLES);
    int face = 0;
    for (int run = 0; run < 4; ++run) {
        glColor3fv(sword_run_colours[run]);
        for (int n = 0; n < sword_runs[run]; ++n, ++face) {
            const unsigned char* f = sword_faces[face];
            for (int k = 0; k < 3; ++k) {
                glNormal3fv(sword_normals[f[3 + k]]);
                glTexCoord2fv(sword_texcoords[f[6 + k]]);
                glVertex3fv(sword_vertices[f[k]]);
            }
        }
    }
    glEnd();
    glColor3f(1.0f, 1.0f, 1.0f);
    glEndList();
    return list;
}

void draw_sword(const renderer& r)
{
    if (r.humanoids.sword_list)
        glCallList(r.humanoids.sword_list);
}

// A five-sided tube along +Z from 0 to `length`, `width` across.
static void humanoid_line(float length, float width)
{
    draw_cone(length, width / 2, width / 2, 5);
}

static void draw_head(float size)
{
    glTranslatef(0.0f, 0.0f, size * 2.0f / 3.0f);
    draw_sphere(size / 2, 6, 6);
    glTranslatef(0.0f, 0.0f, -size * 2.0f / 3.0f);
}

// A body type's six lists.
static void compile_body(const renderer& r, const humanoid_type* t, unsigned int lists[6])
{
    const unsigned int base = glGenLists(6);
    for (int i = 0; i < 6; ++i)
        lists[i] = base ? base + static_cast<unsigned>(i) : 0;
    if (!base)
        return;
    // Hips.
    glNewList(lists[0], GL_COMPILE);
    glTranslatef(-t->hip_width / 2, 0.0f, 0.0f);
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    humanoid_line(t->hip_width, t->hip_width);
    glEndList();
    // Torso; leaves the matrix at the top of the torso. The clothing colour
    // is set by the drawing, which tints it with the team's colour.
    glNewList(lists[1], GL_COMPILE);
    glRotatef(-90.0f + t->lean, 1.0f, 0.0f, 0.0f);
    glBindTexture(GL_TEXTURE_2D, r.textures[TEX_fabric]);
    humanoid_line(t->torso_length, t->hip_width);
    glTranslatef(0.0f, 0.0f, t->torso_length);
    glEndList();
    // Neck and head.
    glNewList(lists[2], GL_COMPILE);
    glColor3fv(t->skin);
    humanoid_line(t->head_size / 2, t->head_size / 3);
    glRotatef(-t->lean / 2, 1.0f, 0.0f, 0.0f);
    draw_head(t->head_size);
    glRotatef(t->lean / 2, 1.0f, 0.0f, 0.0f);
    glEndList();
    // Shoulder bar (colour set by the drawing, as for the torso).
    glNewList(lists[3], GL_COMPILE);
    glRotatef(-90.0f, 0.0f, 1.0f, 0.0f);
    humanoid_line(t->shoulder_width, t->shoulder_width * 0.2f);
    glEndList();
    // Arm segment.
    glNewList(lists[4], GL_COMPILE);
    humanoid_line(t->arm_length, t->arm_thickness);
    glEndList();
    // Leg segment; two calls in a row make a two-segment leg.
    glNewList(lists[5], GL_COMPILE);
    humanoid_line(t->leg_length / 2, t->leg_thickness);
    glTranslatef(0.0f, 0.0f, t->leg_length / 2);
    glEndList();
}

void release_humanoid_lists(renderer& r)
{
    humanoid_looks& h = r.humanoids;
    if (h.sword_list)
        glDeleteLists(h.sword_list, 1);
    h.sword_list = 0;
    for (auto& lists : h.body_lists) {
        if (lists[0])
            glDeleteLists(lists[0], 6);
        for (unsigned int& list : lists)
            list = 0;
    }
}

void compile_humanoid_lists(renderer& r)
{
    release_humanoid_lists(r);
    for (int i = 0; i < HUMAN_TYPE_COUNT; ++i)
        compile_body(r, human_type_of(i), r.humanoids.body_lists[i]);
    r.humanoids.sword_list = GenSwordList();
}

int humanoid_pose(const unit* u)
{
    if (u->y < WATER_LEVEL)
        return POSE_SWIMMING;
    if (std::fabs(u->vx) + std::fabs(u->vz) > 0.1f)
        return POSE_WALKING;
    return POSE_STANDING;
}

void animate_limbs(limb_pose& h, int pose, float t)
{
    const float p = 4.0f * t;
    if (pose == POSE_STANDING) {
        h.leg_angles[0][0] = h.leg_angles[0][1] = h.leg_angles[1][0] = h.leg_angles[1][1] = 0.1f;
        h.arm_angles[0] = h.arm_angles[1] = 0.0f;
        return;
    }
    h.leg_angles[0][0] = 0.6f * std::sin(p);
    h.leg_angles[0][1] = 0.3f - 0.3f * std::cos(p);
    h.leg_angles[1][0] = 0.6f * std::sin(p + 4.0f);
    h.leg_angles[1][1] = 0.3f - 0.3f * std::cos(p + 4.0f);
    h.arm_angles[0] = 0.6f * std::sin(p + 4.0f);
    h.arm_angles[1] = 0.6f * std::sin(p);
    if (pose == POSE_SWIMMING) {
        // Arms stroke overhead.
        h.arm_angles[0] += static_cast<float>(M_PI);
        h.arm_angles[1] += static_cast<float>(M_PI);
    }
}

sword_swing sword_swing_at(float since, uint32_t seed)
{
    sword_swing s{};
    if (!(since >= 0.0f))
        return s;  // no stroke yet
    // The blade comes down one degree a tuned step until it passes 70, then
    // roll and pitch fall back by 0.7 a step until both are under 1.
    constexpr float RISE_STEPS = 71.0f;
    const float steps = since * TUNED_STEPS_PER_SECOND;
    const float roll = static_cast<float>(static_cast<int>(seed % 90u) - 45);
    if (steps < RISE_STEPS) {
        s.roll = roll;
        s.pitch = std::floor(steps);
        return s;
    }
    const float fall = std::pow(0.7f, steps - RISE_STEPS);
    s.roll = roll * fall;
    s.pitch = RISE_STEPS * fall;
    if (std::fabs(s.roll) < 1.0f && std::fabs(s.pitch) < 1.0f)
        s = sword_swing{};
    return s;
}

static void check_gl(const char* label)
{
    const GLenum err = glGetError();
    if (err != GL_NO_ERROR)
        printf("%s glGetError() = %d\n", label, static_cast<int>(err));
}

static constexpr float RAD_TO_DEG = static_cast<float>(180.0 / M_PI);

static void draw_leg(const unsigned int lists[6], const float angles[2])
{
    glPushMatrix();
    glRotatef(angles[0] * RAD_TO_DEG, 1.0f, 0.0f, 0.0f);
    glCallList(lists[5]);
    glRotatef(angles[1] * RAD_TO_DEG, 1.0f, 0.0f, 0.0f);
    glCallList(lists[5]);
    glPopMatrix();
}

static void draw_arm(const unsigned int lists[6], float angle)
{
    glPushMatrix();
    glRotatef(angle * RAD_TO_DEG, 1.0f, 0.0f, 0.0f);
    glCallList(lists[4]);
    glPopMatrix();
}

void draw_weapon(const renderer& r, const world& w, const unit* u, const limb_pose& limbs)
{
    const humanoid_data* h = humanoid_of(u);
    const humanoid_type* t = h->type;
    glPushMatrix();
    glRotatef(-180.0f, 1.0f, 0.0f, 0.0f);
    glTranslatef(-t->shoulder_width / 2, 0.0f, 0.0f);
    glRotatef(limbs.arm_angles[1] * RAD_TO_DEG, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, 0.0f, t->arm_length);
    glTranslatef(0.0f, 0.8f, 0.0f);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    if (h->weapon == WEAPON_SWORD) {
        glScalef(2.0f, 2.0f, 2.0f);
        glBindTexture(GL_TEXTURE_2D, r.textures[TEX_marble]);
        glColor3f(1.0f, 1.0f, 1.0f);
        const sword_swing swing = sword_swing_at(w.time - h->swing_started, u->id ^ float_to_bits(h->swing_started));
        glRotatef(swing.roll, 0.0f, 0.0f, 1.0f);
        glRotatef(swing.pitch, 0.0f, 1.0f, 0.0f);
        draw_sword(r);
    }
    glPopMatrix();
}

void draw_humanoid(const renderer& r, const world& w, const unit* u)
{
    const humanoid_data* h = humanoid_of(u);
    if (!h || !h->type)
        return;
    const humanoid_type* t = h->type;
    const unsigned int* lists = r.humanoids.body_lists[human_type_index(t)];
    limb_pose limbs;
    animate_limbs(limbs, humanoid_pose(u), w.time);
    const float to_eye[3] = {r.view.eye[0] - u->x, r.view.eye[1] - u->y, r.view.eye[2] - u->z};
    if (dot_product(to_eye, r.view.look) > 0.0f)
        return;
    check_gl("pre-humanoid");
    // The clothing shows the side: the body type's colour tinted by the
    // team's colour.
    float cloth[3];
    const team_entry& team = w.session.teams[u->team == TEAM_DEFENDERS ? TEAM_DEFENDERS : TEAM_ATTACKERS];
    const float tint[3] = {team.r, team.g, team.b};
    for (int i = 0; i < 3; ++i)
        cloth[i] = t->clothing[i] * tint[i] * 1.4f > 1.0f ? 1.0f : t->clothing[i] * tint[i] * 1.4f;

    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    glTranslatef(u->x, u->y, u->z);
    glRotatef(u->heading, 0.0f, 1.0f, 0.0f);
    if (u->y < WATER_LEVEL) {
        glRotatef(u->pitch - 90.0f, 1.0f, 0.0f, 0.0f);
        glRotatef(180.0f, 0.0f, 0.0f, 1.0f);
    }
    glColor3fv(cloth);
    glPushMatrix();
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glDisable(GL_TEXTURE_2D);
    glPushMatrix();
    glCallList(lists[0]);
    glPopMatrix();
    glTranslatef(t->hip_width / 2, 0.0f, 0.0f);
    glColor3fv(t->legs);
    draw_leg(lists, limbs.leg_angles[0]);
    glTranslatef(-t->hip_width, 0.0f, 0.0f);
    draw_leg(lists, limbs.leg_angles[1]);
    glEnable(GL_TEXTURE_2D);
    glPopMatrix();

    glColor3fv(cloth);
    glCallList(lists[1]);
    glCallList(lists[2]);

    glPushMatrix();
    glRotatef(-180.0f - t->lean, 1.0f, 0.0f, 0.0f);
    glTranslatef(t->shoulder_width / 2, 0.0f, 0.0f);
    glBindTexture(GL_TEXTURE_2D, r.textures[TEX_fabric]);
    glColor3fv(t->skin);
    draw_arm(lists, limbs.arm_angles[0]);
    glColor3fv(cloth);
    glCallList(lists[3]);
    glTranslatef(0.0f, 0.0f, t->shoulder_width);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    glColor3fv(t->skin);
    draw_arm(lists, limbs.arm_angles[1]);
    glPopMatrix();
    check_gl("post-humanoid");

    draw_weapon(r, w, u, limbs);
    check_gl("post-hweapon");
    glColor3f(1.0f, 1.0f, 1.0f);
    glPopMatrix();
    glEnable(GL_CULL_FACE);
}

void draw_participants(const renderer& r, const world& w)
{
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    const std::vector<participant>& parts = w.session.parts;
    const int my_team = parts.empty() ? -1 : parts[0].team;
    for (size_t i = 1; i < parts.size(); ++i) {
        const participant& p = parts[i];
        const unit* a = p.figure;
        if (!a || a->invisible)
            continue;
        const double hd = a->heading * M_PI / 180.0;
        if (p.team == my_team)
            glColor3f(0.0f, 1.0f, 0.0f);
        else
            glColor3f(1.0f, 0.0f, 0.0f);
        glRasterPos3f(a->x + static_cast<float>(sin(hd)), a->y + 1.2f, a->z + static_cast<float>(cos(hd)));
        for (unsigned char c : p.name) {
            if (c <= 32)
                break;
            glCallList(r.humanoids.name_tag_font_base + c);
        }
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    enable_lighting(r.view);
}
