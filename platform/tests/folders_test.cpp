// The free space of a folder's volume, on a real volume of a known size, the Windows folder, and
// starting programs by their device paths.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/shell/folders.h"
#include "platform/shell/handles.h"
#include "platform/shell/process.h"
#include "platform/tests/small_volume.h"
#include "platform/win/last_error.h"

namespace {

namespace fs = std::filesystem;

class FoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("tandu-folders-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
        setenv("TANDU_ROOT", root_.c_str(), 1);
    }
    void TearDown() override {
        platform::SetFreeSpaceOverride(std::nullopt);
        unsetenv("TANDU_ROOT");
        fs::remove_all(root_);
    }
    fs::path root_;
};

TEST_F(FoldersTest, FreeSpaceIsTheVolumesOwnAnswer) {
    const uint64_t size = 1 << 20;
    if (!test::MountSmallVolume(root_ / "volume", size)) GTEST_SKIP() << "this machine does not let the test mount";
    fs::create_directories(root_ / "volume" / "Sub");
    ULARGE_INTEGER free{}, total{}, totalFree{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\volume\\Sub", &free, &total, &totalFree));
    EXPECT_EQ(free.QuadPart, size);
    EXPECT_EQ(total.QuadPart, size);
    EXPECT_EQ(totalFree.QuadPart, size);
    std::ofstream(root_ / "volume" / "quarter") << std::string(size / 4, 'x');
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\VOLUME\\sub", &free, nullptr, nullptr)) << "names ignore case";
    EXPECT_EQ(free.QuadPart, size - size / 4);
    test::UnmountSmallVolume(root_ / "volume");
}

TEST_F(FoldersTest, AMissingFolderHasNoVolumeAndTheOverrideAnswersForTheRest) {
    ULARGE_INTEGER free{};
    SetLastError(0);
    EXPECT_FALSE(GetDiskFreeSpaceExW(u"\\missing", &free, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    platform::SetFreeSpaceOverride(12345);
    EXPECT_FALSE(GetDiskFreeSpaceExW(u"\\missing", &free, nullptr, nullptr));
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\", &free, nullptr, nullptr));
    EXPECT_EQ(free.QuadPart, 12345u);
}

TEST_F(FoldersTest, TheWindowsFolderIsToldWhenItExistsOrIsMade) {
    WCHAR path[MAX_PATH] = u"left";
    SetLastError(0);
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, CSIDL_WINDOWS, FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(std::u16string(path), u"left") << "a failed query leaves the buffer as it was";
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 0x26, TRUE)) << "only the Windows folder is known";
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_WINDOWS, TRUE));
    EXPECT_EQ(std::u16string(path), u"\\Windows");
    EXPECT_TRUE(fs::is_directory(root_ / "Windows"));
    path[0] = 0;
    EXPECT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_WINDOWS, FALSE));
    EXPECT_EQ(std::u16string(path), u"\\Windows");
}

// A program that writes its arguments, one a line, beside itself.
TEST_F(FoldersTest, AProgramStartsByItsDevicePathWithItsArguments) {
    const fs::path program = root_ / "My Programs" / "note.exe";
    fs::create_directories(program.parent_path());
    std::ofstream(program) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"" << (root_ / "args").string()
                           << "\"\n";
    fs::permissions(program, fs::perms::owner_all);
    struct Case {
        const char16_t* application;
        const char16_t* commandLine;
        const char* args;
    };
    const Case cases[] = {
        {u"\\My Programs\\note.exe", nullptr, ""},
        {u"\\my programs\\NOTE.EXE", nullptr, ""},
        {u"\\My Programs\\note.exe", u"one \"two words\"", "one\ntwo words\n"},
        {nullptr, u"\"\\My Programs\\note.exe\" a", "a\n"},
    };
    for (const Case& c : cases) {
        fs::remove(root_ / "args");
        std::u16string line = c.commandLine ? c.commandLine : u"";
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessW(c.application, c.commandLine ? line.data() : nullptr, nullptr, nullptr, FALSE,
                                   CREATE_NEW_CONSOLE, nullptr, nullptr, nullptr, &info));
        int status = -1;
        ASSERT_EQ(waitpid(pid_t(info.dwProcessId), &status, 0), pid_t(info.dwProcessId));
        EXPECT_EQ(status, 0);
        std::ifstream written(root_ / "args");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), c.args);
        EXPECT_TRUE(CloseHandle(info.hProcess));
        EXPECT_TRUE(CloseHandle(info.hThread));
    }
}

TEST_F(FoldersTest, WhatCannotRunDoesNotStart) {
    std::ofstream(root_ / "plain.txt") << "text";
    fs::create_directories(root_ / "folder.exe");
    std::u16string unclosed = u"\"\\plain.txt";
    struct Case {
        const char16_t* application;
        WCHAR* commandLine;
        DWORD error;
    };
    const Case cases[] = {
        {u"\\missing.exe", nullptr, ERROR_FILE_NOT_FOUND},   {u"\\plain.txt", nullptr, ERROR_FILE_NOT_FOUND},
        {u"\\folder.exe", nullptr, ERROR_FILE_NOT_FOUND},    {nullptr, nullptr, ERROR_INVALID_PARAMETER},
        {nullptr, unclosed.data(), ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(CreateProcessW(c.application, c.commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                                    nullptr));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_TRUE(waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD) << "nothing was started";
}

} // namespace
