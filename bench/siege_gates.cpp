// Sieges on generated islands: on each island, every ram of the attackers
// is ordered once at the city's gate (the headless loop, no window, sound
// or network), and the game is played until the gate breaks or the time
// runs out. Prints a line per island and how many gates broke.
//
//   siege_gates [FIRST_SEED [ISLANDS [SECONDS]]]     (1, 20, 240)
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "game/headless.h"
#include "platform/paths.h"

int main(int argc, char** argv)
{
    const unsigned first = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 1u;
    const int islands = argc > 2 ? std::atoi(argv[2]) : 20;
    const float seconds = argc > 3 ? std::strtof(argv[3], nullptr) : 240.0f;
    // The source tree's placement files (every siege's session reads them
    // as the installed data), and no terrain file written by a game: every
    // island is the one its seed generates.
    setenv("KELVARIN_DATA", KELVARIN_SOURCE_DATA, 1);
    char home[] = "/tmp/siege_gates_XXXXXX";
    if (!mkdtemp(home)) {
        perror("mkdtemp");
        return 1;
    }
    setenv("XDG_DATA_HOME", home, 1);
    init_paths();

    int broken = 0;
    float longest = 0.0f;
    unsigned longest_seed = 0;
    for (int k = 0; k < islands; ++k) {
        const unsigned seed = first + static_cast<unsigned>(k);
        const siege_outcome o = headless_siege(seed, seconds);
        broken += o.broken ? 1 : 0;
        if (o.longest_still >= longest) {
            longest = o.longest_still;
            longest_seed = seed;
        }
        printf("seed %u: %d rams ordered, %d refused, %d pressed the gate, ", seed, o.rams, o.refused, o.pressed);
        if (o.broken)
            printf("gate broken after %.1f s", static_cast<double>(o.broken_after));
        else
            printf("gate holds after %.0f s", static_cast<double>(seconds));
        printf(", longest standstill %.1f s at (%.0f, %.0f)\n", static_cast<double>(o.longest_still),
               static_cast<double>(o.still_x), static_cast<double>(o.still_z));
        fflush(stdout);
    }
    printf("%d of %d gates broken within %.0f s; longest standstill of an ordered ram %.1f s (seed %u)\n", broken,
           islands, static_cast<double>(seconds), static_cast<double>(longest), longest_seed);
    rmdir(home);
    return 0;
}
