// Draws the game's desktop icon: OUTPUT_DIR/NxN/kelvarin.png for every size
// given, and OUTPUT_DIR/scalable/kelvarin.svg.
//
// usage: make_icons OUTPUT_DIR SIZE...
#include <cairo-svg.h>
#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "textures.h"

namespace {

constexpr double kDrawing = 128.0;  // the icon's own drawing space

bool write_png(const std::string& dir, int size)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(s);
    cairo_scale(cr, size / kDrawing, size / kDrawing);
    draw_game_icon(cr);
    cairo_destroy(cr);
    const std::string path = dir + "/kelvarin.png";
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    if (!ok)
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return ok;
}

bool write_svg(const std::string& dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string path = dir + "/kelvarin.svg";
    cairo_surface_t* s = cairo_svg_surface_create(path.c_str(), kDrawing, kDrawing);
    cairo_t* cr = cairo_create(s);
    draw_game_icon(cr);
    cairo_destroy(cr);
    cairo_surface_finish(s);
    const bool ok = cairo_surface_status(s) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    if (!ok)
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR SIZE...\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    bool ok = write_svg(out + "/scalable");
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "icon size %s is not from 8 to 1024\n", argv[i]);
            return 2;
        }
        ok = write_png(out + "/" + std::to_string(size) + "x" + std::to_string(size), size) && ok;
    }
    return ok ? 0 : 1;
}
