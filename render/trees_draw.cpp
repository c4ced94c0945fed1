// The trees' pictures: two crossed, alpha-tested planes a tree, every tree
// of a kind in one draw.
#include "render/trees_draw.h"

#include <GL/gl.h>
#include <cmath>

#include "render/model_draw.h"
#include "render/renderer.h"
#include "render/textures.h"
#include "sim/trees.h"
#include "sim/world.h"

namespace {

void tree_rect(float x0, float z0, float x1, float z1, float y0, float y1)
{
    // First edge at (x0, z0), far edge at (x1, z1).
    glTexCoord2f(1, 1);
    glVertex3f(x0, y0, z0);
    glTexCoord2f(0, 1);
    glVertex3f(x1, y0, z1);
    glTexCoord2f(0, 0);
    glVertex3f(x1, y1, z1);
    glTexCoord2f(1, 0);
    glVertex3f(x0, y1, z0);
}

// The four sides of the crossed pictures of one tree, inside glBegin(GL_QUADS).
void tree_quads(float x, float y, float z)
{
    const float w = static_cast<float>(chestnut_w), h = static_cast<float>(chestnut_h);
    const float y0 = y - 0.5f, y1 = y + h - 0.5f;
    tree_rect(x, z, x + w, z, y0, y1);
    tree_rect(x + w, z, x, z, y0, y1);
    tree_rect(x + w / 2, z - w / 2, x + w / 2, z + w / 2, y0, y1);
    tree_rect(x + w / 2, z + w / 2, x + w / 2, z - w / 2, y0, y1);
}

// Every tree of one kind in view, in one draw: one bind and one
// glBegin/glEnd for the lot rather than one for each tree.
void draw_tree_kind(renderer& r, const world& w, const std::vector<tree_pos>& trees, unsigned texture, int is_random,
                    float radius)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glBegin(GL_QUADS);
    for (const tree_pos& t : trees) {
        const float x = static_cast<float>(t.x), y = tree_picture_height(w, t, is_random), z = static_cast<float>(t.z);
        if (!cull_sphere(r, x, y, z, radius))
            tree_quads(x, y, z);
    }
    glEnd();
}
} // namespace

void draw_trees(renderer& r, const world& w)
{
    const float width = static_cast<float>(chestnut_w), h = static_cast<float>(chestnut_h);
    const float radius = std::sqrt(2 * width * width + h * h);
    // One pass with depth writes: only wholly opaque texels are drawn
    // (blending is off), so a first pass without depth writes would be
    // painted over pixel for pixel by the second.
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_EQUAL, 1.0f);
    glColor3f(1, 1, 1);
    draw_tree_kind(r, w, w.trees.chestnuts, r.textures[TEX_tree_chestnut], 0, radius);
    draw_tree_kind(r, w, w.trees.random_trees, r.textures[TEX_tree_random], 1, radius);
    glDisable(GL_ALPHA_TEST);
}
