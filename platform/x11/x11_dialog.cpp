// The X11 side of template dialogs: measuring, drawing and holding input.
//   Others may use: layer_x11_dialog_driver() (layer_driver.h).
#include "kernel/layer_kernel.h"
#include "layer_driver.h"

const LayerDialogDriver* layer_x11_dialog_driver() {
    layer_fixme_once("DialogBoxParamA: dialogs are not drawn on X11 yet (the window shows empty; keys still work)");
    return nullptr;
}
