// The choice of driver, and the seam's reset of the whole layer.
#include <stdio.h>

#include <layer_test.h>

#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "user/user_internal.h"

void layer_null_reset();
void user_message_box_reset();
void advapi_registry_reset();

namespace {

const LayerDriver* chosen = nullptr;

}  // namespace

const LayerDriver* layer_open_driver() {
    static bool failed = false;
    if (!chosen && !failed) {
        const LayerDriver* driver = layer_x11_driver();
        if (driver->open())
            chosen = driver;
        else
            failed = true;  // the driver has said why
    }
    return chosen;
}

const LayerDriver* layer_driver() {
    // Without a display there is nothing to show windows on.
    if (!layer_open_driver()) ExitProcess(1);
    return chosen;
}

void layer_use_null_driver() {
    const LayerDriver* driver = layer_null_driver();
    if (chosen == driver) return;
    driver->open();
    chosen = driver;
}

void layer_reset() {
    user_windows_reset();
    user_messages_reset();
    user_classes_reset();
    user_cursor_reset();
    user_sysparams_reset();
    user_message_box_reset();
    layer_gdi_reset();
    layer_display_settings_reset();
    layer_kernel_reset();
    advapi_registry_reset();
    if (chosen == layer_null_driver()) layer_null_reset();
}
