// The file dialog's listing without a window: what is listed where, and that
// browsing back and forth reuses the dialog's memory.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "app/editor.h"
#include "scene/file_dialog.h"
#include "support/pool_fixture.h"

namespace {

namespace fs = std::filesystem;

std::string text(String s) { return std::string(reinterpret_cast<const char*>(s.data), (size_t)s.length); }

class FileDialogListing : public PoolTest {
protected:
    std::string folder, previous;
    FileDialog dialog;
    void SetUp() override {
        PoolTest::SetUp();
        char name[] = "/tmp/tarnisk-listing-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder = name;
        previous = fs::current_path().string();
        fs::current_path(folder);
        std::memset(&dialog, 0, sizeof dialog);
    }
    void TearDown() override {
        fs::current_path(previous);
        std::error_code error;
        fs::remove_all(folder, error);
        PoolTest::TearDown();
    }
    void touch(const std::string& path) { std::ofstream(folder + "/" + path) << "x"; }
};

TEST_F(FileDialogListing, RootAndSubfolders) {
    fs::create_directories(folder + "/b/c");
    fs::create_directories(folder + "/A");
    touch("z");
    touch("Y");
    touch("b/inner");
    file_dialog_list(&dialog, S(""));
    ASSERT_EQ(dialog.folders.count, 2);   // neither "." nor ".." at the root
    EXPECT_EQ(text(dialog.folders.data[0]), "A");
    EXPECT_EQ(text(dialog.folders.data[1]), "b");
    ASSERT_EQ(dialog.files.count, 2);
    EXPECT_EQ(text(dialog.files.data[0]), "Y");
    EXPECT_EQ(text(dialog.files.data[1]), "z");

    dialog.scroll = 40;
    file_dialog_list(&dialog, S("b"));
    EXPECT_EQ(dialog.scroll, 0);
    EXPECT_EQ(text(dialog.directory), "b");
    ASSERT_EQ(dialog.folders.count, 2);
    EXPECT_EQ(text(dialog.folders.data[0]), "..");
    EXPECT_EQ(text(dialog.folders.data[1]), "c");
    ASSERT_EQ(dialog.files.count, 1);
    EXPECT_EQ(text(dialog.files.data[0]), "inner");
}

TEST_F(FileDialogListing, AFolderThatCannotBeReadStillLeadsBack) {
    file_dialog_list(&dialog, S("gone"));
    EXPECT_EQ(text(dialog.directory), "gone");
    ASSERT_EQ(dialog.folders.count, 1);
    EXPECT_EQ(text(dialog.folders.data[0]), "..");
    EXPECT_EQ(dialog.files.count, 0);
}

TEST_F(FileDialogListing, ListingItsOwnDirectoryAgainIsSafe) {
    fs::create_directories(folder + "/deep/er");
    file_dialog_list(&dialog, S("deep/er"));
    // The argument views the dialog's own buffer, which the listing rewrites.
    file_dialog_list(&dialog, dialog.directory);
    EXPECT_EQ(text(dialog.directory), "deep/er");
    file_dialog_list(&dialog, String{dialog.directory.data, 4});
    EXPECT_EQ(text(dialog.directory), "deep");
    ASSERT_EQ(dialog.folders.count, 2);
    EXPECT_EQ(text(dialog.folders.data[1]), "er");
}

TEST_F(FileDialogListing, BrowsingBackAndForthKeepsItsMemory) {
    fs::create_directories(folder + "/sub");
    for (int i = 0; i < 50; i++) touch("file" + std::to_string(i));
    file_dialog_list(&dialog, S(""));
    file_dialog_list(&dialog, S("sub"));
    int64_t used = pool_mark(POOL_PERSISTENT).used;
    for (int i = 0; i < 20; i++) {
        file_dialog_list(&dialog, S(""));
        file_dialog_list(&dialog, S("sub"));
    }
    EXPECT_EQ(pool_mark(POOL_PERSISTENT).used, used);
    EXPECT_EQ(pool_mark(POOL_FRAME).used, 0);   // scratch given back
}

}  // namespace
