// Trees: crossed, alpha-tested picture planes placed from "trees.txt", each
// with an invisible cone model for collisions.
#pragma once

#include <vector>

constexpr int chestnut_w = 10;
constexpr int chestnut_h = 15;

struct tree_pos {
    int x, y, z;  // world position truncated toward zero; y is the anchor height
};

// The trees of one battle (their trunks are structures of its world).
struct trees_state {
    std::vector<tree_pos> chestnuts;
    std::vector<tree_pos> random_trees;
};

struct world;

// Reads the session's trees file (and the user's own planted trees);
// returns the number of lines used, or -1 when the file is missing (no
// trees then).
int load_trees(world& w);
void add_chestnut(world& w, float x, float z);
void add_random_tree(world& w, float x, float z);
// Appends a random-tree line at (x, z) to the user's file and plants a
// chestnut there in the running game.
void save_tree(world& w, float x, float z);
// Height at which a tree's picture is drawn: a chestnut keeps the height it
// was planted at, a random tree follows the ground under it.
float tree_picture_height(const world& w, const tree_pos& t, int is_random);
