// What the rest of the layer may use of the registry besides the Reg* calls
// of windows.h: the test seam's reset (platform/layer_reset.cpp).
#pragma once

// Forgets the cached file, the changes not yet written and the keys made in
// the process.
void advapi_registry_reset();
