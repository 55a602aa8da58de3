// Private to the layer's gdi part: device-context records, each window's
// pixel format, the GL driver in use and the seam's injected failures.
#pragma once

#include <windows.h>
#include <layer_test.h>

#include "layer_driver.h"

struct DeviceContext {
    HDC handle;
    HWND window;
    bool own;                // the window's class has CS_OWNDC: one DC for its whole life
    int held;                // GetDC calls not yet matched by ReleaseDC
    HGDIOBJ font = nullptr;  // the selected font; none on a fresh DC
};

// The record of a DC of a live window; null for anything else.
DeviceContext* gdi_dc(HDC dc);
// A window's pixel format, 0 while it has none.
int gdi_window_format(HWND window);
void gdi_set_window_format(HWND window, int format);
// DCs handed out and not given back.
int gdi_held_dcs();
void gdi_dc_reset();

const LayerGlDriver* gdi_gl_driver();
// Whether the seam asked for this call to fail; the request is used up.
bool gdi_take_failure(LayerGlFailure call);
// A release of something that was not held (for the seam's counts).
void gdi_note_repeated_release();
