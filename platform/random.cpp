#include "platform/random.h"

namespace {

constexpr int kDegree = 31;
constexpr int kSeparation = 3;

int32_t step(rand_stream& s)
{
    uint32_t val = static_cast<uint32_t>(s.words[s.front]) + static_cast<uint32_t>(s.words[s.rear]);
    s.words[s.front] = static_cast<int32_t>(val);
    int32_t result = static_cast<int32_t>(val >> 1);
    if (++s.front >= kDegree) {
        s.front = 0;
        ++s.rear;
    } else if (++s.rear >= kDegree) {
        s.rear = 0;
    }
    return result;
}

} // namespace

void stream_srand(rand_stream& g_rand, unsigned int seed)
{
    if (seed == 0)
        seed = 1;
    g_rand.words[0] = static_cast<int32_t>(seed);
    // Fill the state with a Lehmer sequence (16807 * x mod 2^31-1), computed
    // without overflow by Schrage's method, exactly as the C library does.
    int32_t word = static_cast<int32_t>(seed);
    for (int i = 1; i < kDegree; ++i) {
        int64_t hi = word / 127773;
        int64_t lo = word % 127773;
        word = static_cast<int32_t>(16807 * lo - 2836 * hi);
        if (word < 0)
            word += 2147483647;
        g_rand.words[i] = static_cast<int32_t>(word);
    }
    g_rand.front = kSeparation;
    g_rand.rear = 0;
    for (int i = 0; i < kDegree * 10; ++i)
        step(g_rand);
    g_rand.seeded = true;
}

int stream_rand(rand_stream& s)
{
    if (!s.seeded)
        stream_srand(s, 1);
    return step(s);
}
