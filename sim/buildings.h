// Houses, mansions, pagodas, temples and bridges, placed from "houses.txt",
// one per line. Each building is one compiled top-level model; temples are
// remembered so that praying and the attackers' victory can recognise them.
#pragma once

#include <vector>

struct model_node;
struct world;

// The buildings of one battle: the model ids of all temples, in file order.
struct buildings_state {
    std::vector<int> temple_ids;
};

// Reads the session's houses file and builds every building. Returns the
// number of lines used (buildings built plus skipped letters), or -1 when
// the file cannot be opened.
int load_buildings(world& w);
int add_house_model(world& w, int x, int z);
int add_mansion_model(world& w, int x, int z);
int add_pagoda_model(world& w, int x, int z);
int add_temple_model(world& w, int x, int z);
int add_bridge_model(world& w, int x, int z, float angle, float length, float height);

// A gabled roof whose base is the node's origin plane; the ridge runs along
// z at height h.
model_node create_prism_tree(float x, float y, float z, float w, float h, float d, unsigned texture, float s_scale,
                             float t_scale);
// A box turned about the vertical axis by `angle` degrees.
model_node create_angle_box_tree(float x, float y, float z, float w, float h, float d, float scale, float angle);

// The temple model containing `node` (itself or a descendant), or nullptr.
model_node* is_a_temple(world& w, const model_node* node);
const model_node* is_a_temple(const world& w, const model_node* node);
int recursive_find_modeltree(const model_node* tree, const model_node* node);
