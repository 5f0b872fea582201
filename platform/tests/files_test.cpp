#include "platform/shell/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/shell/path_map.h"

namespace fs = std::filesystem;

namespace {

std::u16string Device(const std::string& host) {
    std::u16string out = platform::WideFromUtf8(host);
    for (char16_t& c : out)
        if (c == u'/') c = u'\\';
    return out;
}

void WriteHostFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadHostFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Saves an environment variable and restores it when the test ends.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = getenv(name);
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (hadOld_)
            setenv(name_.c_str(), old_.c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

private:
    std::string name_;
    bool hadOld_ = false;
    std::string old_;
};

// A fresh host folder per test; device paths name it through the root "/" (TANDU_ROOT unset).
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "tandu-files-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        host_ = templ;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(host_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(host_, ignored);
    }
    // The device path of `relative` (written with '\') inside the test folder.
    std::u16string Path(const std::u16string& relative = u"") const {
        std::u16string base = Device(host_.string());
        return relative.empty() ? base : base + u"\\" + relative;
    }
    HANDLE Open(const std::u16string& relative, DWORD access, DWORD disposition) const {
        return CreateFileW(Path(relative).c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }
    std::vector<std::u16string> List(const std::u16string& pattern) const {
        std::vector<std::u16string> names;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(Path(pattern).c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return names;
        do
            names.push_back(data.cFileName);
        while (FindNextFileW(find, &data));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(find));
        return names;
    }

    ScopedEnv noRoot_{"TANDU_ROOT", nullptr};
    fs::path host_;
};

} // namespace

TEST_F(FilesTest, WriteSeekReadTruncate) {
    HANDLE h = Open(u"data.bin", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
    EXPECT_EQ(n, 11u);
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(h, &high), 11u);
    EXPECT_EQ(high, 0u);

    EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
    char buf[16] = {};
    ASSERT_TRUE(ReadFile(h, buf, 16, &n, nullptr)); // asks past the end: gets what is there
    EXPECT_EQ(std::string(buf, n), "world");
    ASSERT_TRUE(ReadFile(h, buf, 16, &n, nullptr)); // at the end: success with 0 bytes
    EXPECT_EQ(n, 0u);

    EXPECT_EQ(SetFilePointer(h, -5, nullptr, FILE_END), 6u);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 6u);
    EXPECT_EQ(SetFilePointer(h, -7, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, 3), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 6u); // failed moves leave it alone

    // Past 4 GiB a 32-bit caller gets a failure instead of a wrapped position.
    LONG hi = 1;
    EXPECT_EQ(SetFilePointer(h, 2, &hi, FILE_BEGIN), 2u);
    EXPECT_EQ(hi, 1);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    EXPECT_EQ(SetFilePointer(h, 5, nullptr, FILE_BEGIN), 5u);
    ASSERT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, nullptr), 5u);
    EXPECT_TRUE(FlushFileBuffers(h));
    ASSERT_TRUE(CloseHandle(h));
    EXPECT_EQ(ReadHostFile(host_ / "data.bin"), "hello");

    // Extending by seeking past the end and setting the end there.
    h = Open(u"data.bin", GENERIC_WRITE, OPEN_EXISTING);
    EXPECT_EQ(SetFilePointer(h, 8, nullptr, FILE_BEGIN), 8u);
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, nullptr), 8u);
    CloseHandle(h);
}

TEST_F(FilesTest, Dispositions) {
    struct Case {
        DWORD disposition;
        bool exists;
        bool opens;
        DWORD error;
        const char* contentAfter; // null: no file
    } cases[] = {
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {CREATE_NEW, false, true, ERROR_SUCCESS, ""},
        {99, true, false, ERROR_INVALID_PARAMETER, "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "disposition " << c.disposition << " exists " << c.exists);
        fs::remove(host_ / "f.txt");
        if (c.exists) WriteHostFile(host_ / "f.txt", "old");
        SetLastError(12345);
        HANDLE h = Open(u"f.txt", GENERIC_WRITE, c.disposition);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
        EXPECT_EQ(GetLastError(), c.error);
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(h));
        }
        if (c.contentAfter) {
            EXPECT_EQ(ReadHostFile(host_ / "f.txt"), c.contentAfter);
        } else {
            EXPECT_FALSE(fs::exists(host_ / "f.txt"));
        }
    }
}

TEST_F(FilesTest, OpenFailuresAndBadHandles) {
    EXPECT_EQ(Open(u"missing\\f.txt", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Open(u"missing\\f.txt", GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    fs::create_directory(host_ / "dir");
    EXPECT_EQ(Open(u"dir", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateFileW(u"", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileW(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);

    // Access is enforced per handle.
    WriteHostFile(host_ / "f.txt", "abc");
    HANDLE reader = Open(u"f.txt", GENERIC_READ, OPEN_EXISTING);
    HANDLE writer = Open(u"f.txt", GENERIC_WRITE, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    DWORD n = 99;
    char buf[4];
    EXPECT_FALSE(WriteFile(reader, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(SetEndOfFile(reader));
    EXPECT_FALSE(ReadFile(writer, buf, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    // Handles that are not (or no longer) open files fail without touching memory.
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Path(u"*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int local = 0;
    for (HANDLE bad : {HANDLE(nullptr), INVALID_HANDLE_VALUE, HANDLE(&local), find}) {
        n = 99;
        EXPECT_FALSE(ReadFile(bad, buf, 1, &n, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_EQ(n, 0u);
        EXPECT_FALSE(WriteFile(bad, "x", 1, &n, nullptr));
        EXPECT_EQ(GetFileSize(bad, nullptr), INVALID_FILE_SIZE);
        EXPECT_EQ(SetFilePointer(bad, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
        EXPECT_FALSE(SetEndOfFile(bad));
        EXPECT_FALSE(CloseHandle(bad));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    EXPECT_FALSE(FindClose(reader)); // a file handle is not a search
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find));
    EXPECT_TRUE(CloseHandle(reader));
    EXPECT_FALSE(CloseHandle(reader));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(CloseHandle(writer));
}

TEST_F(FilesTest, PathsIgnoreCaseAndAcceptBothSeparators) {
    WriteHostFile(host_ / "Images" / "Logo.PNG", "png");
    // Mixed separators, doubled separators and another case all reach the same file.
    for (const char16_t* name : {u"images\\logo.png", u"IMAGES/LOGO.png", u"Images\\\\Logo.PNG", u"iMaGeS/./lOgO.pNg",
                                 u"other\\..\\images\\logo.png"}) {
        SCOPED_TRACE(platform::Utf8FromWide(name, std::char_traits<char16_t>::length(name)));
        HANDLE h = Open(name, GENERIC_READ, OPEN_EXISTING);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        char buf[8];
        DWORD n = 0;
        EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
        EXPECT_EQ(std::string(buf, n), "png");
        CloseHandle(h);
    }
    // A new file in a folder named in another case goes into that folder.
    HANDLE h = Open(u"IMAGES\\New.txt", GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(fs::exists(host_ / "Images" / "New.txt"));
    // Cyrillic names fold too.
    WriteHostFile(host_ / "Папка" / "Файл.txt", "ru");
    EXPECT_NE(GetFileAttributesW(Path(u"ПАПКА\\файл.TXT").c_str()), INVALID_FILE_ATTRIBUTES);
    // An exact match wins over a case-insensitive one.
    WriteHostFile(host_ / "images" / "logo.png", "lower");
    EXPECT_EQ(platform::HostPathFromDevice(Path(u"images\\logo.png")), (host_ / "images" / "logo.png").string());
}

TEST_F(FilesTest, FindListsMatchesIgnoringCase) {
    for (const char* name : {"a.txt", "B.TXT", "c.dat", "ab", "abc.txt", ".hidden"})
        WriteHostFile(host_ / name, "12345");
    fs::create_directory(host_ / "sub");
    fs::create_directory(host_ / "empty");

    struct Case {
        const char16_t* pattern;
        std::vector<std::u16string> names;
    } cases[] = {
        {u"*", {u".", u"..", u".hidden", u"a.txt", u"ab", u"abc.txt", u"B.TXT", u"c.dat", u"empty", u"sub"}},
        {u"*.*", {u".", u"..", u".hidden", u"a.txt", u"ab", u"abc.txt", u"B.TXT", u"c.dat", u"empty", u"sub"}},
        {u"*.txt", {u"a.txt", u"abc.txt", u"B.TXT"}},
        {u"?.TXT", {u"a.txt", u"B.TXT"}},
        {u"a*", {u"a.txt", u"ab", u"abc.txt"}},
        {u"*b*t", {u"abc.txt", u"B.TXT"}},
        {u"a?", {u"ab"}},
        {u"C.DAT", {u"c.dat"}},
        {u"nothing*", {}},
        {u"empty\\*", {u".", u".."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::Utf8FromWide(c.pattern, std::char_traits<char16_t>::length(c.pattern)));
        EXPECT_EQ(List(c.pattern), c.names);
    }

    WIN32_FIND_DATAW data;
    EXPECT_EQ(FindFirstFileW(Path(u"nothing*").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirstFileW(Path(u"missing\\*").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(FindFirstFileW(Path(u"sub\\").c_str(), &data), INVALID_HANDLE_VALUE);

    // The entry of one exact path carries the size, attributes and times.
    fs::permissions(host_ / "c.dat", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    HANDLE find = FindFirstFileW(Path(u"C.DAT").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_READONLY);
    ULONGLONG written = (ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    long long unixWritten = (long long)((written - FILETIME_UNIX_EPOCH) / 10000000ULL);
    EXPECT_LE(std::llabs(unixWritten - (long long)time(nullptr)), 60);
    EXPECT_FALSE(CloseHandle(find)); // searches close with FindClose only
    FindClose(find);

    ASSERT_NE(find = FindFirstFileW(Path(u"SUB").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(std::u16string(data.cFileName), u"sub");
    FindClose(find);
    ASSERT_NE(find = FindFirstFileW(Path(u".hidden").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_HIDDEN);
    FindClose(find);

    EXPECT_EQ(GetFileAttributesW(Path(u"sub").c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(Path(u"a.txt").c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesW(Path(u"nope").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesW(Path(u"nope\\x").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FilesTest, DeleteMoveCopyAndFolders) {
    WriteHostFile(host_ / "a.txt", "aaa");
    WriteHostFile(host_ / "b.txt", "bbb");

    // Copy: refuses to replace when asked, never truncates the source onto itself.
    EXPECT_FALSE(CopyFileW(Path(u"a.txt").c_str(), Path(u"b.txt").c_str(), TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_FALSE(CopyFileW(Path(u"a.txt").c_str(), Path(u"A.TXT").c_str(), FALSE));
    EXPECT_EQ(ReadHostFile(host_ / "a.txt"), "aaa");
    EXPECT_TRUE(CopyFileW(Path(u"a.txt").c_str(), Path(u"b.txt").c_str(), FALSE));
    EXPECT_EQ(ReadHostFile(host_ / "b.txt"), "aaa");
    EXPECT_TRUE(CopyFileW(Path(u"a.txt").c_str(), Path(u"c.txt").c_str(), TRUE));
    EXPECT_EQ(ReadHostFile(host_ / "c.txt"), "aaa");
    EXPECT_FALSE(CopyFileW(Path(u"missing").c_str(), Path(u"d.txt").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // Move: refuses an existing target; a change of case alone renames.
    EXPECT_FALSE(MoveFileW(Path(u"a.txt").c_str(), Path(u"B.txt").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadHostFile(host_ / "b.txt"), "aaa");
    EXPECT_TRUE(MoveFileW(Path(u"c.txt").c_str(), Path(u"d.txt").c_str()));
    EXPECT_FALSE(fs::exists(host_ / "c.txt"));
    EXPECT_TRUE(MoveFileW(Path(u"d.txt").c_str(), Path(u"D.TXT").c_str()));
    EXPECT_TRUE(fs::exists(host_ / "D.TXT"));
    EXPECT_FALSE(fs::exists(host_ / "d.txt"));
    EXPECT_FALSE(MoveFileW(Path(u"missing").c_str(), Path(u"e.txt").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // Folders.
    EXPECT_TRUE(CreateDirectoryW(Path(u"Dir").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryW(Path(u"dir").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryW(Path(u"x\\y").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(MoveFileW(Path(u"D.TXT").c_str(), Path(u"dir\\d.txt").c_str()));
    EXPECT_FALSE(RemoveDirectoryW(Path(u"DIR").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(DeleteFileW(Path(u"dir").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(RemoveDirectoryW(Path(u"a.txt").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_TRUE(DeleteFileW(Path(u"DIR\\D.TXT").c_str()));
    EXPECT_TRUE(RemoveDirectoryW(Path(u"DIR").c_str()));
    EXPECT_FALSE(fs::exists(host_ / "Dir"));
    EXPECT_FALSE(DeleteFileW(Path(u"a.txt\\x").c_str()));
    EXPECT_FALSE(DeleteFileW(Path(u"gone").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FilesTest, DeviceRootMapsUnderTanduRoot) {
    ScopedEnv root("TANDU_ROOT", host_.c_str());
    EXPECT_TRUE(CreateDirectoryW(u"\\Data", nullptr));
    HANDLE h = CreateFileW(u"\\data\\x.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(fs::exists(host_ / "Data" / "x.txt"));
    EXPECT_EQ(List(u""), std::vector<std::u16string>{}); // Path() is a host path: outside this root
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(u"\\*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    EXPECT_EQ(platform::DevicePathFromHost((host_ / "Data" / "x.txt").string()), u"\\Data\\x.txt");
    EXPECT_EQ(platform::DevicePathFromHost("/somewhere/else"), u"");
    // Nothing climbs above the device root.
    EXPECT_EQ(platform::HostPathFromDevice(u"\\..\\..\\data\\.\\X.TXT"), (host_ / "Data" / "x.txt").string());
    EXPECT_EQ(platform::HostPathFromDevice(u"\\data\\..\\..\\"), host_.string() + "/");

    // The temporary folder lies outside this root, so the device's own one is used, and works.
    ScopedEnv tmp("TMPDIR", "/tmp");
    WCHAR temp[MAX_PATH];
    DWORD len = GetTempPathW(MAX_PATH, temp);
    EXPECT_EQ(std::u16string(temp, len), u"\\Temp\\");
    std::u16string file = std::u16string(temp) + u"t.tmp";
    h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(fs::exists(host_ / "Temp" / "t.tmp"));
}

TEST_F(FilesTest, TempPathEndsWithBackslashAndIsUsable) {
    ScopedEnv tmp("TMPDIR", host_.c_str());
    WCHAR temp[MAX_PATH];
    DWORD len = GetTempPathW(MAX_PATH, temp);
    ASSERT_GT(len, 0u);
    EXPECT_EQ(temp[len - 1], u'\\');
    EXPECT_EQ(std::u16string(temp, len), Path() + u"\\");
    EXPECT_EQ(GetTempPathW(len, temp), len + 1); // too small: the size needed
    std::u16string file = std::u16string(temp) + u"nubo1234.tmp";
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(fs::exists(host_ / "nubo1234.tmp"));
}

TEST_F(FilesTest, ModuleFileNameRoundTripsWithAndWithoutRoot) {
    for (const char* rootValue : {static_cast<const char*>(nullptr), host_.c_str()}) {
        ScopedEnv root("TANDU_ROOT", rootValue);
        WCHAR name[1024];
        DWORD len = GetModuleFileNameW(nullptr, name, 1024);
        ASSERT_GT(len, 0u);
        EXPECT_EQ(name[0], u'\\');
        EXPECT_EQ(platform::HostPathFromDevice(name), platform::ProgramHostPath());
        EXPECT_NE(GetFileAttributesW(name), INVALID_FILE_ATTRIBUTES);
        // A folder beside the program, named in another case, is found through the program path.
        std::u16string folder(name, std::u16string(name).rfind(u'\\'));
        EXPECT_EQ(platform::HostPathFromDevice(folder + u"\\RESOURCES\\main.box"),
                  fs::path(platform::ProgramHostPath()).parent_path().string() + "/RESOURCES/main.box");

        WCHAR small[4];
        EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 4u);
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(std::u16string(small), std::u16string(name, 3));
    }
}
