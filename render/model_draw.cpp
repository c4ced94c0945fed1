// Drawing the world's structures: each top-level model whose shape never
// changes is compiled into a display list when the world is built (all its
// faces of one material after one bind); a gate, which swings, is drawn face
// by face. Culling by bounding spheres against the view, and the basic
// shapes (quads, cones, spheres) the unit models use too.
#include "render/model_draw.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "platform/vector.h"
#include "render/camera.h"
#include "render/renderer.h"
#include "render/textures.h"
#include "sim/world.h"

// --- culling ------------------------------------------------------------

int sphere_behind_plane(renderer& r, float x, float y, float z, float radius, const float plane[3])
{
    float q[3] = {x + r.models.trans[0] + radius * plane[0] - r.view.eye[0],
                  y + r.models.trans[1] + radius * plane[1] - r.view.eye[1],
                  z + r.models.trans[2] + radius * plane[2] - r.view.eye[2]};
    return dot_product(plane, q) < 0.0f;
}

int cull_sphere(renderer& r, float x, float y, float z, float radius)
{
    const float* planes[] = {r.view.look, r.view.frustum_left, r.view.frustum_right, r.view.frustum_top,
                             r.view.frustum_bot};
    for (const float* n : planes)
        if (sphere_behind_plane(r, x, y, z, radius, n))
            return 1;
    return 0;
}

int bounding_sphere_behind_plane(renderer& r, const model_node& node, const float plane[3])
{
    return sphere_behind_plane(r, node.origin[0], node.origin[1], node.origin[2], node.radius, plane);
}

int cull_bounding_sphere(renderer& r, const model_node& node)
{
    return bounding_sphere_behind_plane(r, node, r.view.look) || bounding_sphere_behind_plane(r, node, r.view.frustum_left) ||
           bounding_sphere_behind_plane(r, node, r.view.frustum_right);
}

// --- drawing ------------------------------------------------------------

void draw_quad_face(renderer& r, const model_node& node, const quad_prim& q)
{
    (void)node;
    glColor3f(q.brightness, q.brightness, q.brightness);
    glBindTexture(GL_TEXTURE_2D, r.textures.texture_of(q.texture));
    glNormal3fv(q.n);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glArrayElement(static_cast<GLint>(q.vi[0]));
    glTexCoord2f(q.s_repeat, 0);
    glArrayElement(static_cast<GLint>(q.vi[1]));
    glTexCoord2f(q.s_repeat, q.t_repeat);
    glArrayElement(static_cast<GLint>(q.vi[2]));
    glTexCoord2f(0, q.t_repeat);
    glArrayElement(static_cast<GLint>(q.vi[3]));
    glEnd();
}

// A cone or dome where the nodes above it put it (`offset`), without a
// matrix change; `colour` (if any) goes with its points.
static void cone_shape(const cone_prim& c, const float offset[3], const float* colour)
{
    float at[3];
    add_vector(offset, c.base, at);
    upright_tex_cone(at[0], at[2], at[1], at[1] + c.height, c.base_radius, c.top_radius, 0, c.repeat, c.repeat, 10,
                     colour);
}

static void dome_shape(const dome_prim& d, const float offset[3], const float* colour)
{
    float at[3];
    add_vector(offset, d.centre, at);
    draw_partial_sphere_at(at, d.radius, 0.0f, 1.5707964f, 10, 10, colour);
}

static const float NO_OFFSET[3] = {0.0f, 0.0f, 0.0f};

void draw_prim_cone(renderer& r, const cone_prim& c)
{
    if (c.flags & PRIM_HIDDEN)
        return;
    glColor3f(1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, r.textures.texture_of(c.texture));
    cone_shape(c, NO_OFFSET, nullptr);
}

void draw_prim_sphere_top(renderer& r, const dome_prim& d)
{
    if (d.flags & PRIM_HIDDEN)
        return;
    glColor3f(1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, r.textures.texture_of(d.texture));
    dome_shape(d, NO_OFFSET, nullptr);
}

void draw_primitive(renderer& r, const model_node& node, const primitive& prim)
{
    switch (prim.type) {
    case PRIM_QUAD:
        draw_quad_face(r, node, prim.quad);
        break;
    case PRIM_CONE:
        draw_prim_cone(r, prim.cone);
        break;
    case PRIM_DOME:
        draw_prim_sphere_top(r, prim.dome);
        break;
    default:
        printf("unknown primitive type %d\n", prim.type);
        break;
    }
}

void draw_model_tree(renderer& r, const model_node& node, unsigned list)
{
    if (cull_bounding_sphere(r, node))
        return;
    if (list) {
        glCallList(list);
        return;
    }
    glPushMatrix();
    glTranslatef(node.origin[0], node.origin[1], node.origin[2]);
    add_vector(r.models.trans, node.origin, r.models.trans);
    if (!node.prims.empty()) {
        const bool arrays = !node.points.empty();
        if (arrays) {
            glVertexPointer(3, GL_FLOAT, 0, node.points.data());
            glEnableClientState(GL_VERTEX_ARRAY);
        }
        for (const primitive& prim : node.prims)
            draw_primitive(r, node, prim);
        if (arrays)
            glDisableClientState(GL_VERTEX_ARRAY);
    }
    for (const auto& child : node.children)
        draw_model_tree(r, *child, 0);
    subtract_vector(r.models.trans, node.origin, r.models.trans);
    glPopMatrix();
}

namespace {

// A model's display list draws everything of one texture after one bind:
// its quads in one glBegin/glEnd, then its cones and domes where they
// stand, white, with no matrix change between them, so that the list holds
// about one draw a texture (the city is some 950 quads and 40 cones and
// domes in a few textures). Each quad keeps its corners, normal,
// brightness and texture repeat.
void compile_model(renderer& r, const model_node& node)
{
    std::map<unsigned, std::vector<placed_quad>> quads;
    std::map<unsigned, std::vector<placed_rounded>> rounded;
    gather_model_prims(node, NO_OFFSET, quads, &rounded);
    std::set<unsigned> textures;
    for (const auto& group : quads)
        textures.insert(group.first);
    for (const auto& group : rounded)
        textures.insert(group.first);
    static const float white[3] = {1.0f, 1.0f, 1.0f};
    for (unsigned texture : textures) {
        glBindTexture(GL_TEXTURE_2D, r.textures.texture_of(texture));
        if (auto it = quads.find(texture); it != quads.end()) {
            glBegin(GL_QUADS);
            for (const placed_quad& pq : it->second) {
                const quad_prim& q = *pq.quad;
                glColor3f(q.brightness, q.brightness, q.brightness);
                glNormal3fv(q.n);
                const float st[4][2] = {{0, 0}, {q.s_repeat, 0}, {q.s_repeat, q.t_repeat}, {0, q.t_repeat}};
                for (int k = 0; k < 4; ++k) {
                    const float* p = pq.node->points[q.vi[k]].v;
                    glTexCoord2fv(st[k]);
                    glVertex3f(p[0] + pq.offset[0], p[1] + pq.offset[1], p[2] + pq.offset[2]);
                }
            }
            glEnd();
        }
        if (auto it = rounded.find(texture); it != rounded.end())
            for (const placed_rounded& pr : it->second) {
                if (pr.prim->type == PRIM_CONE)
                    cone_shape(pr.prim->cone, pr.offset, white);
                else
                    dome_shape(pr.prim->dome, pr.offset, white);
            }
    }
}

} // namespace


void release_model_lists(renderer& r)
{
    for (GLuint list : r.models.lists)
        if (list)
            glDeleteLists(list, 1);
    r.models.lists.clear();
}

int precompute_model_calllist(renderer& r, const model_node& node, unsigned& list)
{
    if (list)
        glDeleteLists(list, 1);  // compiled again: the old list goes
    list = glGenLists(1);
    if (list == 0) {
        printf("FAILED to get a call list id\n");
        return -1;
    }
    glNewList(list, GL_COMPILE);
    compile_model(r, node);
    glEndList();
    return 0;
}

void compile_model_lists(renderer& r, const world& w)
{
    release_model_lists(r);
    const int n = num_top_level_models(w.structures);
    r.models.lists.assign(static_cast<size_t>(n), 0);
    for (int id = 0; id < n; ++id) {
        const model_node* node = get_top_level_model(w.structures, id);
        if (node && node->fixed_shape) {
            unsigned list = 0;
            if (precompute_model_calllist(r, *node, list) == 0)
                r.models.lists[static_cast<size_t>(id)] = list;
        }
    }
}

void draw_models(renderer& r, const world& w)
{
    // The root's own node: its translation, then each top-level model by
    // its list when it has one.
    const model_node& root_tree = w.structures.root;
    if (cull_bounding_sphere(r, root_tree))
        return;
    glPushMatrix();
    glTranslatef(root_tree.origin[0], root_tree.origin[1], root_tree.origin[2]);
    add_vector(r.models.trans, root_tree.origin, r.models.trans);
    const int n = root_tree.child_count();
    for (int id = 0; id < n; ++id) {
        const GLuint list = static_cast<size_t>(id) < r.models.lists.size() ? r.models.lists[static_cast<size_t>(id)] : 0;
        draw_model_tree(r, *root_tree.children[static_cast<size_t>(id)], list);
    }
    subtract_vector(r.models.trans, root_tree.origin, r.models.trans);
    glPopMatrix();
}

// --- shapes -------------------------------------------------------------

void draw_quad(float w, float h)
{
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-w / 2, -h / 2, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(w / 2, -h / 2, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(w / 2, h / 2, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(-w / 2, h / 2, 0.0f);
    glEnd();
}

static constexpr float TWO_PI = 6.2831853f;

// Calls f(a, cos a, sin a) for a = 0, 2 pi / slices, ... up to 2 pi itself
// (with a little slack, so that rounding does not drop the closing step).
template <typename F>
static void around(int slices, F f)
{
    for (int k = 0;; ++k) {
        const float a = TWO_PI * static_cast<float>(k) / static_cast<float>(slices);
        if (a > TWO_PI + 0.0001f)
            break;
        f(a, std::cos(a), std::sin(a));
    }
}

void draw_tex_cone(float h, float r0, float r1, float t0, float t1, float s, int slices)
{
    glBegin(GL_TRIANGLE_STRIP);
    around(slices, [&](float a, float c, float sn) {
        glNormal3f(c, sn, 0);
        glTexCoord2f(s * a / TWO_PI, t1);
        glVertex3f(r1 * c, r1 * sn, h);
        glTexCoord2f(s * a / TWO_PI, t0);
        glVertex3f(r0 * c, r0 * sn, 0);
    });
    glEnd();
}

void draw_cone(float h, float r0, float r1, int slices)
{
    draw_tex_cone(h, r0, r1, 0, 1, 1, slices);
}

void draw_circle(float r, int slices)
{
    glBegin(GL_TRIANGLE_FAN);
    glNormal3f(0, 0, 1);
    glTexCoord2f(0.5f, 0.5f);
    glVertex3f(0, 0, 0);
    around(slices, [&](float, float c, float sn) {
        glNormal3f(0, 0, 1);
        glTexCoord2f(0.5f + 0.5f * c, 0.5f + 0.5f * sn);
        glVertex3f(r * c, r * sn, 0);
    });
    glEnd();
}

void upright_tex_cone(float x, float z, float y0, float y1, float r0, float r1, float t0, float t1, float s,
                      int slices, const float* colour)
{
    glBegin(GL_TRIANGLE_STRIP);
    if (colour)
        glColor3fv(colour);
    around(slices, [&](float a, float c, float sn) {
        glNormal3f(c, 0, -sn);
        glTexCoord2f(s * a / TWO_PI, t1);
        glVertex3f(x + r1 * c, y1, z - r1 * sn);
        glTexCoord2f(s * a / TWO_PI, t0);
        glVertex3f(x + r0 * c, y0, z - r0 * sn);
    });
    glEnd();
}

void draw_partial_sphere_at(const float centre[3], float r, float phi0, float phi1, int stacks, int slices,
                            const float* colour)
{
    const float step = 3.14159265f / static_cast<float>(stacks);
    const float span = phi1 - phi0;
    for (int k = 0;; ++k) {
        float phi = phi0 + step * static_cast<float>(k);
        // A little slack so rounding does not drop the last band.
        if (phi + step > phi1 + 0.0001f)
            break;
        upright_tex_cone(centre[0], centre[2], centre[1] + r * std::sin(phi), centre[1] + r * std::sin(phi + step), r * std::cos(phi),
                         r * std::cos(phi + step), 1.0f - (phi - phi0) / span, 1.0f - (phi + step - phi0) / span, 1.0f,
                         slices, colour);
    }
}

void draw_partial_sphere(float r, float phi0, float phi1, int stacks, int slices)
{
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    draw_partial_sphere_at(origin, r, phi0, phi1, stacks, slices);
}

void draw_sphere(float r, int stacks, int slices)
{
    draw_partial_sphere(r, -1.5707964f, 1.5707964f, stacks, slices);
}

void draw_box(float sx, float sy, float sz)
{
    // Each face: normal, then four corners counter-clockwise from outside.
    static const float faces[6][5][3] = {
        {{0, 0, 1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},
        {{0, 0, -1}, {1, -1, -1}, {-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}},
        {{1, 0, 0}, {1, -1, 1}, {1, -1, -1}, {1, 1, -1}, {1, 1, 1}},
        {{-1, 0, 0}, {-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}},
        {{0, 1, 0}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}, {-1, 1, -1}},
        {{0, -1, 0}, {-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}},
    };
    static const float tex[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    glBegin(GL_QUADS);
    for (const auto& f : faces) {
        glNormal3fv(f[0]);
        for (int k = 0; k < 4; ++k) {
            glTexCoord2fv(tex[k]);
            glVertex3f(f[k + 1][0] * sx, f[k + 1][1] * sy, f[k + 1][2] * sz);
        }
    }
    glEnd();
}

void scaled_normal(const float n[3], float length)
{
    const float l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    const float k = l > 0.0f ? length / l : 0.0f;
    glNormal3f(k * n[0], k * n[1], k * n[2]);
}
