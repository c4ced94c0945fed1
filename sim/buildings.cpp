// Buildings and temples.
#include "sim/buildings.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/paths.h"
#include "sim/materials.h"
#include "platform/vector.h"
#include "sim/model_tree.h"
#include "sim/session.h"
#include "sim/world.h"

namespace {

struct file_closer {
    void operator()(FILE* f) const { fclose(f); }
};
using file_ptr = std::unique_ptr<FILE, file_closer>;

int finish(world& w, model_node&& node)
{
    node.fixed_shape = true;
    return register_top_level_model(w.structures, std::move(node));
}

void add_cone(model_node& node, float x, float y, float z, float r0, float r1, float h, unsigned texture,
              float repeat)
{
    primitive prim;
    create_cone_prim(prim, x, y, z, r0, r1, h, texture, repeat);
    add_primitive_to_tree(node, prim);
}

} // namespace

model_node create_prism_tree(float x, float y, float z, float w, float h, float d, unsigned texture, float s_scale,
                             float t_scale)
{
    model_node node;
    empty_model_tree(node, x, y, z, std::sqrt(w * w + h * h + d * d));
    const float pts[8][3] = {
        {-w / 2, 0, d / 2},  {0, 0, d / 2},  {w / 2, 0, d / 2},  {0, h, d / 2},
        {-w / 2, 0, -d / 2}, {0, 0, -d / 2}, {w / 2, 0, -d / 2}, {0, h, -d / 2},
    };
    set_tree_points(node, pts, 8);
    add_quad_prim(node, 0, 1, 2, 3, texture, w * s_scale, h * s_scale); // front gable
    add_quad_prim(node, 7, 6, 5, 4, texture, w * s_scale, h * s_scale); // back gable
    add_quad_prim(node, 0, 3, 7, 4, texture, w * s_scale, -d * t_scale);
    add_quad_prim(node, 6, 7, 3, 2, texture, w * s_scale, d * t_scale);
    return node;
}

model_node create_angle_box_tree(float x, float y, float z, float w, float h, float d, float scale, float angle)
{
    const float th = angle * static_cast<float>(DEG_TO_RAD);
    const float ex[3] = {w * std::cos(th), 0, -w * std::sin(th)};
    const float ey[3] = {0, h, 0};
    const float ez[3] = {d * std::sin(th), 0, d * std::cos(th)};
    model_node node;
    empty_model_tree(node, x, y, z, std::sqrt((w * w + h * h + d * d) / 4));
    float c0[3];
    for (int k = 0; k < 3; ++k)
        c0[k] = -(ex[k] + ey[k] + ez[k]) / 2;
    float pts[8][3];
    for (int k = 0; k < 3; ++k) {
        pts[0][k] = c0[k];
        pts[1][k] = c0[k] + ez[k];
        pts[2][k] = c0[k] + ey[k] + ez[k];
        pts[3][k] = c0[k] + ey[k];
        pts[4][k] = c0[k] + ex[k];
        pts[5][k] = c0[k] + ex[k] + ez[k];
        pts[6][k] = c0[k] + ex[k] + ey[k] + ez[k];
        pts[7][k] = c0[k] + ex[k] + ey[k];
    }
    set_tree_points(node, pts, 8);
    setup_cubic_faces(node, 0, 1, 2, 3, 4, 5, 6, 7, TEX_kelvarin_gate, w * scale, h * scale, d * scale);
    return node;
}

int add_house_model(world& w, int x, int z)
{
    const float fx = static_cast<float>(x), fz = static_cast<float>(z);
    model_node node;
    empty_model_tree(node, fx, structure_ground(w, fx, fz) + 3, fz, std::sqrt(81.5f));
    add_child_to_tree(node, create_box_tree(0, 0, 0, 9, 8, 7, TEX_stucco, 0.25f));
    add_child_to_tree(node, create_prism_tree(0, 4, 0, 9, 3, 7, TEX_wood_ceiling, 0.2f, 0.2f));
    return finish(w, std::move(node));
}

int add_mansion_model(world& w, int x, int z)
{
    const float fx = static_cast<float>(x), fz = static_cast<float>(z);
    model_node node;
    empty_model_tree(node, fx, structure_ground(w, fx, fz) + 8, fz, std::sqrt(352.25f));
    add_child_to_tree(node, create_box_tree(0, -4, 0, 27, 8, 14, TEX_stucco, 0.25f));
    add_child_to_tree(node, create_box_tree(-9, 4, 0, 9, 8, 14, TEX_stucco, 0.25f));
    add_child_to_tree(node, create_box_tree(9, 4, 0, 9, 8, 14, TEX_stucco, 0.25f));
    add_child_to_tree(node, create_box_tree(0, 4, 3.5f, 9, 8, 7, TEX_stucco, 0.25f));
    add_child_to_tree(node, create_prism_tree(-9, 8, 0, 9, 3, 14, TEX_wood_ceiling, 0.2f, 0.2f));
    add_child_to_tree(node, create_prism_tree(9, 8, 0, 9, 3, 14, TEX_wood_ceiling, 0.2f, 0.2f));
    return finish(w, std::move(node));
}

int add_pagoda_model(world& w, int x, int z)
{
    const float fx = static_cast<float>(x), fz = static_cast<float>(z);
    model_node node;
    empty_model_tree(node, fx, structure_ground(w, fx, fz) + 6, fz, 8);
    add_child_to_tree(node, create_box_tree(0, -6, 0, 8, 2, 8, TEX_marble, 0.3f));
    add_child_to_tree(node, create_box_tree(0, 4, 0, 8, 1, 8, TEX_marble, 0.3f));
    primitive dome;
    create_sphere_prim(dome, 0, 4, 0, 3, TEX_marble, 3);
    add_primitive_to_tree(node, dome);
    const float corners[4][2] = {{-3, -3}, {-3, 3}, {3, -3}, {3, 3}};
    for (const auto& c : corners)
        add_cone(node, c[0], -6, c[1], 0.8f, 0.5f, 10, TEX_marble, 3);
    return finish(w, std::move(node));
}

int add_temple_model(world& w, int x, int z)
{
    const float fx = static_cast<float>(x), fz = static_cast<float>(z);
    model_node node;
    empty_model_tree(node, fx, structure_ground(w, fx, fz) - 0.1f + 6.4f, fz, 15);
    add_child_to_tree(node, create_box_tree(0, -6, 0, 18, 1.6f, 18, TEX_stone_floor, 0.3f));
    add_child_to_tree(node, create_box_tree(0, -6.4f, 9, 6.75f, 1.6f, 3.375f, TEX_stone_floor, 0.3f));
    add_child_to_tree(node, create_box_tree(0, 2, 0, 18.4f, 0.64f, 18.4f, TEX_marble, 0.05f));
    add_child_to_tree(node, create_prism_tree(0, 2, 0, 18.4f, 4, 16, TEX_marble, 0.05f, 0.0625f));
    for (int k = 0; k < 5; ++k) {
        const float cz = static_cast<float>(4 * k - 8);
        add_cone(node, -8, -6, cz, 1, 0.7f, 8, TEX_column, 3);
        add_cone(node, 8, -6, cz, 1, 0.7f, 8, TEX_column, 3);
    }
    int id = finish(w, std::move(node));
    w.buildings.temple_ids.push_back(id);
    return id;
}

int add_bridge_model(world& w, int x, int z, float angle, float length, float height)
{
    const float fx = static_cast<float>(x), fz = static_cast<float>(z);
    const float th = angle * static_cast<float>(DEG_TO_RAD);
    const float along[3] = {length * std::cos(th), 0, -length * std::sin(th)};
    const float across[3] = {18 * std::sin(th), 0, 18 * std::cos(th)};
    model_node node;
    empty_model_tree(node, fx + along[0] / 2 + across[0] / 2, structure_ground(w, fx, fz) - 0.5f + height,
                     fz + along[2] / 2 + across[2] / 2, std::sqrt(length * length / 4 + 83));
    add_child_to_tree(node, create_angle_box_tree(0, 0, 0, length, 1, 18, 0.25f, angle));
    add_child_to_tree(node, create_angle_box_tree(across[0] / 2, 1.5f, across[2] / 2, length, 2, 1, 0.25f, angle));
    add_child_to_tree(node, create_angle_box_tree(-across[0] / 2, 1.5f, -across[2] / 2, length, 2, 1, 0.25f, angle));
    return finish(w, std::move(node));
}

int load_buildings(world& w)
{
    const std::string& houses_filename = w.session.files.houses;
    w.buildings.temple_ids.clear();
    file_ptr f(fopen(data_file(houses_filename).c_str(), "r"));
    if (!f) {
        fprintf(stderr, "cannot open %s (%s): the island has no buildings and no temple to pray at\n",
                houses_filename.c_str(), strerror(errno));
        return -1;
    }
    int used = 0;
    while (!feof(f.get())) {
        char kind = 0;
        int x = 0, z = 0;
        float angle = 0, length = 0, height = 0;
        if (fscanf(f.get(), "%c, %d, %d, %f, %f, %f\n", &kind, &x, &z, &angle, &length, &height) < 3)
            break;
        ++used;
        switch (kind) {
        case 'b':
            add_bridge_model(w, x, z, angle, length, height);
            break;
        case 'h':
            add_house_model(w, x, z);
            break;
        case 'm':
            add_mansion_model(w, x, z);
            break;
        case 'p':
            add_pagoda_model(w, x, z);
            break;
        case 't':
            add_temple_model(w, x, z);
            break;
        default:
            break;
        }
    }
    printf("loaded %d building lines and %d temples from %s\n", used, static_cast<int>(w.buildings.temple_ids.size()),
           houses_filename.c_str());
    return used;
}

int recursive_find_modeltree(const model_node* tree, const model_node* node)
{
    if (!tree || !node)
        return 0;
    if (tree == node)
        return 1;
    for (const auto& child : tree->children)
        if (recursive_find_modeltree(child.get(), node))
            return 1;
    return 0;
}

model_node* is_a_temple(world& w, const model_node* node)
{
    for (int id : w.buildings.temple_ids) {
        model_node* temple = get_top_level_model(w.structures, id);
        if (temple && recursive_find_modeltree(temple, node))
            return temple;
    }
    return nullptr;
}

const model_node* is_a_temple(const world& w, const model_node* node)
{
    for (int id : w.buildings.temple_ids) {
        const model_node* temple = get_top_level_model(w.structures, id);
        if (temple && recursive_find_modeltree(temple, node))
            return temple;
    }
    return nullptr;
}
