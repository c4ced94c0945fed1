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

// One stream of the algorithm (numbers in 0..GAME_RAND_MAX): a battle's
// world draws from one, the session's menu from another; the renderer and
// the sound, which must not take numbers from the world's, keep their own.
struct rand_stream {
    int32_t words[31] = {};
    int front = 0;  // index of the word that receives the sum
    int rear = 0;   // index of the word that is added
    bool seeded = false;
};
// Seeds a stream (seed 0 behaves like seed 1); an unseeded stream starts as
// if seeded with 1.
void stream_srand(rand_stream& s, unsigned int seed);
int stream_rand(rand_stream& s);
