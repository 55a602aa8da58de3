/* Preloaded into a program that frame_bench measures (LD_PRELOAD): counts
 * the program's buffer swaps (GLX or EGL), after each returns, in a shared
 * counter that
 * the benchmark reads while the program runs. The counter is the 64-bit
 * word at the start of the file named by SWAP_COUNTER_FILE; without it the
 * swaps are passed on and nothing is counted. */
#define _GNU_SOURCE
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

static uint64_t* counter;

__attribute__((constructor)) static void open_counter(void) {
    const char* path = getenv("SWAP_COUNTER_FILE");
    int fd = path ? open(path, O_RDWR) : -1;
    if (fd < 0) return;
    void* mapped = mmap(NULL, sizeof *counter, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (mapped != MAP_FAILED) counter = mapped;
}

static void count_swap(void) {
    if (counter) __atomic_add_fetch(counter, 1, __ATOMIC_RELAXED);
}

void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    static void (*swap)(Display*, GLXDrawable);
    if (!swap) swap = (void (*)(Display*, GLXDrawable))dlsym(RTLD_NEXT, "glXSwapBuffers");
    if (swap) swap(display, drawable);
    count_swap();
}

/* EGLBoolean eglSwapBuffers(EGLDisplay, EGLSurface), without EGL's headers. */
unsigned eglSwapBuffers(void* display, void* surface) {
    static unsigned (*swap)(void*, void*);
    if (!swap) swap = (unsigned (*)(void*, void*))dlsym(RTLD_NEXT, "eglSwapBuffers");
    const unsigned swapped = swap ? swap(display, surface) : 0;
    count_swap();
    return swapped;
}
