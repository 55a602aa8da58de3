// The one platform header of the program: Win32 and OpenGL 1.1 with GLU,
// and a typed GetProcAddress.
// On Windows <windows.h> is the real one; on Linux the include path puts the
// Win32-subset layer's declarations under the same name.
#pragma once

#include <windows.h>
#include <GL/gl.h>
#include <GL/glu.h>

// GetProcAddress typed as the entry's own function type; NULL when the
// module has no such entry. The detour through a plain function pointer
// keeps the compiler from warning about the cast between function types.
template <typename Proc>
Proc module_entry(HMODULE module, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
