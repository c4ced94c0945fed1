/* The C allocator's figures of a running game, without touching the game:
 * preloaded into the process (LD_PRELOAD) by scripts/soak.py, it starts a
 * thread that every HEAP_REPORT_SECONDS (default 5) prints on standard
 * error, in one write,
 *
 *   heap_report: in use 123456 kB free 2345 kB mapped 34567 kB
 *
 * from mallinfo2(): the bytes handed out and not yet freed (the game's and
 * the GL driver's, in every arena and in blocks mapped on their own), the
 * bytes free inside the arenas, and the blocks mapped on their own (a
 * part of "in use").  Resident memory above "in use" is the allocator's
 * slack, the driver's own mappings (compiled code among them) and the
 * libraries.
 *
 * Only the game reports: the preload also reaches the launchers that exec
 * it (ip netns exec ...).
 */
#define _GNU_SOURCE
#include <errno.h>
#include <malloc.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static unsigned report_seconds = 5;

static void* report_loop(void* unused)
{
    (void)unused;
    for (;;) {
        sleep(report_seconds);
        const struct mallinfo2 m = mallinfo2();
        char line[160];
        const int n = snprintf(line, sizeof line, "heap_report: in use %zu kB free %zu kB mapped %zu kB\n",
                               (m.uordblks + m.hblkhd) / 1024, m.fordblks / 1024, m.hblkhd / 1024);
        if (n > 0 && (size_t)n < sizeof line && write(STDERR_FILENO, line, (size_t)n) < 0)
            return NULL;  /* standard error is gone: nobody reads the figures */
    }
    return NULL;
}

__attribute__((constructor)) static void heap_report_loaded(void)
{
    if (strcmp(program_invocation_short_name, "kelvarin") != 0)
        return;
    const char* every = getenv("HEAP_REPORT_SECONDS");
    if (every && atoi(every) > 0)
        report_seconds = (unsigned)atoi(every);
    pthread_t thread;
    if (pthread_create(&thread, NULL, report_loop, NULL) == 0)
        pthread_detach(thread);
}
