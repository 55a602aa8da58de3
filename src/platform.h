// The one platform header of the program: Win32 and OpenGL 1.1 with GLU.
// On Windows <windows.h> is the real one; on Linux the include path puts the
// Win32-subset layer's declarations under the same name.
#pragma once

#include <windows.h>
#include <GL/gl.h>
#include <GL/glu.h>
