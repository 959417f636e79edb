// The command line: every option, missing values and unknown arguments.
#include <gtest/gtest.h>

#include <vector>

#include "app/app.h"
#include "app/editor.h"

static LaunchOptions read_options(std::vector<const char*> values, std::string* printed = nullptr) {
    std::vector<String> strings;
    for (const char* v : values) strings.push_back(string_from_cstring(v));
    Array<String> arguments{strings.empty() ? nullptr : strings.data(), (int64_t)strings.size(),
                            (int64_t)strings.size(), 0};
    LaunchOptions options{false, false, 12, S("resources.txt"), {}, {}};
    testing::internal::CaptureStdout();
    launch_options_read(&options, arguments);
    std::string out = testing::internal::GetCapturedStdout();
    if (printed) *printed = out;
    return options;
}

static std::string text(String s) { return std::string(reinterpret_cast<const char*>(s.data), (size_t)s.length); }

TEST(LaunchOptions, DefaultsWithoutArguments) {
    std::string printed;
    LaunchOptions options = read_options({}, &printed);
    EXPECT_FALSE(options.fullscreen);
    EXPECT_FALSE(options.display_paced);
    EXPECT_EQ(options.sleep_amount, 12);
    EXPECT_EQ(text(options.resources_path), "resources.txt");
    EXPECT_EQ(printed, "");
    EXPECT_EQ(display_mode_for(options), 0x54);
}

TEST(LaunchOptions, ModeBytesFollowPacingAndFullscreen) {
    EXPECT_EQ(display_mode_for(read_options({"-f"})), 0x64);
    EXPECT_EQ(display_mode_for(read_options({"-fullscreen"})), 0x64);
    EXPECT_EQ(display_mode_for(read_options({"-v"})), 0x14);
    EXPECT_EQ(display_mode_for(read_options({"-v", "-f"})), 0x24);
}

TEST(LaunchOptions, SleepValues) {
    EXPECT_EQ(read_options({"-sleep", "-5"}).sleep_amount, -5);
    EXPECT_EQ(read_options({"-s", "30"}).sleep_amount, 30);
    EXPECT_EQ(read_options({"-sleep", "x"}).sleep_amount, 0);
    EXPECT_EQ(read_options({"-sleep"}).sleep_amount, 12);
    EXPECT_EQ(read_options({"-s", "1", "-s", "2"}).sleep_amount, 2);
}

TEST(LaunchOptions, ResourcePathAndUnknownArguments) {
    EXPECT_EQ(text(read_options({"-r", "other.txt"}).resources_path), "other.txt");
    EXPECT_EQ(text(read_options({"-r"}).resources_path), "resources.txt");
    std::string printed;
    LaunchOptions options = read_options({"-full", "-v", "x"}, &printed);
    EXPECT_EQ(printed, "unknown argument: -full\n");
    EXPECT_TRUE(options.display_paced);
    EXPECT_EQ(text(options.scene_path), "x");   // a bare argument is the scene to open
    // A value is consumed even when it looks like an option.
    EXPECT_EQ(text(read_options({"-r", "-v"}).resources_path), "-v");
}

TEST(LaunchOptions, SceneAndTemplate) {
    std::string printed;
    LaunchOptions options = read_options({"a.scene", "-v", "b.scene"}, &printed);
    EXPECT_EQ(text(options.scene_path), "a.scene");
    EXPECT_EQ(printed, "unknown argument: b.scene\n");   // one scene only
    options = read_options({"-template", "samples/sample.scene", "-s", "3"});
    EXPECT_EQ(text(options.template_path), "samples/sample.scene");
    EXPECT_EQ(options.scene_path.length, 0);
    EXPECT_EQ(options.sleep_amount, 3);
    // An option value is never taken for the scene.
    EXPECT_EQ(read_options({"-r", "list.txt"}).scene_path.length, 0);
    EXPECT_EQ(read_options({"-template"}).template_path.length, 0);
}
