// The monitors of a full-screen run that covers them all: where each is,
// which is the primary, and the picture's layout on the display window.
// The rest of the program may use: MonitorSet, read_monitors and
// monitor_layout (the display reads them at its start and on a change of
// the displays).
#pragma once

#include "platform.h"
#include "picture_plan.h"

struct MonitorSet {
    RECT bounds;  // all of them: the virtual screen, in screen coordinates
    int count;    // at most picture_max_monitors
    int primary;
    RECT monitors[picture_max_monitors];  // screen coordinates
    char primary_device[CCHDEVICENAME];   // empty when not known
};

// The monitors as the system tells them now; without any, the virtual
// screen as one monitor, the primary, with no device name.
void read_monitors(MonitorSet* set);

// The picture of that size on a display window that covers the monitors'
// bounds.
PictureLayout monitor_layout(const MonitorSet& set, LONG picture_width, LONG picture_height);
