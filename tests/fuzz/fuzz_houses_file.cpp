// The placement file "houses.txt": the buildings and temples.
// The checks live in fuzz_inputs.h, shared with the regression tests.
#include <cstdlib>

#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!replay_houses_file(data, size))
        abort();
    return 0;
}
