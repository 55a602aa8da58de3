// The test seam's reset of the whole layer (layer_test.h): each part back to
// a fresh process's state. It belongs to no part, as it reaches all of them.
#include <layer_test.h>

#include "advapi/registry.h"
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "user/user_internal.h"

void layer_reset() {
    user_windows_reset();
    user_messages_reset();
    user_classes_reset();
    user_cursor_reset();
    user_input_reset();
    user_sysparams_reset();
    user_monitors_reset();
    user_message_box_reset();
    layer_gdi_reset();
    layer_display_settings_reset();
    layer_kernel_reset();
    advapi_registry_reset();
    const LayerDriver* chosen = layer_chosen_driver();
    if (chosen && chosen->reset) chosen->reset();
}
