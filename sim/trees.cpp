// Trees.
#include "sim/trees.h"

#include <GL/gl.h>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/paths.h"
#include "render/textures.h"
#include "sim/model_tree.h"

std::vector<tree_pos> chestnuts;
int num_chestnuts = 0;
std::vector<tree_pos> random_trees;
int num_random_trees = 0;
std::string trees_filename = "trees.txt";

namespace {

struct file_closer {
    void operator()(FILE* f) const { fclose(f); }
};
using file_ptr = std::unique_ptr<FILE, file_closer>;

// The hidden trunk that walkers and arrows bump into.
void add_tree_model(float x, float y, float z)
{
    const float w = static_cast<float>(chestnut_w), h = static_cast<float>(chestnut_h);
    model_node node;
    empty_model_tree(node, x, y, z, std::sqrt(w * w + h * h));
    primitive cone;
    create_cone_prim(cone, w / 2, -2.0f, 0, w / 2, w / 2, h, 0, 1.0f);
    cone.cone.flags |= PRIM_HIDDEN;
    add_primitive_to_tree(node, cone);
    register_top_level_model(std::move(node));
}

// Positions are kept as whole numbers: a place that is not a number or
// lies too far out for one (a damaged trees.txt) plants nothing.
constexpr float TREE_PLACE_LIMIT = 1e6f;

bool plantable(float v)
{
    return std::fabs(v) < TREE_PLACE_LIMIT;  // false for NaN too
}

void add_tree(std::vector<tree_pos>& list, int& count, float x, float z, float sink)
{
    const float anchor = structure_ground(x, z) - sink;
    if (!plantable(x) || !plantable(z) || !plantable(anchor)) {
        fprintf(stderr, "no tree planted at (%g, %g): not a place on the map\n", static_cast<double>(x),
                static_cast<double>(z));
        return;
    }
    list.push_back(tree_pos{static_cast<int>(x), static_cast<int>(anchor), static_cast<int>(z)});
    add_tree_model(x, anchor, z);
    count = static_cast<int>(list.size());
}

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
void draw_tree_kind(const std::vector<tree_pos>& trees, unsigned texture, int is_random, float radius)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glBegin(GL_QUADS);
    for (const tree_pos& t : trees) {
        const float x = static_cast<float>(t.x), y = tree_picture_height(t, is_random), z = static_cast<float>(t.z);
        if (!cull_sphere(x, y, z, radius))
            tree_quads(x, y, z);
    }
    glEnd();
}

} // namespace

void add_chestnut(float x, float z)
{
    add_tree(chestnuts, num_chestnuts, x, z, 1.0f);
}

void add_random_tree(float x, float z)
{
    add_tree(random_trees, num_random_trees, x, z, 0.0f);
}

void clear_trees()
{
    chestnuts.clear();
    random_trees.clear();
    num_chestnuts = num_random_trees = 0;
}

int load_trees()
{
    file_ptr f(fopen(data_file(trees_filename).c_str(), "r"));
    if (!f) {
        printf("no %s (%s): no trees planted\n", trees_filename.c_str(), strerror(errno));
        return -1;
    }
    int used = 0;
    for (;;) {
        char kind = 0;
        float x = 0, z = 0;
        if (fscanf(f.get(), "%c, %f, %f\n", &kind, &x, &z) != 3)
            break;
        ++used;
        if (kind == 'c')
            add_chestnut(x, z);
        else if (kind == 'r')
            add_random_tree(x, z);
    }
    printf("loaded %d chestnuts and %d random trees from %s\n", num_chestnuts, num_random_trees,
           trees_filename.c_str());
    return used;
}

void save_tree(float x, float z)
{
    file_ptr f(fopen(data_file(trees_filename).c_str(), "a"));
    if (!f) {
        fprintf(stderr, "cannot append to %s: %s\n", trees_filename.c_str(), strerror(errno));
    } else {
        fprintf(f.get(), "%c, %f, %f\n", 'r', static_cast<double>(x), static_cast<double>(z));
    }
    add_chestnut(x, z);
}

float tree_picture_height(const tree_pos& t, int is_random)
{
    if (!is_random)
        return static_cast<float>(t.y);
    return std::trunc(structure_ground(static_cast<float>(t.x), static_cast<float>(t.z)));
}

void draw_trees()
{
    const float w = static_cast<float>(chestnut_w), h = static_cast<float>(chestnut_h);
    const float r = std::sqrt(2 * w * w + h * h);
    // One pass with depth writes: only wholly opaque texels are drawn
    // (blending is off), so a first pass without depth writes would be
    // painted over pixel for pixel by the second.
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_EQUAL, 1.0f);
    glColor3f(1, 1, 1);
    draw_tree_kind(chestnuts, tree_chestnut_texid, 0, r);
    draw_tree_kind(random_trees, tree_random_texid, 1, r);
    glDisable(GL_ALPHA_TEST);
}
