/* Preloaded into a program that frame_bench measures (LD_PRELOAD): counts
 * the program's buffer swaps (GLX or EGL), after each returns, and its
 * buffer clears, in shared counters that the benchmark reads
 * while the program runs. The counters are the two 64-bit words at the
 * start of the file named by SWAP_COUNTER_FILE, swaps then clears; without
 * it the calls are passed on and nothing is counted. */
#define _GNU_SOURCE
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

static uint64_t* counter; /* [0] swaps, [1] clears */

__attribute__((constructor)) static void open_counter(void) {
    const char* path = getenv("SWAP_COUNTER_FILE");
    int fd = path ? open(path, O_RDWR) : -1;
    if (fd < 0) return;
    void* mapped = mmap(NULL, 2 * sizeof *counter, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (mapped != MAP_FAILED) counter = mapped;
}

static void count(int which) {
    if (counter) __atomic_add_fetch(&counter[which], 1, __ATOMIC_RELAXED);
}

void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    static void (*swap)(Display*, GLXDrawable);
    if (!swap) swap = (void (*)(Display*, GLXDrawable))dlsym(RTLD_NEXT, "glXSwapBuffers");
    if (swap) swap(display, drawable);
    count(0);
}

/* EGLBoolean eglSwapBuffers(EGLDisplay, EGLSurface), without EGL's headers. */
unsigned eglSwapBuffers(void* display, void* surface) {
    static unsigned (*swap)(void*, void*);
    if (!swap) swap = (unsigned (*)(void*, void*))dlsym(RTLD_NEXT, "eglSwapBuffers");
    const unsigned swapped = swap ? swap(display, surface) : 0;
    count(0);
    return swapped;
}

void glClear(GLbitfield mask) {
    static void (*clear)(GLbitfield);
    if (!clear) clear = (void (*)(GLbitfield))dlsym(RTLD_NEXT, "glClear");
    if (clear) clear(mask);
    count(1);
}
