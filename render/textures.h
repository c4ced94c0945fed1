// Texture files ("textures/<name>.tex") and the game's texture table.
//
// File layout: width, height and bytes per pixel as 32-bit little-endian
// signed integers, then the pixel rows, bottom row first, no padding.
#pragma once

#include <string>
#include <vector>

#include "sim/materials.h"

// The loaded textures: a GL texture for every material id (0 before
// loading), and the mean colour of the terrain's detail layer.
struct texture_table {
    unsigned int id[TEXTURE_COUNT] = {};
    float detail_mean[3] = {1.0f, 1.0f, 1.0f};
    // The loaded texture of a material id (0 for none or before loading).
    unsigned int operator[](unsigned material) const { return texture_of(material); }
    unsigned int texture_of(unsigned material) const { return material < TEXTURE_COUNT ? id[material] : 0; }
};

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
void load_the_textures(texture_table& table);

// Mean colour of a texture's texels, 0..1 a channel (red, green, blue).
void texture_mean_colour(const texture_record& rec, float mean[3]);
// The terrain detail layer's mean colour: what the layer multiplies the
// ground by once it is minified into a fine grain (white until loaded).

// Ground and water cover most of the screen, and the software rasteriser
// pays for every texel it reads: the texture bound to GL_TEXTURE_2D reads
// one mipmap level a pixel (GL_LINEAR_MIPMAP_NEAREST) instead of blending
// two.
void read_one_mipmap_level();
