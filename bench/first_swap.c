/* Start-up timing without touching the game: preloaded into the process
 * (LD_PRELOAD), it notes the wall-clock time when the program is loaded and
 * when it swaps buffers for the first time (its first finished frame), and
 * prints both on standard error:
 *
 *   first_swap: loaded kelvarin 1700000000.123456
 *   first_swap: first swap 1700000001.234567
 *
 * Afterwards every pause of more than 0.1 s between two swaps is printed as
 *
 *   first_swap: gap 0.812345 ending 1700000002.345678
 *
 * which is how the start of a game (the click's last menu frame to the
 * first frame of play) is timed.
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
    static double last;
    const double now = wall_now();
    if (swaps++ == 0)
        fprintf(stderr, "first_swap: first swap %.6f\n", now);
    else if (now - last > 0.1)
        fprintf(stderr, "first_swap: gap %.6f ending %.6f\n", now - last, now);
    last = now;
}
