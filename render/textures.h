// Texture files ("textures/<name>.tex") and the game's texture table.
//
// File layout: width, height and bytes per pixel as 32-bit little-endian
// signed integers, then the pixel rows, bottom row first, no padding.
#pragma once

#include <string>
#include <vector>

// Every texture the game loads, in load order; the last one goes on the
// second texture unit. Each gets a global `<name>_texid`.
#define KELVARIN_TEXTURE_TABLE(X)                                                                           \
    X(alphabet) X(wheel) X(wood) X(flame) X(column) X(stone_floor) X(marble) X(kelvarin_gate) X(house)       \
    X(cloud1) X(cloud2) X(stucco) X(wood_ceiling) X(lightning) X(crosshairs) X(water) X(fabric)              \
    X(tree_chestnut) X(tree_random) X(lower_gate) X(raise_gate) X(select_catas) X(stop_button)               \
    X(move_button) X(attack_button) X(pray_button) X(firestorm) X(invisibility) X(sky_menu) X(sky_button)    \
    X(sky_front) X(sky_back) X(sky_top) X(sky_left) X(sky_right) X(oak) X(dragon_skin_red)                    \
    X(dragon_skin_green) X(dragon_summon_button) X(dragon_dismount_button) X(catapult_summon_button)        \
    X(ram_button) X(footman_button) X(ghoul_button) X(goblin_button) X(terrain_detail)

#define KELVARIN_DECLARE_TEXID(name) extern unsigned int name##_texid;
KELVARIN_TEXTURE_TABLE(KELVARIN_DECLARE_TEXID)
#undef KELVARIN_DECLARE_TEXID

// Largest texture accepted from a file, per side and in total bytes.
constexpr int TEXTURE_MAX_SIDE = 8192;
constexpr long long TEXTURE_MAX_BYTES = 64LL * 1024 * 1024;

struct texture_record {
    int width = 0;
    int height = 0;
    int bytes_per_pixel = 0;
    std::vector<unsigned char> pixels;
};

// Reads the file at `path`; on failure prints why on stderr and returns false.
bool read_texture_path(const char* path, texture_record& rec);
// Reads "textures/<name>.tex"; a file that cannot be read ends the program
// with status -1.
void read_texture_file(const char* name, texture_record& rec);
unsigned int load_file_texture(const texture_record& rec);
unsigned int load_texture(const char* name);
void load_the_textures();

// Mean colour of a texture's texels, 0..1 a channel (red, green, blue).
void texture_mean_colour(const texture_record& rec, float mean[3]);
// The terrain detail layer's mean colour: what the layer multiplies the
// ground by once it is minified into a fine grain (white until loaded).
extern float terrain_detail_mean[3];

// Ground and water cover most of the screen, and the software rasteriser
// pays for every texel it reads: the texture bound to GL_TEXTURE_2D reads
// one mipmap level a pixel (GL_LINEAR_MIPMAP_NEAREST) instead of blending
// two.
void read_one_mipmap_level();
