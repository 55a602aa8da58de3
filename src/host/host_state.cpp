#include "host/host_state.h"

HostState& host_state() {
    static HostState state;
    return state;
}
