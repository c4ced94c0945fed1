// The terrain file "terrain.out", the ground queries and the local edits.
// The checks live in fuzz_inputs.h, shared with the regression tests.
#include <cstdlib>

#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!replay_terrain_file(data, size))
        abort();
    return 0;
}
