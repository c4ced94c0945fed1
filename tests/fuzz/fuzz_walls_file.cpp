// The placement file "walls.txt": the city's wall points, towers and gates.
// The checks live in fuzz_inputs.h, shared with the regression tests.
#include <cstdlib>

#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!replay_walls_file(data, size))
        abort();
    return 0;
}
