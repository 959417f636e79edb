// Autosave and crash recovery end to end: the real program writes the
// recovery file, offers it at the next start, and a real SIGKILL of a
// running editor loses nothing that was autosaved.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/editor.h"
#include "platform/platform_test_hooks.h"
#include "scene/recovery.h"
#include "support/scratch_editor.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

class Recovery : public ScratchEditorTest {
protected:
    std::string scene_file() { return folder + "/work.scene"; }
    // Also between two runs of the program, when its pools are gone.
    std::string recovery_of(const std::string& scene) {
        bool pools_here = started || !pool_create(POOL_FRAME, 1 << 20);
        std::string path = text(recovery_path_for(string_from_cstring(scene.c_str()), POOL_FRAME));
        if (!pools_here) pool_release(POOL_FRAME);
        return path;
    }
    // Starts on a scene saved from the sample, so there is a file to recover into.
    void start_on_saved_scene(std::initializer_list<const char*> more = {}) {
        std::string sample = read_file(std::string(TARNISK_DATA_DIR) + "/samples/sample.scene");
        ASSERT_FALSE(sample.empty());
        write_file(scene_file(), sample);
        std::string path = scene_file();
        if (more.size() == 0) start({path.c_str()});
        else start({path.c_str(), more.begin()[0], more.begin()[1]});
    }
    // Frames until `done` holds or `seconds` of wall time have passed.
    template <typename Condition>
    bool frames_until(Condition done, double seconds) {
        auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (!frames()) return false;
            if (done()) return true;
        }
        return done();
    }
    // A recovery file for `scene` with `bytes`, made newer than the scene.
    void plant_recovery(const std::string& scene, const std::string& bytes) {
        harness_state_home();
        std::string path = recovery_of(scene);
        fs::create_directories(fs::path(path).parent_path());
        write_file(path, bytes);
        if (fs::exists(scene)) {
            fs::last_write_time(path, fs::last_write_time(scene) + std::chrono::seconds(5));
        }
    }
    bool question_open() { return top_panel() && top_panel()->kind == PANEL_SAVE_PROMPT; }
};

TEST_F(Recovery, AutosaveWritesTheSceneWhileModifiedAndASaveRemovesIt) {
    harness_state_home();
    start_on_saved_scene({"-autosave", "1"});
    std::string recovery = recovery_of(scene_file());
    ASSERT_FALSE(recovery.empty());
    // Unmodified: nothing is written however long it runs.
    ASSERT_FALSE(frames_until([&] { return fs::exists(recovery); }, 1.5));
    add_object();
    ASSERT_TRUE(frames_until([&] { return fs::exists(recovery); }, 5));
    EXPECT_EQ(read_file(recovery), serialized());
    // The name carries the scene's file name; a scene elsewhere of that name has another.
    EXPECT_NE(fs::path(recovery).filename().string().find("work.scene."), std::string::npos);
    EXPECT_NE(recovery_of("/elsewhere/work.scene"), recovery);
    EXPECT_EQ(fs::path(recovery_of("")).filename().string(), "untitled.recovery");

    ASSERT_TRUE(control('S'));
    ASSERT_FALSE(editor.scene.scene_modified);
    EXPECT_FALSE(fs::exists(recovery));
}

TEST_F(Recovery, AutosaveZeroWritesNothingAndAQuitRemovesTheFile) {
    harness_state_home();
    start_on_saved_scene({"-autosave", "0"});
    add_object();
    std::string recovery = recovery_of(scene_file());
    ASSERT_FALSE(frames_until([&] { return fs::exists(recovery); }, 1.5));
    harness_stop();
    started = false;

    start_on_saved_scene({"-autosave", "1"});
    add_object();
    ASSERT_TRUE(frames_until([&] { return fs::exists(recovery); }, 5));
    // Quit, "no" to saving: the program ends and the recovery goes with it.
    harness_key_down(KEY_ESCAPE);
    ASSERT_TRUE(frames());
    harness_key_up(KEY_ESCAPE);
    ASSERT_TRUE(question_open());
    EXPECT_FALSE(answer(1));
    EXPECT_FALSE(fs::exists(recovery));
}

TEST_F(Recovery, StartUpOffersANewerRecoveryAndYesLoadsItUnderTheScenePath) {
    harness_state_home();
    std::string sample = read_file(std::string(TARNISK_DATA_DIR) + "/samples/sample.scene");
    // The recovered scene: the sample with one more object, as the program wrote it.
    start_on_saved_scene();
    add_object();
    std::string recovered = serialized();
    harness_stop();
    started = false;
    plant_recovery(scene_file(), recovered);

    start_on_saved_scene();
    ASSERT_TRUE(question_open());
    EXPECT_EQ(text(recovery_question_text()), "recover unsaved changes of " + scene_file() + "?");
    ASSERT_TRUE(answer(0));
    EXPECT_FALSE(question_open());
    EXPECT_EQ(serialized(), recovered);
    EXPECT_EQ(text(editor.scene.scene_path), scene_file());
    EXPECT_TRUE(editor.scene.scene_modified);
    // The scene's file is untouched until the user saves.
    EXPECT_EQ(read_file(scene_file()), sample);
}

TEST_F(Recovery, NoDeletesTheRecoveryAndAnOlderOneIsNotOffered) {
    harness_state_home();
    std::string sample = read_file(std::string(TARNISK_DATA_DIR) + "/samples/sample.scene");
    write_file(scene_file(), sample);
    plant_recovery(scene_file(), sample);
    start_on_saved_scene();
    std::string recovery = recovery_of(scene_file());
    ASSERT_TRUE(question_open());
    ASSERT_TRUE(answer(1));
    EXPECT_FALSE(fs::exists(recovery));
    EXPECT_FALSE(editor.scene.scene_modified);
    EXPECT_EQ(serialized(), sample);
    harness_stop();
    started = false;

    // Saved after the recovery was written: the recovery is stale.
    plant_recovery(scene_file(), sample);
    fs::last_write_time(recovery, fs::last_write_time(scene_file()) - std::chrono::seconds(5));
    start_on_saved_scene();
    EXPECT_FALSE(question_open());
    EXPECT_TRUE(fs::exists(recovery));
}

TEST_F(Recovery, DamagedRecoveryIsRefusedAndLeftOnDisk) {
    harness_state_home();
    std::string sample = read_file(std::string(TARNISK_DATA_DIR) + "/samples/sample.scene");
    std::string damaged = sample.substr(0, sample.size() / 2);
    write_file(scene_file(), sample);
    plant_recovery(scene_file(), damaged);
    start_on_saved_scene();
    std::string recovery = recovery_of(scene_file());
    ASSERT_TRUE(question_open());
    platform_clear_message_boxes();
    ASSERT_TRUE(answer(0));
    ASSERT_EQ(platform_message_box_count(), 1);
    EXPECT_STREQ(platform_message_box(0)->title, "invalid file");
    EXPECT_EQ(std::string(platform_message_box(0)->text), recovery + " is damaged!");
    EXPECT_EQ(read_file(recovery), damaged);
    EXPECT_EQ(serialized(), sample);
    EXPECT_EQ(text(editor.scene.scene_path), scene_file());
    EXPECT_FALSE(editor.scene.scene_modified);
}

TEST_F(Recovery, UntitledSceneIsOfferedAtStartUp) {
    harness_state_home();
    start();
    add_object();
    std::string recovered = serialized();
    harness_stop();
    started = false;
    plant_recovery("", recovered);
    start();
    ASSERT_TRUE(question_open());
    EXPECT_EQ(text(recovery_question_text()), "recover unsaved changes of untitled?");
    ASSERT_TRUE(answer(0));
    EXPECT_EQ(serialized(), recovered);
    EXPECT_EQ(editor.scene.scene_path.length, 0);
    EXPECT_TRUE(editor.scene.scene_modified);
}

// The child half of the crash test: edits, waits for the autosave, tells the
// parent what the scene was, and runs until it is killed.
TEST_F(Recovery, DISABLED_CrashChild) {
    const char* scene = std::getenv("TARNISK_CRASH_SCENE");
    const char* report = std::getenv("TARNISK_CRASH_REPORT");
    ASSERT_TRUE(scene && report);
    start({scene, "-autosave", "1"});
    add_object();
    ASSERT_TRUE(frames_until([&] { return fs::exists(recovery_of(scene)); }, 10));
    std::string before_kill = serialized();
    ASSERT_TRUE(frames_until([&] { return read_file(recovery_of(scene)) == before_kill; }, 10));
    write_file(std::string(report) + ".part", before_kill);
    fs::rename(std::string(report) + ".part", report);
    frames_until([] { return false; }, 60);
}

TEST_F(Recovery, SigkillAfterAnAutosaveLosesNothing) {
    std::string sample = read_file(std::string(TARNISK_DATA_DIR) + "/samples/sample.scene");
    write_file(scene_file(), sample);
    std::string report = folder + "/before-kill";
    std::string scene_variable = "TARNISK_CRASH_SCENE=" + scene_file();
    std::string report_variable = "TARNISK_CRASH_REPORT=" + report;
    std::string state_variable = std::string("XDG_STATE_HOME=") + harness_state_home();
    std::vector<char*> environment;
    for (char** e = environ; *e; e++) environment.push_back(*e);
    environment.push_back(scene_variable.data());
    environment.push_back(report_variable.data());
    environment.push_back(state_variable.data());
    environment.push_back(const_cast<char*>("TARNISK_KEEP_STATE_HOME=1"));
    environment.push_back(nullptr);
    char filter[] = "--gtest_filter=Recovery.DISABLED_CrashChild";
    char disabled[] = "--gtest_also_run_disabled_tests";
    char self[] = "/proc/self/exe";
    char* argv[] = {self, filter, disabled, nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, environment.data()), 0);
    bool reported = false;
    for (int i = 0; i < 600 && !reported; i++) {
        reported = fs::exists(report);
        if (!reported) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(reported) << "the child never autosaved";
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    std::string before_kill = read_file(report);

    std::string path = scene_file();
    start({path.c_str()});
    ASSERT_TRUE(question_open());
    ASSERT_TRUE(answer(0));
    EXPECT_EQ(serialized(), before_kill);
    EXPECT_NE(serialized(), sample);
    EXPECT_EQ(text(editor.scene.scene_path), path);
    EXPECT_TRUE(editor.scene.scene_modified);
}

}  // namespace
