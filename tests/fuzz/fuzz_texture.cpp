// Texture files ("textures/<name>.tex"): any byte string must load with a consistent size or be rejected.
// The checks live in fuzz_inputs.h, shared with the regression tests.
#include <cstdlib>

#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!replay_texture(data, size))
        abort();
    return 0;
}
