#include "render/terrain_render.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <GL/glx.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <vector>

#include "platform/vector.h"
#include "render/camera.h"
#include "render/renderer.h"
#include "render/textures.h"
#include "sim/game.h"
#include "sim/participants.h"
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/world.h"

terrain_view::terrain_view()
{
    for (auto& row : map_lists)
        for (unsigned int& list : row)
            list = MAP_LIST_NONE;
}

void allocate_terrain_arrays(terrain_view& t)
{
    if (!t.vertex_array.empty())
        return;
    t.vertex_array.assign(3 * TERRAIN_VERTS, 0.0f);
    t.normal_array.assign(3 * TERRAIN_VERTS, 0.0f);
    t.tex2_array.assign(2 * TERRAIN_VERTS, 0.0f);
    t.tex1_array.assign(2 * TERRAIN_VERTS, 0.0f);
    t.fog_array.assign(TERRAIN_VERTS, 0.0f);
    t.index_array.assign(256 * TERRAIN_SIZE, 0);
    // Strip s joins row j = s to row j = s + 1; pair i is (128 i + s, 128 i + s + 1).
    for (int s = 0; s < TERRAIN_SIZE - 1; ++s)
        for (int i = 0; i < TERRAIN_SIZE; ++i) {
            t.index_array[256 * s + 2 * i] = static_cast<uint32_t>(128 * i + s);
            t.index_array[256 * s + 2 * i + 1] = static_cast<uint32_t>(128 * i + s + 1);
        }
}

void calculate_arrays(terrain_view& t, const terrain_state& ground)
{
    allocate_terrain_arrays(t);
    for (int i = 0; i < TERRAIN_SIZE; ++i)
        for (int j = 0; j < TERRAIN_SIZE; ++j) {
            int k = 128 * i + j;
            t.vertex_array[3 * k] = 4.0f * i;
            t.vertex_array[3 * k + 2] = 4.0f * j;
            t.tex2_array[2 * k] = j / 128.0f;
            t.tex2_array[2 * k + 1] = i / 128.0f;
            t.tex1_array[2 * k] = i * 0.125f;
            t.tex1_array[2 * k + 1] = -j * 0.125f;
        }
    calc_dynamic_arrays(t, ground, 0, 0, 127, 127);
}

static int clamp_index(int v)
{
    return v < 0 ? 0 : (v > 127 ? 127 : v);
}

void calc_dynamic_arrays(terrain_view& t, const terrain_state& ground, int i0, int j0, int i1, int j1)
{
    allocate_terrain_arrays(t);
    if (!ground.made)
        return;
    i0 = clamp_index(i0);
    j0 = clamp_index(j0);
    i1 = clamp_index(i1);
    j1 = clamp_index(j1);
    for (int i = i0; i <= i1; ++i)
        for (int j = j0; j <= j1; ++j) {
            int k = 128 * i + j;
            float h = ground.height_map[j][i];
            t.vertex_array[3 * k + 1] = h;
            float fog = 2500.0f - 50.0f * h;
            t.fog_array[k] = fog > 0.0f ? fog : 0.0f;
            for (int c = 0; c < 3; ++c)
                t.normal_array[3 * k + c] = ground.normals[c][j][i];
        }
}

void sync_terrain_render(renderer& r, const terrain_state& ground)
{
    terrain_view& t = r.terrain;
    if (!ground.made)
        return;
    if (t.generation_seen != ground.generation) {
        calculate_arrays(t, ground);
        reset_terrain_renderer(t);
        t.generation_seen = ground.generation;
        t.edits_seen = 0;
    }
    const std::vector<terrain_edit>& edits = ground.edits;
    for (; t.edits_seen < edits.size(); ++t.edits_seen) {
        const terrain_edit& e = edits[t.edits_seen];
        calc_dynamic_arrays(t, ground, e.i0, e.j0, e.i1, e.j1);
        invalidate_map_blocks(t, e.cx, e.cz, e.r);
    }
    if (t.colours_seen != ground.colours_made) {
        load_terrain_texture(r, ground);
        t.colours_seen = ground.colours_made;
    }
}

// Each block is drawn as SUB_BLOCKS x SUB_BLOCKS pieces, culled one by one,
// and each piece at one of TERRAIN_DETAIL_LEVELS levels of detail: a
// block's display lists are map_lists[a][b] + terrain_block_list(piece,
// level). A list holds only the piece's triangles; the textures and matrix
// they are drawn with are set by draw_map, once for each run of pieces that
// look alike, rather than set and undone inside every list.
namespace {

constexpr int SUB_BLOCKS = 2;
constexpr int SUB_CELLS = 32 / SUB_BLOCKS;
constexpr int PIECES = 4 * SUB_BLOCKS;
static_assert(PIECES == TERRAIN_PIECES);
// A piece is drawn at full detail where a cell spans this many pixels, and
// with the detail layer where it spans the second; the layer is only ever on
// full-detail pieces.
constexpr float FULL_DETAIL_CELL_PIXELS = 12.0f;
constexpr float DETAIL_LAYER_CELL_PIXELS = 32.0f;
static_assert(DETAIL_LAYER_CELL_PIXELS >= FULL_DETAIL_CELL_PIXELS);
constexpr int LISTS_PER_PIECE = TERRAIN_DETAIL_LEVELS;
constexpr int LISTS_PER_BLOCK = SUB_BLOCKS * SUB_BLOCKS * LISTS_PER_PIECE;


// With the eye above 10 low ground lies in a haze by its height: the exp2
// fog of a coordinate per point (fog_array), fixed per point. The frame's
// fog is one exp2 from depth for everything it reaches, so the haze comes
// from a third texture unit: the lists carry 0.25 + 0.5 (1 - the factor) as its
// coordinate into a texture of two texels, clear and hazy, whose linear
// filtering gives the factor back at every point and interpolates it
// between them, and the unit blends toward the fog colour by it. Across a
// triangle the exp2 of the interpolated coordinate and the interpolated
// exp2 differ by under one level of colour but on a few cells of the
// steepest cliffs (under three there). Under the water the clear texture
// is bound instead: the ground there is fogged by depth, as all else is.

int terrain_block_list(int sa, int sb, int level)
{
    return (sa * SUB_BLOCKS + sb) * LISTS_PER_PIECE + level;
}

} // namespace

// The extension entry points are looked up at run time: the GL library the
// game links against only exports the core functions.
namespace {

template <typename F>
F lookup(const char* name)
{
    return reinterpret_cast<F>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

void active_texture(GLenum unit)
{
    if (auto f = lookup<PFNGLACTIVETEXTUREARBPROC>("glActiveTextureARB"))
        f(unit);
}

void client_active_texture(GLenum unit)
{
    if (auto f = lookup<PFNGLCLIENTACTIVETEXTUREARBPROC>("glClientActiveTextureARB"))
        f(unit);
}

void draw_range_elements(GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type, const void* idx)
{
    if (auto f = lookup<PFNGLDRAWRANGEELEMENTSPROC>("glDrawRangeElements"))
        f(mode, start, end, count, type, idx);
    else
        glDrawElements(mode, count, type, idx);
}

} // namespace

// --- blocks -------------------------------------------------------------------

void delete_map_block(terrain_view& t, int a, int b)
{
    if (t.map_lists[a][b] != MAP_LIST_NONE)
        glDeleteLists(t.map_lists[a][b], LISTS_PER_BLOCK);
    t.map_lists[a][b] = MAP_LIST_NONE;
}

void reset_terrain_renderer(terrain_view& t)
{
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b)
            delete_map_block(t, a, b);
}

void reset_game_terrain_render(terrain_view& t)
{
    reset_terrain_renderer(t);
    for (unsigned int* tex : {&t.terrain_texid, &t.plain_texid, &t.minimap_texid, &t.haze_texid, &t.clear_texid}) {
        if (*tex)
            glDeleteTextures(1, tex);
        *tex = 0;
    }
    // A new world's ground starts its counts afresh: nothing of it is made yet.
    t.generation_seen = -1;
    t.edits_seen = 0;
    t.colours_seen = 0;
}

void invalidate_map_blocks(terrain_view& t, float cx, float cz, int r)
{
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b)
            if (32 * a <= cx + r && 32 * (a + 1) + 1 >= cx - r && 32 * b <= cz + r && 32 * (b + 1) + 1 >= cz - r)
                delete_map_block(t, a, b);
}

// A sphere about world point (x, z) on the ground holding grid points
// i0..i1 by j0..j1: centre x, y, z and radius.
static void ground_sphere(const terrain_state& ground, float* s, float x, float z, int i0, int j0, int i1, int j1)
{
    s[0] = x;
    s[2] = z;
    s[1] = get_terrain_height(ground, s[0], s[2]);
    float best = 0.0f;
    for (int i = i0; i <= i1; ++i)
        for (int j = j0; j <= j1; ++j) {
            float d[3] = {4.0f * i - 256.0f - s[0], ground.height_map[j][i] - s[1], 4.0f * j - 256.0f - s[2]};
            best = std::max(best, dot_product(d, d));
        }
    s[3] = std::sqrt(best);
}

void calculate_map_seg_sphere(terrain_view& t, const terrain_state& ground, int a, int b, int i0, int j0, int i1,
                              int j1)
{
    ground_sphere(ground, t.map_list_spheres[a][b], 128.0f * a - 192.0f, 128.0f * b - 192.0f, i0, j0, i1, j1);
}

void enable_terrain_arrays(terrain_view& t)
{
    terrain_fog_factors(t.fog_array.data(), TERRAIN_VERTS, HIGH_FOG_DENSITY, t.haze_coords);
    for (float& c : t.haze_coords)
        c = 0.25f + 0.5f * c;
    glVertexPointer(3, GL_FLOAT, 0, t.vertex_array.data());
    glEnableClientState(GL_VERTEX_ARRAY);
    glNormalPointer(GL_FLOAT, 0, t.normal_array.data());
    glEnableClientState(GL_NORMAL_ARRAY);
    client_active_texture(GL_TEXTURE1_ARB);
    glTexCoordPointer(2, GL_FLOAT, 0, t.tex1_array.data());
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    client_active_texture(GL_TEXTURE0_ARB);
    glTexCoordPointer(2, GL_FLOAT, 0, t.tex2_array.data());
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    client_active_texture(GL_TEXTURE2_ARB);
    glTexCoordPointer(1, GL_FLOAT, 0, t.haze_coords.data());
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    client_active_texture(GL_TEXTURE0_ARB);
}

void disable_terrain_arrays()
{
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    client_active_texture(GL_TEXTURE2_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    client_active_texture(GL_TEXTURE1_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    client_active_texture(GL_TEXTURE0_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void walk_map(const terrain_view& t, int j0, int i0, int j1, int i1)
{
    const int count = 2 * (i1 - i0 + 1);
    for (int s = j0; s <= j1 && s <= 126; ++s) {
        const GLuint first = static_cast<GLuint>(128 * i0 + s);
        const GLuint last = static_cast<GLuint>(128 * i1 + s + 1);
        draw_range_elements(GL_TRIANGLE_STRIP, first, last, count, GL_UNSIGNED_INT, &t.index_array[256 * s + 2 * i0]);
    }
}

// Triangles over grid points i0..i1 by j0..j1 using every step-th point
// inside, with the piece's outer rows at full detail.
void terrain_block_triangles(int i0, int j0, int i1, int j1, int step, std::vector<uint32_t>& out)
{
    auto samples = [step](int lo, int hi) {
        std::vector<int> v;
        for (int k = lo; k < hi; k += step)
            v.push_back(k);
        v.push_back(hi);
        return v;
    };
    auto vertex = [](int i, int j) { return static_cast<uint32_t>(TERRAIN_SIZE * i + j); };
    const std::vector<int> xs = samples(i0, i1), zs = samples(j0, j1);
    std::vector<uint32_t> rim;
    for (size_t p = 0; p + 1 < xs.size(); ++p)
        for (size_t q = 0; q + 1 < zs.size(); ++q) {
            const int xa = xs[p], xb = xs[p + 1], za = zs[q], zb = zs[q + 1];
            const bool west = xa == i0, east = xb == i1, south = za == j0, north = zb == j1;
            if (step == 1 || !(west || east || south || north)) {
                // The strips' split and winding: (xa, za), (xa, zb), (xb, za)
                // and (xb, za), (xa, zb), (xb, zb).
                out.insert(out.end(), {vertex(xa, za), vertex(xa, zb), vertex(xb, za), vertex(xb, za),
                                       vertex(xa, zb), vertex(xb, zb)});
                continue;
            }
            // A cell on the piece's rim: its outline in the strips' winding
            // order (west edge up, north edge east, east edge down, south
            // edge west), every grid point along an outer edge, fanned from
            // a corner on no outer edge so that no triangle is flat.
            rim.clear();
            for (int j = za; j < zb; j += west ? 1 : zb - za)
                rim.push_back(vertex(xa, j));
            for (int i = xa; i < xb; i += north ? 1 : xb - xa)
                rim.push_back(vertex(i, zb));
            for (int j = zb; j > za; j -= east ? 1 : zb - za)
                rim.push_back(vertex(xb, j));
            for (int i = xb; i > xa; i -= south ? 1 : xb - xa)
                rim.push_back(vertex(i, za));
            uint32_t centre = !(south || west) ? vertex(xa, za)
                              : !(west || north) ? vertex(xa, zb)
                              : !(north || east) ? vertex(xb, zb)
                                                 : vertex(xb, za);
            const size_t c = static_cast<size_t>(std::find(rim.begin(), rim.end(), centre) - rim.begin());
            const size_t n = rim.size();
            for (size_t m = 1; m + 1 < n; ++m)
                out.insert(out.end(), {centre, rim[(c + m) % n], rim[(c + m + 1) % n]});
        }
}

void terrain_fog_factors(const float* coords, int n, float density, std::vector<float>& out)
{
    out.resize(static_cast<size_t>(std::max(n, 0)));
    for (int k = 0; k < n; ++k) {
        const float dc = density * coords[k];
        out[static_cast<size_t>(k)] = 1.0f - std::exp(-dc * dc);
    }
}

// The detail layer repeats every 8 cells, so a cell holds 32 of its 256
// texels a side. Where a cell spans fewer than 32 pixels the layer is
// minified into a grain of a few levels either way, which a player cannot
// tell from its mean colour; there the ground is drawn plain, with one
// texture read a pixel instead of two.
bool terrain_detail_layer_shown(float cell_pixels)
{
    return cell_pixels >= DETAIL_LAYER_CELL_PIXELS;
}

// A cell narrower than 12 pixels is drawn from every 2nd point, one
// narrower than 6 from every 4th: the coarse triangles still span a dozen
// pixels or more, and the far ground keeps its outline to a pixel or two.
int terrain_detail_level(float cell_pixels)
{
    if (cell_pixels >= FULL_DETAIL_CELL_PIXELS)
        return 0;
    return cell_pixels >= 6.0f ? 1 : 2;
}

namespace {

// The haze's unit: the colour so far toward the fog colour by the texture's
// alpha (1 clear, 0 hazy); the alpha so far kept.
void begin_haze(const renderer& r, bool hazy)
{
    active_texture(GL_TEXTURE2_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, hazy ? r.terrain.haze_texid : r.terrain.clear_texid);
    static const GLenum env[][2] = {
        {GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB},     {GL_COMBINE_RGB_ARB, GL_INTERPOLATE_ARB},
        {GL_SOURCE0_RGB_ARB, GL_PREVIOUS_ARB},     {GL_OPERAND0_RGB_ARB, GL_SRC_COLOR},
        {GL_SOURCE1_RGB_ARB, GL_CONSTANT_ARB},     {GL_OPERAND1_RGB_ARB, GL_SRC_COLOR},
        {GL_SOURCE2_RGB_ARB, GL_TEXTURE},          {GL_OPERAND2_RGB_ARB, GL_SRC_ALPHA},
        {GL_COMBINE_ALPHA_ARB, GL_REPLACE},        {GL_SOURCE0_ALPHA_ARB, GL_PREVIOUS_ARB},
        {GL_OPERAND0_ALPHA_ARB, GL_SRC_ALPHA}};
    for (const auto& e : env)
        glTexEnvi(GL_TEXTURE_ENV, e[0], static_cast<GLint>(e[1]));
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, r.view.fog_colour);
    active_texture(GL_TEXTURE0_ARB);
}

void end_haze()
{
    active_texture(GL_TEXTURE2_ARB);
    glDisable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    active_texture(GL_TEXTURE0_ARB);
}

// A texture of two texels side by side with these alphas: linear, clamped.
void make_haze_texture(unsigned int& tex, unsigned char first, unsigned char second)
{
    const unsigned char texels[8] = {255, 255, 255, first, 255, 255, 255, second};
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
}

void begin_block_state(const renderer& r, bool detail)
{
    glDisable(GL_BLEND);
    glPushMatrix();
    glTranslatef(-256.0f, 0.0f, -256.0f);
    glNormal3f(0.0f, 1.0f, 0.0f);
    active_texture(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, detail ? r.terrain.terrain_texid : r.terrain.plain_texid);
    active_texture(GL_TEXTURE1_ARB);
    if (detail) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, r.textures[TEX_terrain_detail]);
    }
    glColor3f(1.0f, 1.0f, 1.0f);
}

void end_block_state()
{
    // White, as set_scene_color leaves it; that also counts the hurt flash
    // down, which is once a frame, not once a run of pieces.
    glColor3f(1.0f, 1.0f, 1.0f);
    glDisable(GL_TEXTURE_2D);
    active_texture(GL_TEXTURE0_ARB);
    glPopMatrix();
    glEnable(GL_BLEND);
}

// Bounding sphere (about the piece's middle) and box of grid points i0..i1 by j0..j1.
void calculate_piece_bounds(const terrain_state& ground, piece_bounds& p, int i0, int j0, int i1, int j1)
{
    ground_sphere(ground, p.sphere, 2.0f * (i0 + i1) - 256.0f, 2.0f * (j0 + j1) - 256.0f, i0, j0, i1, j1);
    p.lo[0] = 4.0f * i0 - 256.0f;
    p.hi[0] = 4.0f * i1 - 256.0f;
    p.lo[2] = 4.0f * j0 - 256.0f;
    p.hi[2] = 4.0f * j1 - 256.0f;
    p.lo[1] = p.hi[1] = ground.height_map[j0][i0];
    for (int i = i0; i <= i1; ++i)
        for (int j = j0; j <= j1; ++j) {
            p.lo[1] = std::min(p.lo[1], ground.height_map[j][i]);
            p.hi[1] = std::max(p.hi[1], ground.height_map[j][i]);
        }
}

} // namespace

// The piece's triangles at one level: strip s joins rows s and s + 1, so a
// full-detail piece leaves its last row to the next piece's first strip.
static void compile_piece(const terrain_view& t, int i0, int j0, int i1, int j1, int level,
                          std::vector<uint32_t>& triangles)
{
    if (level == 0) {
        walk_map(t, j0, i0, j1 - 1, i1);
        return;
    }
    triangles.clear();
    terrain_block_triangles(i0, j0, i1, j1, 1 << level, triangles);
    draw_range_elements(GL_TRIANGLES, TERRAIN_SIZE * i0 + j0, TERRAIN_SIZE * i1 + j1,
                        static_cast<GLsizei>(triangles.size()), GL_UNSIGNED_INT, triangles.data());
}

void generate_map_call_list(terrain_view& t, const terrain_state& ground)
{
    bool enabled = false;
    std::vector<uint32_t> triangles;
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b) {
            if (t.map_lists[a][b] != MAP_LIST_NONE)
                continue;
            if (!enabled) {
                enable_terrain_arrays(t);
                enabled = true;
            }
            calculate_map_seg_sphere(t, ground, a, b, 32 * a, 32 * b, std::min(32 * (a + 1), 127),
                                     std::min(32 * (b + 1), 127));
            t.map_lists[a][b] = glGenLists(LISTS_PER_BLOCK);
            for (int sa = 0; sa < SUB_BLOCKS; ++sa)
                for (int sb = 0; sb < SUB_BLOCKS; ++sb) {
                    const int pa = a * SUB_BLOCKS + sa, pb = b * SUB_BLOCKS + sb;
                    const int i0 = SUB_CELLS * pa, i1 = std::min(SUB_CELLS * (pa + 1), 127);
                    const int j0 = SUB_CELLS * pb, j1 = std::min(SUB_CELLS * (pb + 1), 127);
                    calculate_piece_bounds(ground, t.pieces[pa][pb], i0, j0, i1, j1);
                    for (int level = 0; level < TERRAIN_DETAIL_LEVELS; ++level) {
                        glNewList(t.map_lists[a][b] + terrain_block_list(sa, sb, level), GL_COMPILE);
                        compile_piece(t, i0, j0, i1, j1, level, triangles);
                        glEndList();
                    }
                }
            ++t.compiles;
        }
    if (enabled)
        disable_terrain_arrays();
}

int frustum_cull_terrain(const renderer& r, int a, int b)
{
    const float* s = r.terrain.map_list_spheres[a][b];
    return sphere_in_view(r.view, s, s[3]) ? 0 : 1;
}

void draw_map(renderer& r, const world& w)
{
    sync_terrain_render(r, w.terrain);
    glLineWidth(1.0f);
    // The pieces' lists carry their own copies of the arrays, which are
    // enabled only while compiling.
    generate_map_call_list(r.terrain, w.terrain);
    // Above the water the ground's only fog is its haze: depth fog, which
    // reaches the far hills' trees and walls, leaves the ground itself
    // clear to the horizon, as the sky box is.
    const bool above_water = r.view.eye[1] >= 10.0f;
    begin_haze(r, above_water && r.view.fog);
    if (above_water)
        glDisable(GL_FOG);
    // Nearest pieces first, so that the depth test drops the hidden
    // parts of farther pieces before they are shaded. A piece is drawn
    // coarser the fewer pixels a grid cell covers at its nearest point.
    struct visible {
        float d2;
        int list;
        bool detail;
    };
    visible order[PIECES * PIECES];
    int n = 0;
    const float* eye = r.view.eye;
    const float cells_across = 2.0f * r.view.zoom * static_cast<float>(r.view.width);
    for (int pa = 0; pa < PIECES; ++pa)
        for (int pb = 0; pb < PIECES; ++pb) {
            const piece_bounds& p = r.terrain.pieces[pa][pb];
            if (!sphere_in_view(r.view, p.sphere, p.sphere[3]))
                continue;
            float d[3];
            for (int c = 0; c < 3; ++c)
                d[c] = std::max({p.lo[c] - eye[c], 0.0f, eye[c] - p.hi[c]});
            const float d2 = dot_product(d, d);
            const float cell_pixels = cells_across / std::sqrt(std::max(d2, 1e-6f));
            const int level = terrain_detail_level(cell_pixels);
            const int a = pa / SUB_BLOCKS, b = pb / SUB_BLOCKS;
            order[n++] = {d2,
                          static_cast<int>(r.terrain.map_lists[a][b]) +
                              terrain_block_list(pa % SUB_BLOCKS, pb % SUB_BLOCKS, level),
                          terrain_detail_layer_shown(cell_pixels)};
        }
    std::sort(order, order + n, [](const visible& p, const visible& q) { return p.d2 < q.d2; });
    // The detail layer's state is switched only where the look changes
    // along the nearest-first order: the layer is on the nearest pieces,
    // so that is about once a frame.
    for (int k = 0; k < n; ++k) {
        if (k == 0 || order[k].detail != order[k - 1].detail) {
            if (k > 0)
                end_block_state();
            begin_block_state(r, order[k].detail);
        }
        glCallList(static_cast<GLuint>(order[k].list));
        r.terrain.count += 1.0f / (SUB_BLOCKS * SUB_BLOCKS);
    }
    if (n > 0)
        end_block_state();
    end_haze();
    if (above_water && r.view.fog)
        glEnable(GL_FOG);
}

// --- textures -----------------------------------------------------------------

std::vector<unsigned char> terrain_plain_texels(const std::vector<unsigned char>& rgb, const float mean[3])
{
    std::vector<unsigned char> out(rgb.size());
    for (size_t k = 0; k < rgb.size(); ++k)
        out[k] = static_cast<unsigned char>(std::lround(rgb[k] * std::clamp(mean[k % 3], 0.0f, 1.0f)));
    return out;
}

void load_terrain_texture(renderer& r, const terrain_state& ground)
{
    terrain_view& t = r.terrain;
    if (ground.colour_texels.size() != 512 * 512 * 3 || ground.minimap_texels.size() != 64 * 64 * 4)
        return;
    const std::vector<unsigned char>& rgb = ground.colour_texels;
    const std::vector<unsigned char>& rgba = ground.minimap_texels;
    for (unsigned int* tex : {&t.terrain_texid, &t.plain_texid, &t.minimap_texid, &t.haze_texid, &t.clear_texid}) {
        if (*tex)
            glDeleteTextures(1, tex);
        *tex = 0;
    }
    glGenTextures(1, &t.terrain_texid);
    printf("terrain_texid = %d\n", static_cast<int>(t.terrain_texid));
    glBindTexture(GL_TEXTURE_2D, t.terrain_texid);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA8, 512, 512, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    read_one_mipmap_level();
    const std::vector<unsigned char> plain = terrain_plain_texels(rgb, r.textures.detail_mean);
    glGenTextures(1, &t.plain_texid);
    glBindTexture(GL_TEXTURE_2D, t.plain_texid);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA8, 512, 512, GL_RGB, GL_UNSIGNED_BYTE, plain.data());
    read_one_mipmap_level();
    glGenTextures(1, &t.minimap_texid);
    printf("minimap_texid = %d\n", static_cast<int>(t.minimap_texid));
    glBindTexture(GL_TEXTURE_2D, t.minimap_texid);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA8, 64, 64, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    make_haze_texture(t.haze_texid, 255, 0);
    make_haze_texture(t.clear_texid, 255, 255);
}

// --- minimap ------------------------------------------------------------------

void draw_minimap(const renderer& r, const world& w)
{
    glPushMatrix();
    glLoadIdentity();
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glTranslatef(1.5f, 1.0f, -2.001f);
    glRotatef(r.view.yaw - 90.0f, 0.0f, 0.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, r.terrain.minimap_texid);
    glColor4f(0.7f, 0.5f, 0.5f, 0.7f);
    glDisable(GL_TEXTURE_2D);
    glPointSize(3.0f);
    // One dot per unit, green for the player's own side and red for the
    // other; an invisible unit shows no more here than in the view.
    constexpr float K = 0.0015625f * 0.7072135785007072f;
    const int own = local_team(w);
    glBegin(GL_POINTS);
    for (const unit* u = w.units.list; u; u = u->next) {
        if (u->invisible)
            continue;
        if (u->team == own)
            glColor3f(0.0f, 1.0f, 0.0f);
        else
            glColor3f(1.0f, 0.0f, 0.0f);
        glVertex2f(u->z * K, u->x * K);
    }
    glEnd();
    glColor4f(0.7f, 0.5f, 0.5f, 0.5f);
    glEnable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(0.4f, 0.4f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-0.4f, 0.4f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(-0.4f, -0.4f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(0.4f, -0.4f);
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_BLEND);
    enable_lighting(r.view);
    glPopMatrix();
}

// --- picking ------------------------------------------------------------------

int screen_to_terrain_coords(const view_state& v, const terrain_state& ground, int px, int py, float* out_x,
                             float* out_z)
{
    float ray[3];  // from the eye through the pixel, one unit long
    float p[3] = {v.eye[0], v.eye[1], v.eye[2]};
    const float* look_vect = v.look;
    const int W = v.width, H = v.height;
    const float sx = (px - W / 2) * (2.0f / v.zoom) / W;
    const float sy = -(H / 2 - py) * (1.5f / v.zoom) / H;
    const double yaw = v.yaw * DEG_TO_RAD;
    float right[3] = {static_cast<float>(cos(yaw)), 0.0f, static_cast<float>(sin(yaw))};
    float down[3];
    cross_product(look_vect, right, down);
    normalize_vector(down);
    cross_product(down, look_vect, right);
    normalize_vector(right);
    for (int c = 0; c < 3; ++c)
        ray[c] = sy * down[c] + sx * right[c] + look_vect[c];
    normalize_vector(ray);

    // A ray that goes nowhere (no direction) cannot find the ground; the
    // step cap bounds the march should the direction be degenerate.
    const bool usable = std::isfinite(ray[0]) && std::isfinite(ray[1]) && std::isfinite(ray[2]) &&
                        dot_product(ray, ray) > 0.5f;
    for (int steps = 0;; ++steps) {
        if (p[0] < -256 || p[0] > 256 || p[2] < -256 || p[2] > 256 || p[1] < get_terrain_height(ground, p[0], p[2]))
            break;
        if (!usable || steps > 4000 || p[1] < -200 || p[1] > 200) {
            *out_x = *out_z = 0.0f;
            return -1;
        }
        if (p[1] < 0)
            break;
        add_vector(p, ray, p);
    }
    if (p[0] < -256 || p[0] > 256 || p[2] < -256 || p[2] > 256) {
        const float t = (-OCEAN_HEIGHT - p[1]) / ray[1];
        const float x = p[0] + t * ray[0], z = p[2] + t * ray[2];
        if (!std::isfinite(x) || !std::isfinite(z)) {
            *out_x = *out_z = 0.0f;
            return -1;
        }
        *out_x = x;
        *out_z = z;
    } else {
        *out_x = p[0];
        *out_z = p[2];
    }
    return 0;
}
