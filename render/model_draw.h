// Drawing the world's structures from the model tree, culling by bounding
// spheres, and the basic shapes the unit models use too.
#pragma once

#include <map>
#include <vector>

#include "sim/model_tree.h"

struct renderer;
struct world;

// The structures' drawing: the display lists of the top-level models whose
// shape never changes, by model id (0: none), and the translation of the
// node being drawn (the sum of its ancestors').
struct model_lists {
    std::vector<unsigned> lists;
    float trans[3] = {0, 0, 0};
};

// Compiles a display list for every top-level model of fixed shape (when a
// world has been built); release_model_lists frees them (a new game).
void compile_model_lists(renderer& r, const world& w);
void release_model_lists(renderer& r);
// Compiles one model into `list` (deleting what `list` held before).
int precompute_model_calllist(renderer& r, const model_node& node, unsigned& list);

// --- drawing and culling ----------------------------------------------------
void draw_models(renderer& r, const world& w);
// Draws a tree's nodes in view: a compiled node by its display list, one
// that changes shape (a gate) primitive by primitive.
void draw_model_tree(renderer& r, const model_node& node, unsigned list);
void draw_primitive(renderer& r, const model_node& node, const primitive& prim);
void draw_quad_face(renderer& r, const model_node& node, const quad_prim& q);
void draw_prim_cone(renderer& r, const cone_prim& c);
void draw_prim_sphere_top(renderer& r, const dome_prim& d);
int cull_sphere(renderer& r, float x, float y, float z, float radius);
int sphere_behind_plane(renderer& r, float x, float y, float z, float radius, const float plane[3]);
int cull_bounding_sphere(renderer& r, const model_node& node);
int bounding_sphere_behind_plane(renderer& r, const model_node& node, const float plane[3]);

// --- shapes (immediate mode, shared with the unit models) -------------------
// A textured w x h quad centred on the origin in the z = 0 plane, normal +z,
// texture coordinates (0,0), (0,1), (1,1), (1,0) from the corner (-w/2, -h/2)
// round to (-w/2, h/2): the command panel, its buttons and the crosshairs.
void draw_quad(float w, float h);
void draw_tex_cone(float h, float r0, float r1, float t0, float t1, float s, int slices);
void draw_cone(float h, float r0, float r1, int slices);
void draw_circle(float r, int slices);
// The side of a cone standing upright on the vertical line through (x, z):
// its rim of radius r0 at height y0 and of r1 at y1, normals horizontal,
// texture s across the angle and t from t0 to t1, in `colour` if one is
// given (else the current one). It is drawn where it stands, without a
// matrix change, so that several in a row make one draw.
void upright_tex_cone(float x, float z, float y0, float y1, float r0, float r1, float t0, float t1, float s,
                      int slices, const float* colour = nullptr);
// Bands of a sphere about `centre` from latitude phi0 to phi1 (radians),
// each a cone between its two rims, as one batch.
void draw_partial_sphere_at(const float centre[3], float r, float phi0, float phi1, int stacks, int slices,
                            const float* colour = nullptr);
void draw_partial_sphere(float r, float phi0, float phi1, int stacks, int slices);
void draw_sphere(float r, int stacks, int slices);
// A closed box from -1 to 1 on each axis scaled by (sx, sy, sz), drawn with
// the current texture.
void draw_box(float sx, float sy, float sz);
// The normal along n, `length` long (none for a zero n): a model drawn
// scaled by s, in the eye's view, is lit as the driver's normalizing would
// light it with normals VIEW_SCALE * s long, without switching that on.
void scaled_normal(const float n[3], float length);
