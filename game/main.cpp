#include <malloc.h>

#include "game/main_loop.h"

int main(int argc, char** argv)
{
    // The software GL driver allocates and frees large vertex and scene
    // buffers every frame. By default glibc hands freed memory at the top of
    // the heap (and every block over 128 KiB) back to the system at once, so
    // the next frame faults the same pages in afresh: a fifth of a windowed
    // frame. The game keeps what it freed instead.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    return main_program(argc, argv);
}
