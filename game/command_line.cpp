#include "game/command_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/paths.h"
#include "sim/game.h"
#include "sim/sides.h"

#ifndef KELVARIN_VERSION
#define KELVARIN_VERSION "unknown"
#endif

const char* program_version()
{
    return "kelvarin " KELVARIN_VERSION;
}

void print_usage(FILE* out)
{
    const std::string data = installed_data_dir().empty() ? "none found" : installed_data_dir();
    fprintf(out,
            "Usage: kelvarin [NAME] [LOG_POSITION] [REPLAY_P_LOG] [SOUND] [GOD] [WINDOW]\n"
            "       kelvarin [NAME] [WINDOW] --timedemo SEED [--frames N] [--shot FRAME]...\n"
            "       kelvarin [NAME] [WINDOW] --computer attackers|defenders[:easy|normal|hard]\n"
            "       kelvarin [NAME] [WINDOW] --island SEED\n"
            "       kelvarin --battle SEED [--attackers LEVEL] [--defenders LEVEL] [--minutes N] [--json]\n"
            "       kelvarin --headless SEED [--side attackers|defenders] [--seconds N]\n"
            "       kelvarin --help | --version\n"
            "\n"
            "A networked 3-D siege game: the attackers storm a walled island city, the\n"
            "defenders hold it. Copies on one network segment find each other by IP\n"
            "multicast; one player presses \"Start Game\" and every copy joins the battle.\n"
            "\n"
            "  NAME          your name in the game (at most 31 characters; without it,\n"
            "                your login name)\n"
            "  LOG_POSITION  append the view of every play frame to path.dat\n"
            "  REPLAY_P_LOG  replay path.dat frame by frame at each game start\n"
            "  SOUND         sound and music on for this run\n"
            "  GOD           walk three times as fast, rise and sink with E and F, pray faster\n"
            "  WINDOW        a 600 x 400 window for this run instead of the full screen\n"
            "  --timedemo SEED  measure: play the island of SEED alone, replaying path.dat\n"
            "                with a fixed step per frame, print the frame rate and exit\n"
            "  --frames N    stop the timedemo after N frames\n"
            "  --shot FRAME  write timedemo frame FRAME as timedemo-FRAME.ppm (repeatable)\n"
            "  --computer SIDE[:LEVEL]  the computer plays SIDE (attackers or defenders) at\n"
            "                LEVEL (easy, normal or hard; normal when left out), you the other\n"
            "  --island SEED  the games this copy starts are played on the island of SEED\n"
            "  --battle SEED  a whole game of the computer against itself on the island of\n"
            "                SEED, with no window, sound or network; one line says who won\n"
            "  --attackers LEVEL, --defenders LEVEL  the sides' levels in a battle (normal)\n"
            "  --minutes N   a battle ends undecided after N game minutes (30)\n"
            "  --json        a battle's closing line as one JSON object\n"
            "  --headless SEED  build the island of SEED with no window, sound or network,\n"
            "                play it N game seconds (default 10) as fast as it goes alone on\n"
            "                the given side (default attackers), print its census and exit\n"
            "  --help        print this help and exit\n"
            "  --version     print the version and exit\n"
            "\n"
            "The words after NAME are exact and case-sensitive, in any order.\n"
            "Settings: %s\n"
            "Data: each file from the working directory when it is there, else from %s\n"
            "Files made (terrain.out, screenshot.rgba, path.dat): %s\n"
            "More in the manual page kelvarin(6).\n",
            settings_file_path().empty() ? "kept for the run only (no home directory)" : settings_file_path().c_str(),
            data.c_str(), user_files_description().c_str());
}

int check_program_options(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!a || a[0] != '-' || !a[1])
            continue;
        if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
            print_usage(stdout);
            return 0;
        }
        if (!strcmp(a, "--version")) {
            printf("%s\n", program_version());
            return 0;
        }
        fprintf(stderr, "kelvarin: unknown option \"%s\"\n", a);
        print_usage(stderr);
        return 2;
    }
    return -1;
}

namespace {

// Takes every "NAME VALUE" out of the argument vector (compacting it) and
// hands each VALUE to `take` (null when NAME ends the line), which prints
// what is wrong and returns false for a bad one. Returns -1 to go on, or 2.
template <class F>
int take_option(int& argc, char** argv, const char* name, F&& take)
{
    int n = 1;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], name) != 0) {
            argv[n++] = argv[i];
            continue;
        }
        if (!take(i + 1 < argc ? argv[++i] : nullptr))
            return 2;
    }
    argc = n;
    return -1;
}

}  // namespace

int take_island_args(int& argc, char** argv, long long& island)
{
    island = -1;
    return take_option(argc, argv, "--island", [&](const char* value) {
        const char* v = value ? value : "";
        char* end = nullptr;
        errno = 0;
        const unsigned long long seed = std::strtoull(v, &end, 10);
        if (!*v || *end || errno || v[0] == '-' || seed > 0xffffffffULL) {
            fprintf(stderr, "kelvarin: --island needs a seed (a whole number below 4294967296), not \"%s\"\n", v);
            return false;
        }
        island = static_cast<long long>(seed);
        return true;
    });
}

int take_computer_args(int& argc, char** argv, int& side, int& level)
{
    side = -1;
    level = LEVEL_NORMAL;
    return take_option(argc, argv, "--computer", [&](const char* value) {
        if (!value) {
            fprintf(stderr, "kelvarin: --computer needs a side: attackers or defenders\n");
            return false;
        }
        const std::string v = value;
        const size_t colon = v.find(':');
        const std::string s = v.substr(0, colon);
        side = s == "attackers" ? TEAM_ATTACKERS : (s == "defenders" ? TEAM_DEFENDERS : -1);
        level = colon == std::string::npos ? LEVEL_NORMAL : level_from_name(v.substr(colon + 1).c_str());
        if (side < 0 || !level) {
            fprintf(stderr, "kelvarin: --computer takes SIDE[:LEVEL] (attackers or defenders; easy, normal or hard), "
                            "not \"%s\"\n", v.c_str());
            return false;
        }
        return true;
    });
}
