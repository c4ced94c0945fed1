// The game's one pseudo-random generator.
//
// Every copy of the game must draw the same numbers from the same seed, so the
// island and the game channel come out alike everywhere. The generator is the
// additive-feedback algorithm of the GNU C library's rand() (31 words of state,
// separation 3), reimplemented here so the sequence does not depend on which C
// library a copy was built against.
#pragma once

#include <cstdint>

constexpr int GAME_RAND_MAX = 2147483647;

// Seeds the generator; seed 0 behaves like seed 1.
void game_srand(unsigned int seed);
// Next number in 0..GAME_RAND_MAX.
int game_rand();
