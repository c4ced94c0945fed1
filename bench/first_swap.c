/* Start-up timing without touching the game: preloaded into the process
 * (LD_PRELOAD), it notes the wall-clock time when the program is loaded and
 * when it swaps buffers for the first time (its first finished frame), and
 * prints both on standard error:
 *
 *   first_swap: loaded kelvarin 1700000000.123456
 *   first_swap: first swap 1700000001.234567
 *
 * The "loaded" line names the program, since the preload also reaches the
 * launchers that exec it (ip netns exec ...).
 * Every call is passed on to the real glXSwapBuffers.
 */
#define _GNU_SOURCE
#include <GL/glx.h>
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <time.h>

static double wall_now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (double)ts.tv_sec + ts.tv_nsec * 1e-9;
}

__attribute__((constructor)) static void first_swap_loaded(void)
{
    fprintf(stderr, "first_swap: loaded %s %.6f\n", program_invocation_short_name, wall_now());
}

void glXSwapBuffers(Display* dpy, GLXDrawable drawable)
{
    static void (*real)(Display*, GLXDrawable);
    static int swaps;
    if (!real)
        real = (void (*)(Display*, GLXDrawable))dlsym(RTLD_NEXT, "glXSwapBuffers");
    if (real)
        real(dpy, drawable);
    if (swaps++ == 0)
        fprintf(stderr, "first_swap: first swap %.6f\n", wall_now());
}
