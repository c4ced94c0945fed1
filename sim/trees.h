// Trees: crossed, alpha-tested picture planes placed from "trees.txt", each
// with an invisible cone model for collisions.
#pragma once

#include <string>
#include <vector>

constexpr int chestnut_w = 10;
constexpr int chestnut_h = 15;

struct tree_pos {
    int x, y, z;  // world position truncated toward zero; y is the anchor height
};

extern std::vector<tree_pos> chestnuts;
extern int num_chestnuts;
extern std::vector<tree_pos> random_trees;
extern int num_random_trees;
extern std::string trees_filename;  // "trees.txt"

// Reads trees_filename; returns the number of lines used, or -1 when the file
// is missing (no trees then).
int load_trees();
void add_chestnut(float x, float z);
void add_random_tree(float x, float z);
// Appends a random-tree line at (x, z) to the file and plants a chestnut
// there in the running game.
void save_tree(float x, float z);
// Forgets all trees (their collision models go with the model tree).
void clear_trees();
// Height at which a tree's picture is drawn: a chestnut keeps the height it
// was planted at, a random tree follows the ground under it.
float tree_picture_height(const tree_pos& t, int is_random);
