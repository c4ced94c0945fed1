// Model trees: every static structure of the world (walls, towers, gates,
// buildings, bridges, tree trunks) is a node in one tree under the world's
// structure root.
// A node has a translation that is also the centre of its bounding sphere, up
// to eight shared points, a list of primitives (quads, cones, domes) and
// child nodes. The tree is collided with (a moving sphere is pushed out of
// primitives) and searched (the touched model of a unit); the renderer draws
// it. A primitive's `texture` is a material id (sim/materials.h).
#pragma once

#include <map>
#include <memory>
#include <vector>

// Primitive kinds.
enum : int {
    PRIM_QUAD = 1,
    PRIM_CONE = 2,
    PRIM_DOME = 3,
};

// Primitive flag bit 0: not drawn, still collides.
constexpr int PRIM_HIDDEN = 1;

struct vec3f {
    float v[3];
};

struct quad_prim {
    float p0[3];    // first corner, node coordinates
    float n[3];     // unit normal, (p1 - p0) x (p3 - p0) normalised
    float e1[3];    // p1 - p0
    float e3[3];    // p3 - p0
    float e2[3];    // p2 - p0
    unsigned vi[4]; // corner indices into the node's points
    int flags;
    unsigned texture;
    float s_repeat, t_repeat;
    float brightness;
};

struct cone_prim {
    float base[3];
    float base_radius, top_radius, height;
    unsigned texture;
    float repeat;
    int flags;
};

struct dome_prim {
    float centre[3];
    float radius;
    unsigned texture;
    float repeat;
    int flags;
};

struct primitive {
    int type = 0;
    union {
        quad_prim quad;
        cone_prim cone;
        dome_prim dome;
    };
    primitive() : quad{} {}
};

struct model_node {
    float origin[3] = {0, 0, 0};  // translation relative to the parent and bounding-sphere centre
    float radius = 0;
    bool fixed_shape = false;     // never changes shape (may be drawn from one compiled list)
    std::vector<vec3f> points;
    std::vector<primitive> prims;
    // Children live on the heap so that a node's address never changes when
    // its parent grows: units keep pointers to touched models across frames.
    std::vector<std::unique_ptr<model_node>> children;
    float health = -1;            // -1: nothing damages it

    int point_count() const { return static_cast<int>(points.size()); }
    int prim_count() const { return static_cast<int>(prims.size()); }
    int child_count() const { return static_cast<int>(children.size()); }
};

struct world;

// The structures of one battle: the root whose children are the top-level
// models (a wall's stretch, a tower, a building, a trunk), and the ground
// they are stood on.
struct structure_tree {
    structure_tree();
    model_node root;
    // Ground height under a world position, used to stand walls, buildings
    // and trees on the island: the terrain's in the game; tests may point it
    // at a ground of their own.
    float (*ground)(const world& w, float x, float z);
};
// The terrain's height: the structures' ground in a game.
float terrain_ground(const world& w, float x, float z);
// The structures' ground at (x, z).
float structure_ground(const world& w, float x, float z);

// --- building ---------------------------------------------------------------
void empty_model_tree(model_node& node, float x, float y, float z, float radius);
void set_tree_points(model_node& node, const float (*points)[3], int count);
int add_quad_prim(model_node& node, unsigned i0, unsigned i1, unsigned i2, unsigned i3, unsigned texture,
                  float s_repeat, float t_repeat);
void create_cone_prim(primitive& out, float x, float y, float z, float base_radius, float top_radius, float height,
                      unsigned texture, float repeat);
void create_sphere_prim(primitive& out, float x, float y, float z, float radius, unsigned texture, float repeat);
void add_primitive_to_tree(model_node& node, const primitive& prim);
// Appends the child (moved in) and returns its index.
int add_child_to_tree(model_node& node, model_node&& child);
int register_top_level_model(structure_tree& t, model_node&& node);
// The top-level model with this id, or nullptr for an unknown id.
model_node* get_top_level_model(structure_tree& t, int id);
const model_node* get_top_level_model(const structure_tree& t, int id);
int num_top_level_models(const structure_tree& t);
model_node create_box_tree(float x, float y, float z, float w, float h, float d, unsigned texture, float scale);
void setup_cubic_faces(model_node& node, unsigned i0, unsigned i1, unsigned i2, unsigned i3, unsigned i4, unsigned i5,
                       unsigned i6, unsigned i7, unsigned texture, float a, float b, float c);

// --- the tree's faces by material ---------------------------------------------
// A quad of a model tree with the sum of the translations down to its node
// (the root's own origin included).
struct placed_quad {
    const model_node* node;
    const quad_prim* quad;
    float offset[3];
};
// The tree's quads grouped by texture, in tree order within a group: what a
// model's display list draws, one group to a bind.
std::map<unsigned, std::vector<placed_quad>> quads_by_texture(const model_node& root);
// A cone or dome of a tree with the sum of the translations down to its node.
struct placed_rounded {
    const primitive* prim;
    float offset[3];
};
// The tree's quads, and its shown cones and domes if `rounded` is given, by
// material with the translations down to their nodes (above[] and the
// node's own origin), in tree order.
void gather_model_prims(const model_node& node, const float above[3], std::map<unsigned, std::vector<placed_quad>>& quads,
                        std::map<unsigned, std::vector<placed_rounded>>* rounded);

// --- collision --------------------------------------------------------------
// Tests a sphere of radius r at p against the whole tree, moving p out of
// anything it entered. Returns the clearance (0 when touching or inside);
// the first node it was pushed out of goes to `hit_out` (none when it
// touched nothing).
float do_collision_check(structure_tree& t, float p[3], const float step[3], float radius, model_node** hit_out);
float collision_check(model_node& node, float p[3], const float step[3], float radius, model_node*& hit);
float collision_check_prim(const primitive& prim, float p[3], const float step[3], float radius);
float quad_collision(const quad_prim& q, float p[3], const float step[3], float radius);
float cone_collision(const cone_prim& c, float p[3], const float step[3], float radius);
float spheretop_collision(const dome_prim& d, float p[3], const float step[3], float radius);

// --- 3 x 3 matrices, by rows ------------------------------------------------
void identity_matrix(float m[9]);
void copy_matrix(const float from[9], float to[9]);
// Gauss-Jordan by column operations. Returns 0, or -1 (after a message) for
// a singular matrix, leaving `out` unusable.
int invert_matrix(const float m[9], float out[9]);
// The same without the message, for callers that report a singular matrix
// their own way.
int invert_matrix_quiet(const float m[9], float out[9]);
// out = v . m
void transform_vector(const float v[3], const float m[9], float out[3]);
void add_matrix_col_to_col(float m[9], float factor, int from, int to);
void scale_matrix_col(float m[9], float factor, int col);

