#include "tex_image.h"
#include "file_out.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

Color mix(const Color& p, const Color& q, float t)
{
    return Color{lerp(p.r, q.r, t), lerp(p.g, q.g, t), lerp(p.b, q.b, t), lerp(p.a, q.a, t)};
}

Color scale_rgb(const Color& c, float f) { return Color{c.r * f, c.g * f, c.b * f, c.a}; }

Image make_image(int width, int height, int channels)
{
    Image img;
    img.width = width;
    img.height = height;
    img.channels = channels;
    img.pixels.assign(static_cast<size_t>(width) * height * channels, 0);
    return img;
}

static uint8_t to_byte(float v) { return static_cast<uint8_t>(std::lround(clamp01(v) * 255.0f)); }

void put_pixel(Image& img, int x, int y, const Color& c)
{
    size_t i = (static_cast<size_t>(y) * img.width + x) * img.channels;
    img.pixels[i] = to_byte(c.r);
    img.pixels[i + 1] = to_byte(c.g);
    img.pixels[i + 2] = to_byte(c.b);
    if (img.channels == 4) img.pixels[i + 3] = to_byte(c.a);
}

Color get_pixel(const Image& img, int x, int y)
{
    size_t i = (static_cast<size_t>(y) * img.width + x) * img.channels;
    Color c{img.pixels[i] / 255.0f, img.pixels[i + 1] / 255.0f, img.pixels[i + 2] / 255.0f, 1.0f};
    if (img.channels == 4) c.a = img.pixels[i + 3] / 255.0f;
    return c;
}

static void append_le32(std::vector<uint8_t>& out, int32_t v)
{
    uint32_t u = static_cast<uint32_t>(v);
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(u >> (8 * k)));
}

bool write_tex(const std::string& path, const Image& img, RowOrder order)
{
    std::vector<uint8_t> out;
    size_t row_bytes = static_cast<size_t>(img.width) * img.channels;
    out.reserve(12 + row_bytes * img.height);
    if (order == RowOrder::quad) {
        // File row r is picture column r; along it s climbs from the
        // picture's bottom row to its top row.
        append_le32(out, img.height);
        append_le32(out, img.width);
        append_le32(out, img.channels);
        for (int x = 0; x < img.width; ++x)
            for (int y = img.height - 1; y >= 0; --y) {
                auto p = img.pixels.begin() + static_cast<std::ptrdiff_t>((static_cast<size_t>(y) * img.width + x) * img.channels);
                out.insert(out.end(), p, p + img.channels);
            }
    } else {
        append_le32(out, img.width);
        append_le32(out, img.height);
        append_le32(out, img.channels);
        for (int r = 0; r < img.height; ++r) {
            int src = order == RowOrder::top_first ? r : img.height - 1 - r;
            auto begin = img.pixels.begin() + static_cast<std::ptrdiff_t>(src * row_bytes);
            out.insert(out.end(), begin, begin + static_cast<std::ptrdiff_t>(row_bytes));
        }
    }
    return write_whole_file(path, out);
}

cairo_surface_t* new_surface(int width, int height)
{
    return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
}

Image image_from_surface(cairo_surface_t* surface, int channels)
{
    cairo_surface_flush(surface);
    int w = cairo_image_surface_get_width(surface);
    int h = cairo_image_surface_get_height(surface);
    int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    Image img = make_image(w, h, channels);
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < w; ++x) {
            uint32_t p = row[x];
            float a = ((p >> 24) & 255) / 255.0f;
            float r = ((p >> 16) & 255) / 255.0f;
            float g = ((p >> 8) & 255) / 255.0f;
            float b = (p & 255) / 255.0f;
            if (a > 0.0f) {
                r /= a;
                g /= a;
                b /= a;
            }
            put_pixel(img, x, y, Color{r, g, b, a});
        }
    }
    return img;
}

cairo_surface_t* surface_from_image(const Image& img)
{
    cairo_surface_t* s = new_surface(img.width, img.height);
    cairo_surface_flush(s);
    int stride = cairo_image_surface_get_stride(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    for (int y = 0; y < img.height; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < img.width; ++x) {
            Color c = get_pixel(img, x, y);
            auto pm = [&](float v) { return static_cast<uint32_t>(std::lround(clamp01(v) * clamp01(c.a) * 255.0f)); };
            uint32_t a = static_cast<uint32_t>(std::lround(clamp01(c.a) * 255.0f));
            row[x] = (a << 24) | (pm(c.r) << 16) | (pm(c.g) << 8) | pm(c.b);
        }
    }
    cairo_surface_mark_dirty(s);
    return s;
}

static Image paint_on(cairo_surface_t* surface, int channels, const std::function<void(cairo_t*)>& draw)
{
    cairo_t* cr = cairo_create(surface);
    draw(cr);
    cairo_destroy(cr);
    Image img = image_from_surface(surface, channels);
    cairo_surface_destroy(surface);
    return img;
}

Image paint_image(int width, int height, int channels, const std::function<void(cairo_t*)>& draw)
{
    return paint_on(new_surface(width, height), channels, draw);
}

Image paint_over(const Image& base, int channels, const std::function<void(cairo_t*)>& draw)
{
    return paint_on(surface_from_image(base), channels, draw);
}
