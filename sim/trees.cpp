// Trees.
#include "sim/trees.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/paths.h"
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

// Plants every line of the file; the number of lines read.
static int plant_from(FILE* f)
{
    int used = 0;
    for (;;) {
        char kind = 0;
        float x = 0, z = 0;
        if (fscanf(f, "%c, %f, %f\n", &kind, &x, &z) != 3)
            break;
        ++used;
        if (kind == 'c')
            add_chestnut(x, z);
        else if (kind == 'r')
            add_random_tree(x, z);
    }
    return used;
}

int load_trees()
{
    const std::string data = data_file(trees_filename);
    file_ptr f(fopen(data.c_str(), "r"));
    if (!f) {
        printf("no %s (%s): no trees planted\n", trees_filename.c_str(), strerror(errno));
        return -1;
    }
    int used = plant_from(f.get());
    // The trees the player planted (save_tree) stand on too: the user's own
    // file, unless it is the data file itself (a build tree's directory).
    const std::string own = user_file(trees_filename);
    if (own != data)
        if (file_ptr g(fopen(own.c_str(), "r")); g)
            used += plant_from(g.get());
    printf("loaded %d chestnuts and %d random trees from %s\n", num_chestnuts, num_random_trees,
           trees_filename.c_str());
    return used;
}

void save_tree(float x, float z)
{
    // The game's data may be installed read-only: a planted tree goes to
    // the user's own file, which load_trees reads after the data file.
    const std::string own = user_file_for_writing(trees_filename);
    file_ptr f(fopen(own.c_str(), "a"));
    if (!f) {
        fprintf(stderr, "cannot append to %s: %s\n", own.c_str(), strerror(errno));
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
