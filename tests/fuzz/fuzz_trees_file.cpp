// The placement file "trees.txt": the chestnuts and random trees.
// The checks live in fuzz_inputs.h, shared with the regression tests.
#include <cstdlib>

#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!replay_trees_file(data, size))
        abort();
    return 0;
}
