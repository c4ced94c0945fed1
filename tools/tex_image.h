// Images for the texture generator: an RGB or RGBA picture held in memory
// with row 0 at the top of the picture, and the writer for the game's .tex
// files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mathutil.h"

typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo cairo_t;

struct Color {
    float r = 0, g = 0, b = 0, a = 1;
};

inline Color rgb(float r, float g, float b) { return Color{r, g, b, 1.0f}; }
inline Color rgba(float r, float g, float b, float a) { return Color{r, g, b, a}; }
Color mix(const Color& p, const Color& q, float t);
Color scale_rgb(const Color& c, float f);


// Picture in memory. Row 0 is the top of the picture.
struct Image {
    int width = 0;
    int height = 0;
    int channels = 3;  // 3 = RGB, 4 = RGBA
    std::vector<uint8_t> pixels;
};

Image make_image(int width, int height, int channels);
void put_pixel(Image& img, int x, int y, const Color& c);
Color get_pixel(const Image& img, int x, int y);

// Which end of the picture lies at texture coordinate t = 0, i.e. becomes the
// first row of the file.
enum class RowOrder {
    top_first,    // picture top at t = 0 (for surfaces drawn with t = 0 at their top)
    bottom_first, // picture bottom at t = 0 (OpenGL's usual orientation)
    quad          // for the command bar's quads, whose s runs up the screen and
                  // t to the right: picture bottom at s = 0, left edge at t = 0
                  // (the file holds the picture's columns as its rows)
};

// Writes the .tex file: width, height, bytes per pixel as 32-bit
// little-endian integers, then the rows without padding. Returns false (after
// printing the reason) when the file cannot be written.
bool write_tex(const std::string& path, const Image& img, RowOrder order);

// Cairo helpers: a new ARGB32 surface, and its contents as an Image with
// alpha un-premultiplied (channels 3 drops the alpha).
cairo_surface_t* new_surface(int width, int height);
Image image_from_surface(cairo_surface_t* surface, int channels);

// A Cairo surface holding a copy of the picture (so Cairo can draw on top).
cairo_surface_t* surface_from_image(const Image& img);

// Runs `draw` with a Cairo context on a new transparent width x height
// surface, or on a copy of `base`, and returns what it drew (channels 3
// drops the alpha).
Image paint_image(int width, int height, int channels, const std::function<void(cairo_t*)>& draw);
Image paint_over(const Image& base, int channels, const std::function<void(cairo_t*)>& draw);
