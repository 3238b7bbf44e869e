/* LD_PRELOAD helper for bench/measure_game.sh: watches the game's calls to
 * SDL_RenderCopy and SDL_RenderPresent without changing them, and writes to
 * the file named by PM_CLOCK_OUT
 *   first_frame_ms N   when the first game frame (a present after a copy of
 *                      the back buffer) is shown, counted from PM_CLOCK_T0
 *                      (CLOCK_REALTIME nanoseconds taken just before exec)
 *   presents N seconds S   at exit: game frames shown and the time since
 *                      the first one.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static long long copies, frames;
static double firstAt = -1;

static double NowNs(void) {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec * 1e9 + ts.tv_nsec;
}

static void Say(const char* text) {
    const char* path = getenv("PM_CLOCK_OUT");
    FILE* f = path ? fopen(path, "a") : NULL;
    if (!f) return;
    fputs(text, f);
    fclose(f);
}

int SDL_RenderCopy(void* renderer, void* texture, const void* src, const void* dst) {
    static int (*real)(void*, void*, const void*, const void*);
    if (!real) real = (int (*)(void*, void*, const void*, const void*))dlsym(RTLD_NEXT, "SDL_RenderCopy");
    ++copies;
    return real(renderer, texture, src, dst);
}

void SDL_RenderPresent(void* renderer) {
    static void (*real)(void*);
    if (!real) real = (void (*)(void*))dlsym(RTLD_NEXT, "SDL_RenderPresent");
    real(renderer);
    if (copies == 0) return; /* the black picture shown while starting */
    if (frames++ == 0) {
        char line[128];
        const char* t0 = getenv("PM_CLOCK_T0");
        firstAt = NowNs();
        snprintf(line, sizeof line, "first_frame_ms %.1f\n", t0 ? (firstAt - atof(t0)) / 1e6 : -1.0);
        Say(line);
    }
}

__attribute__((destructor)) static void AtExit(void) {
    char line[128];
    snprintf(line, sizeof line, "presents %lld seconds %.3f\n", frames, firstAt < 0 ? 0.0 : (NowNs() - firstAt) / 1e9);
    Say(line);
}
