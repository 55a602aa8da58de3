// XGetGeometry for Mesa's software renderer, in place of Xlib's own.
//
// Before each frame Mesa's drisw (22.x) asks XGetGeometry for the window's
// size and uses the answer without looking whether the call failed. When
// another client has just destroyed the window (the preview's parent went,
// and our windows with it, before we heard of it), the size is whatever lay
// on Mesa's stack, and the buffers it then sizes from it corrupt the heap.
// This one clears the answers first and calls Xlib's, so a window that is
// gone measures 0 x 0. The executable exports it (platform/CMakeLists.txt), so
// every library in the process, Mesa's among them, calls it.
#include <X11/Xlib.h>
#include <dlfcn.h>

extern "C" Status XGetGeometry(Display* display, Drawable drawable, Window* root, int* x, int* y, unsigned* width,
                               unsigned* height, unsigned* border, unsigned* depth) {
    using Real = Status (*)(Display*, Drawable, Window*, int*, int*, unsigned*, unsigned*, unsigned*, unsigned*);
    static const Real xlib = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "XGetGeometry"));
    *root = None;
    *x = *y = 0;
    *width = *height = *border = *depth = 0;
    return xlib(display, drawable, root, x, y, width, height, border, depth);
}
