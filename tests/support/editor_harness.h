// Drives the real program in-process: start-up with given arguments from the
// data folder, frames one at a time, shutdown. Message boxes are recorded.
#pragma once

#include <initializer_list>

#include <gtest/gtest.h>

#include "core/containers.h"

// Starts the editor as `tarnisk args...` run from the data folder. False when
// no window could be opened.
bool harness_start(std::initializer_list<const char*> arguments = {});
// Runs up to `count` frames; returns false once the main loop has ended.
bool harness_frames(int count = 1);
void harness_stop();
// The state folder (XDG_STATE_HOME) the program sees: a fresh one per test
// process, made on first use.
const char* harness_state_home();
// True when a display is there to open windows on (tests skip otherwise).
bool harness_has_display();

// The real program per test: skipped without a display, started by `start`
// (from SetUp or the test itself), stopped after the test.
class EditorTest : public ::testing::Test {
protected:
    bool started = false;

    void SetUp() override {
        if (!harness_has_display()) GTEST_SKIP() << "no DISPLAY: run under xvfb-run";
    }
    void start(std::initializer_list<const char*> arguments = {}) {
        ASSERT_TRUE(harness_start(arguments));
        started = true;
    }
    // SetUp of fixtures whose every test runs the program: false when the
    // test is skipped or the program did not start.
    bool set_up_started() {
        EditorTest::SetUp();
        if (IsSkipped()) return false;
        start();
        return !HasFatalFailure();
    }
    void TearDown() override {
        if (started) harness_stop();
    }
};

// Composes the editor frame again, copies it to the window as the main loop
// does, and writes the window's image as a PNG (for the README's pictures).
bool harness_save_window_png(const char* path);
