// Trees.
#include "sim/trees.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/paths.h"
#include "sim/model_tree.h"
#include "sim/session.h"
#include "sim/world.h"

namespace {

struct file_closer {
    void operator()(FILE* f) const { fclose(f); }
};
using file_ptr = std::unique_ptr<FILE, file_closer>;

// The hidden trunk that walkers and arrows bump into.
void add_tree_model(world& wd, float x, float y, float z)
{
    const float w = static_cast<float>(chestnut_w), h = static_cast<float>(chestnut_h);
    model_node node;
    empty_model_tree(node, x, y, z, std::sqrt(w * w + h * h));
    primitive cone;
    create_cone_prim(cone, w / 2, -2.0f, 0, w / 2, w / 2, h, 0, 1.0f);
    cone.cone.flags |= PRIM_HIDDEN;
    add_primitive_to_tree(node, cone);
    register_top_level_model(wd.structures, std::move(node));
}

// Positions are kept as whole numbers: a place that is not a number or
// lies too far out for one (a damaged trees.txt) plants nothing.
constexpr float TREE_PLACE_LIMIT = 1e6f;

bool plantable(float v)
{
    return std::fabs(v) < TREE_PLACE_LIMIT;  // false for NaN too
}

void add_tree(world& w, std::vector<tree_pos>& list, float x, float z, float sink)
{
    const float anchor = structure_ground(w, x, z) - sink;
    if (!plantable(x) || !plantable(z) || !plantable(anchor)) {
        fprintf(stderr, "no tree planted at (%g, %g): not a place on the map\n", static_cast<double>(x),
                static_cast<double>(z));
        return;
    }
    list.push_back(tree_pos{static_cast<int>(x), static_cast<int>(anchor), static_cast<int>(z)});
    add_tree_model(w, x, anchor, z);
}

} // namespace

void add_chestnut(world& w, float x, float z)
{
    add_tree(w, w.trees.chestnuts, x, z, 1.0f);
}

void add_random_tree(world& w, float x, float z)
{
    add_tree(w, w.trees.random_trees, x, z, 0.0f);
}

// Plants every line of the file; the number of lines read.
static int plant_from(world& w, FILE* f)
{
    int used = 0;
    for (;;) {
        char kind = 0;
        float x = 0, z = 0;
        if (fscanf(f, "%c, %f, %f\n", &kind, &x, &z) != 3)
            break;
        ++used;
        if (kind == 'c')
            add_chestnut(w, x, z);
        else if (kind == 'r')
            add_random_tree(w, x, z);
    }
    return used;
}

int load_trees(world& w)
{
    const std::string& trees_filename = w.session.files.trees;
    const std::string data = data_file(trees_filename);
    file_ptr f(fopen(data.c_str(), "r"));
    if (!f) {
        printf("no %s (%s): no trees planted\n", trees_filename.c_str(), strerror(errno));
        return -1;
    }
    int used = plant_from(w, f.get());
    // The trees the player planted (save_tree) stand on too: the user's own
    // file, unless it is the data file itself (a build tree's directory).
    const std::string own = user_file(trees_filename);
    if (own != data)
        if (file_ptr g(fopen(own.c_str(), "r")); g)
            used += plant_from(w, g.get());
    printf("loaded %d chestnuts and %d random trees from %s\n", static_cast<int>(w.trees.chestnuts.size()),
           static_cast<int>(w.trees.random_trees.size()), trees_filename.c_str());
    return used;
}

void save_tree(world& w, float x, float z)
{
    const std::string& trees_filename = w.session.files.trees;
    // The game's data may be installed read-only: a planted tree goes to
    // the user's own file, which load_trees reads after the data file.
    const std::string own = user_file_for_writing(trees_filename);
    file_ptr f(fopen(own.c_str(), "a"));
    if (!f) {
        fprintf(stderr, "cannot append to %s: %s\n", own.c_str(), strerror(errno));
    } else {
        fprintf(f.get(), "%c, %f, %f\n", 'r', static_cast<double>(x), static_cast<double>(z));
    }
    add_chestnut(w, x, z);
}

float tree_picture_height(const world& w, const tree_pos& t, int is_random)
{
    if (!is_random)
        return static_cast<float>(t.y);
    return std::trunc(structure_ground(w, static_cast<float>(t.x), static_cast<float>(t.z)));
}
