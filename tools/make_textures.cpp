// Writes every texture of the game as textures/<name>.tex.
//
// usage: make_textures OUTPUT_DIR FONT_FILE
//
// Orientation: the first row of a .tex file lies at t = 0. Pictures whose
// surface is drawn with t = 0 at the top (menu font, menu buttons, sky box
// sides, tree billboards) are stored top row first; pictures drawn with t = 0
// at the bottom (aiming cross, the menu background) bottom row first. The
// command bar's button quads run s up the screen and t to the right, so their
// pictures are stored column by column (RowOrder::quad). Tiling materials look
// the same either way.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "textures.h"

namespace {

struct TextureJob {
    const char* name;
    std::function<Image()> make;
    RowOrder order;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR FONT_FILE\n", argv[0]);
        return 2;
    }
    const std::string out_dir = argv[1];
    const std::string font = argv[2];
    std::error_code ec;
    std::filesystem::create_directories(out_dir, ec);
    if (ec) {
        std::fprintf(stderr, "cannot create %s: %s\n", out_dir.c_str(), ec.message().c_str());
        return 1;
    }
    auto icon = [](const char* name) { return [name] { return make_icon(name); }; };
    const RowOrder top = RowOrder::top_first, bottom = RowOrder::bottom_first, quad = RowOrder::quad;
    const int sky = 512;
    // In the order the game loads them.
    const std::vector<TextureJob> jobs = {
        {"alphabet", [&] { return make_alphabet(font); }, top},
        {"wheel", make_wheel, bottom},
        {"wood", make_wood, bottom},
        {"flame", make_flame, bottom},
        {"column", make_column, bottom},
        {"stone_floor", make_stone_floor, bottom},
        {"marble", make_marble, bottom},
        {"kelvarin_gate", make_kelvarin_gate, bottom},
        {"house", make_house, bottom},
        {"cloud1", [] { return make_cloud(0); }, bottom},
        {"cloud2", [] { return make_cloud(1); }, bottom},
        {"stucco", make_stucco, bottom},
        {"wood_ceiling", make_wood_ceiling, bottom},
        {"lightning", icon("lightning"), quad},
        {"crosshairs", make_crosshairs, bottom},
        {"water", make_water, bottom},
        {"fabric", make_fabric, bottom},
        {"tree_chestnut", make_tree_chestnut, top},
        {"tree_random", make_tree_random, top},
        {"lower_gate", icon("lower_gate"), quad},
        {"raise_gate", icon("raise_gate"), quad},
        {"select_catas", icon("select_catas"), quad},
        {"stop_button", icon("stop_button"), quad},
        {"move_button", icon("move_button"), quad},
        {"attack_button", icon("attack_button"), quad},
        {"pray_button", icon("pray_button"), quad},
        {"firestorm", icon("firestorm"), quad},
        {"invisibility", icon("invisibility"), quad},
        {"sky_menu", make_sky_menu, top},
        {"sky_button", make_sky_button, top},
        {"sky_front", [&] { return make_sky_face(SkyFace::front, sky); }, top},
        {"sky_back", [&] { return make_sky_face(SkyFace::back, sky); }, top},
        {"sky_top", [&] { return make_sky_face(SkyFace::top, sky); }, top},
        {"sky_left", [&] { return make_sky_face(SkyFace::left, sky); }, top},
        {"sky_right", [&] { return make_sky_face(SkyFace::right, sky); }, top},
        {"oak", make_oak, top},
        {"dragon_skin_red", [] { return make_dragon_skin(true); }, bottom},
        {"dragon_skin_green", [] { return make_dragon_skin(false); }, bottom},
        {"dragon_summon_button", icon("dragon_summon_button"), quad},
        {"dragon_dismount_button", icon("dragon_dismount_button"), quad},
        {"catapult_summon_button", icon("catapult_summon_button"), quad},
        {"ram_button", icon("ram_button"), quad},
        {"footman_button", icon("footman_button"), quad},
        {"ghoul_button", icon("ghoul_button"), quad},
        {"goblin_button", icon("goblin_button"), quad},
        {"terrain_detail", make_terrain_detail, bottom},
    };
    auto start = std::chrono::steady_clock::now();
    int failures = 0;
    for (const TextureJob& job : jobs) {
        Image img = job.make();
        std::string path = out_dir + "/" + job.name + ".tex";
        if (img.width <= 0 || img.height <= 0 || !write_tex(path, img, job.order)) {
            std::fprintf(stderr, "texture %s failed\n", job.name);
            ++failures;
        }
    }
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("wrote %zu textures in %.2f s\n", jobs.size() - failures, secs);
    return failures == 0 ? 0 : 1;
}
