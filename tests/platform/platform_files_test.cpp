// The platform calls that need no window and that the importer's second
// thread relies on: placing a read anywhere in a file, and starting and
// joining a thread.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "core/containers.h"
#include "platform/platform.h"

namespace {

String view(const std::string& text) {
    return String{reinterpret_cast<const uint8_t*>(text.data()), (int64_t)text.size()};
}

TEST(PlatformFiles, SeekPlacesTheNextReadAndRefusesWhatCannotBeRead) {
    std::string path =
        (std::filesystem::temp_directory_path() / ("tarnisk_seek_" + std::to_string(getpid()) + ".txt")).string();
    std::ofstream(path, std::ios::binary) << "0123456789abcdef";
    String name = view(path);
    FileHandle file = file_open(&name, FILE_READ);
    ASSERT_FALSE(file_failed(file));

    char bytes[8] = {};
    ASSERT_TRUE(file_seek(file, 10));
    EXPECT_EQ(file_read(file, 4, bytes), 4);
    EXPECT_EQ(std::string(bytes, 4), "abcd");
    // Back to the start after reading further on: the read follows the seek.
    ASSERT_TRUE(file_seek(file, 0));
    EXPECT_EQ(file_read(file, 3, bytes), 3);
    EXPECT_EQ(std::string(bytes, 3), "012");
    // Past the end is a place to stand, with nothing to read there.
    EXPECT_TRUE(file_seek(file, 100));
    EXPECT_EQ(file_read(file, 4, bytes), 0);
    EXPECT_FALSE(file_seek(file, -1));
    file_close(file);

    String missing = S("/nonexistent/tarnisk_seek.txt");
    FileHandle failed = file_open(&missing, FILE_READ);
    EXPECT_FALSE(file_seek(failed, 0));
    file_close(failed);
    std::filesystem::remove(path);
}

TEST(PlatformThreads, AStartedThreadRunsWithItsDataAndJoinWaitsForIt) {
    struct Work {
        std::atomic<int> runs{0};
        int64_t sum = 0;
    } work;
    ThreadHandle thread;
    ASSERT_TRUE(thread_start(&thread, [](void* data) {
        Work* w = static_cast<Work*>(data);
        for (int64_t i = 1; i <= 100000; i++) w->sum += i;
        w->runs++;
    }, &work));
    thread_join(&thread);
    // Joined: every write of the thread is visible, and it ran once.
    EXPECT_EQ(work.runs.load(), 1);
    EXPECT_EQ(work.sum, (int64_t)100000 * 100001 / 2);
    EXPECT_FALSE(thread.started);
    thread_join(&thread);   // a second join does nothing

    ThreadHandle never{};
    thread_join(&never);    // nor does joining a thread never started

    int32_t spare = processors_spare();
    EXPECT_GE(spare, 0);
    EXPECT_LT(spare, (int32_t)sysconf(_SC_NPROCESSORS_ONLN));
}

}  // namespace
