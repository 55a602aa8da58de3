// The process entry of a program on the layer: keeps argv for
// GetCommandLineA and calls WinMain with the argument tail, as a Windows
// C run-time does. The program ends itself with ExitProcess.
#include <windows.h>

#include "layer_kernel.h"

int main(int argc, char** argv) {
    layer_kernel_set_argv(argc, argv);
    return WinMain(GetModuleHandleA(nullptr), nullptr, layer_command_tail(GetCommandLineA()), SW_SHOWDEFAULT);
}
