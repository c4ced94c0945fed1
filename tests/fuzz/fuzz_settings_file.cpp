// The settings file: any bytes are read or refused without harm, and what
// is read is within the ranges and comes back the same through the writer.
#include <cstdlib>

#include "fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!replay_settings_file(data, size))
        abort();
    return 0;
}
