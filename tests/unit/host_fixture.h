// Shared set-up of the host's unit tests: the layer's null driver, a fresh
// process state for every test, a private registry, and a way to run steps
// inside the saver's own message loop.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "host/entry.h"
#include "host/host_state.h"
#include "host/password.h"
#include "host/saver_window.h"
#include "layer_test.h"
#include "scratch.h"

class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    // The layer and the program's module state as a fresh process has them.
    void reset_process_state();

    // Runs `steps` inside the saver's message loop once the saver window
    // exists (saver_window; NULL if none was made), then closes the window if
    // it still stands. Returns run_saver_window's result (`parent` NULL:
    // Saver mode) or, with `tail`, saver_main's.
    int run_saver_with(HWND parent, const std::function<void(HWND)>& steps);
    int run_main_with(const std::string& tail, const std::function<void(HWND)>& steps);
    // Whether the steps ran inside a loop, i.e. some mode's loop dispatched.
    bool steps_ran() const;

    // Writes "ScreenSaveUsePassword" with the given bytes and type.
    void set_password_setting(const void* data, DWORD size, DWORD type);

private:
    Scratch config_;
};

// A fake module entry of any signature, as GetProcAddress hands it out.
template <typename Function>
FARPROC as_entry(Function* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// Takes a posted WM_CLOSE for `window` off the queue; true if there was one.
bool take_posted_close(HWND window);
