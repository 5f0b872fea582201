// The registry as its callers rely on it: keys made with their parents, names without case,
// typed values, the sizes and codes of short buffers, stable enumeration, whole-tree deletion,
// values kept across a restart, and a damaged file that fails every call without stopping anyone.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/shell/registry.h"

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            std::filesystem::temp_directory_path() / ("tandu-registry-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        UseFile(folder / "registry.sqlite3");
    }
    void TearDown() override {
        platform::registry::CloseDatabase();
        unsetenv("TANDU_REGISTRY");
        std::filesystem::remove_all(folder);
    }
    void UseFile(const std::filesystem::path& path) {
        platform::registry::CloseDatabase();
        setenv("TANDU_REGISTRY", path.c_str(), 1);
    }
    HKEY Create(const WCHAR* path, REGSAM access = KEY_ALL_ACCESS) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, access, nullptr, &key, nullptr), 0);
        return key;
    }
    LONG SetDword(HKEY key, const WCHAR* name, DWORD n) {
        return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), 4);
    }
    // Value "n" of the key at path, each opening the key by path as a storage does.
    LONG WriteN(const WCHAR* path, DWORD n) {
        HKEY k = nullptr;
        LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr);
        if (rc) return rc;
        rc = SetDword(k, u"n", n);
        RegCloseKey(k);
        return rc;
    }
    LONG ReadN(const WCHAR* path, DWORD* n) {
        HKEY k = nullptr;
        LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &k);
        if (rc) return rc;
        DWORD size = 4;
        rc = RegQueryValueExW(k, u"n", nullptr, nullptr, reinterpret_cast<BYTE*>(n), &size);
        RegCloseKey(k);
        return rc;
    }
    // Every name an enumeration gives, in its order.
    template <class Enumerate> std::vector<std::u16string> Names(HKEY key, Enumerate enumerate) {
        std::vector<std::u16string> out;
        for (DWORD i = 0;; ++i) {
            WCHAR name[256];
            DWORD units = 256;
            LONG rc = enumerate(key, i, name, &units);
            if (rc == LONG(ERROR_NO_MORE_ITEMS)) break;
            EXPECT_EQ(rc, 0);
            if (rc) break;
            out.emplace_back(name, units);
        }
        return out;
    }
    std::vector<std::u16string> SubKeys(HKEY key) {
        return Names(key, [](HKEY k, DWORD i, WCHAR* name, DWORD* units) {
            return RegEnumKeyExW(k, i, name, units, nullptr, nullptr, nullptr, nullptr);
        });
    }
    std::vector<std::u16string> ValueNames(HKEY key) {
        return Names(key, [](HKEY k, DWORD i, WCHAR* name, DWORD* units) {
            return RegEnumValueW(k, i, name, units, nullptr, nullptr, nullptr, nullptr);
        });
    }

    std::filesystem::path folder;
};

TEST_F(RegistryTest, KeysAreMadeWithTheirParentsAndFoundWithoutCase) {
    HKEY missing = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Kestrum", 0, KEY_READ, &missing),
              LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(missing, nullptr);

    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Kestrum\\Пример\\b", 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, &disposition),
              0);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\kestrum\\ПРИМЕР\\B", 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, &disposition),
              0);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY) << "Cyrillic names fold too";
    RegCloseKey(key);

    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"software\\KESTRUM", 0, KEY_READ, &parent), 0);
    EXPECT_EQ(SubKeys(parent), std::vector<std::u16string>{u"Пример"}) << "the name keeps the case it was made with";
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Kestrum", 0, KEY_READ, &key), LONG(ERROR_FILE_NOT_FOUND))
        << "the hives are apart";
    RegCloseKey(parent);
    EXPECT_EQ(RegCloseKey(parent), LONG(ERROR_INVALID_HANDLE)) << "a closed key is gone";
}

TEST_F(RegistryTest, ValuesKeepTheirTypeAndTellTheSizeABufferNeeds) {
    HKEY key = Create(u"Software\\Test");
    const WCHAR text[] = u"привет";
    ASSERT_EQ(RegSetValueExW(key, u"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text)), 0);
    ASSERT_EQ(SetDword(key, u"Number", 0xDEADBEEF), 0);
    const uint64_t wide = (uint64_t(1) << 32) + 7;
    ASSERT_EQ(RegSetValueExW(key, u"Wide", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&wide), 8), 0);
    ASSERT_EQ(RegSetValueExW(key, u"Empty", 0, REG_BINARY, nullptr, 0), 0);

    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(key, u"TEXT", nullptr, &type, nullptr, &size), 0) << "size only";
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, sizeof(text));
    BYTE small[4];
    size = sizeof(small);
    EXPECT_EQ(RegQueryValueExW(key, u"text", nullptr, &type, small, &size), LONG(ERROR_MORE_DATA));
    EXPECT_EQ(size, sizeof(text)) << "the size needed";
    WCHAR back[16] = {};
    size = sizeof(back);
    ASSERT_EQ(RegQueryValueExW(key, u"Text", nullptr, &type, reinterpret_cast<BYTE*>(back), &size), 0);
    EXPECT_EQ(std::u16string(back), text);

    DWORD n = 0;
    size = 4;
    ASSERT_EQ(RegQueryValueExW(key, u"number", nullptr, &type, reinterpret_cast<BYTE*>(&n), &size), 0);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(n, 0xDEADBEEF);
    uint64_t q = 0;
    size = 8;
    ASSERT_EQ(RegQueryValueExW(key, u"Wide", nullptr, &type, reinterpret_cast<BYTE*>(&q), &size), 0);
    EXPECT_EQ(type, REG_QWORD);
    EXPECT_EQ(q, wide);
    size = 99;
    ASSERT_EQ(RegQueryValueExW(key, u"Empty", nullptr, &type, small, &size), 0);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(RegQueryValueExW(key, u"None", nullptr, &type, small, &size), LONG(ERROR_FILE_NOT_FOUND));

    // Names already folded are used as given; others fold, beyond ASCII too. The unnamed value is
    // one value, whether named by null or by "".
    const std::vector<std::pair<const WCHAR*, const WCHAR*>> spellings = {
        {u"ЗНАЧЕНИЕ", u"значение"}, {u"значение", u"ЗнАчЕнИе"}, {nullptr, u""}, {u"", nullptr}};
    for (const auto& [written, read] : spellings) {
        ASSERT_EQ(SetDword(key, written, 41), 0);
        n = 0;
        size = 4;
        ASSERT_EQ(RegQueryValueExW(key, read, nullptr, &type, reinterpret_cast<BYTE*>(&n), &size), 0);
        EXPECT_EQ(n, 41u);
        ASSERT_EQ(RegDeleteValueW(key, read), 0);
        EXPECT_EQ(RegQueryValueExW(key, written, nullptr, &type, nullptr, &size), LONG(ERROR_FILE_NOT_FOUND));
    }

    EXPECT_EQ(RegDeleteValueW(key, u"NUMBER"), 0);
    EXPECT_EQ(RegDeleteValueW(key, u"Number"), LONG(ERROR_FILE_NOT_FOUND));
    RegCloseKey(key);

    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Test", 0, KEY_READ, &readOnly), 0);
    EXPECT_EQ(SetDword(readOnly, u"n", 1), LONG(ERROR_ACCESS_DENIED));
    RegCloseKey(readOnly);
}

TEST_F(RegistryTest, EnumerationIsStableAndCountsAreTold) {
    HKEY key = Create(u"Software\\Order");
    for (const WCHAR* name : {u"delta", u"Alpha", u"charlie", u"Bravo"})
        RegCloseKey(Create((std::u16string(u"Software\\Order\\") + name).c_str()));
    for (const WCHAR* name : {u"z", u"a", u"m"})
        ASSERT_EQ(SetDword(key, name, 1), 0);
    ASSERT_EQ(SetDword(key, u"A", 2), 0) << "rewriting keeps the value's place";
    EXPECT_EQ(SubKeys(key), (std::vector<std::u16string>{u"Alpha", u"Bravo", u"charlie", u"delta"}));
    EXPECT_EQ(ValueNames(key), (std::vector<std::u16string>{u"z", u"a", u"m"}));

    DWORD subKeys = 0, values = 0, longestName = 0, longestData = 0;
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, &longestName,
                               &longestData, nullptr, nullptr),
              0);
    EXPECT_EQ(subKeys, 4u);
    EXPECT_EQ(values, 3u);
    EXPECT_EQ(longestName, 1u);
    EXPECT_EQ(longestData, 4u);

    // A name buffer too short gets ERROR_MORE_DATA; a data buffer too short tells the size.
    WCHAR name[4];
    DWORD units = 4;
    EXPECT_EQ(RegEnumKeyExW(key, 0, name, &units, nullptr, nullptr, nullptr, nullptr), LONG(ERROR_MORE_DATA));
    units = 4;
    BYTE data[2];
    DWORD size = sizeof(data), type = 0;
    EXPECT_EQ(RegEnumValueW(key, 0, name, &units, nullptr, &type, data, &size), LONG(ERROR_MORE_DATA));
    EXPECT_EQ(size, 4u);

    // A walk that changes what it walks: an index counts the rows there now.
    auto valueAt = [&](DWORD index) {
        WCHAR found[8];
        DWORD length = 8;
        return RegEnumValueW(key, index, found, &length, nullptr, nullptr, nullptr, nullptr) == 0
                   ? std::u16string(found)
                   : u"(none)";
    };
    auto keyAt = [&](DWORD index) {
        WCHAR found[16];
        DWORD length = 16;
        return RegEnumKeyExW(key, index, found, &length, nullptr, nullptr, nullptr, nullptr) == 0
                   ? std::u16string(found)
                   : u"(none)";
    };
    EXPECT_EQ(valueAt(0) + valueAt(1), u"za");
    ASSERT_EQ(RegDeleteValueW(key, u"z"), 0);
    EXPECT_EQ(valueAt(1) + valueAt(2), u"m(none)");
    EXPECT_EQ(keyAt(0) + keyAt(1), u"AlphaBravo");
    ASSERT_EQ(RegDeleteKeyW(key, u"Alpha"), 0);
    EXPECT_EQ(keyAt(1) + keyAt(1) + keyAt(2), u"charliecharliedelta");
    RegCloseKey(key);
}

TEST_F(RegistryTest, DeletingAKeyTakesItsSubtreeAndLeavesItsHandlesDead) {
    HKEY leaf = Create(u"Software\\Tree\\a\\b\\c");
    ASSERT_EQ(SetDword(leaf, u"n", 1), 0);
    HKEY tree = Create(u"Software\\Tree");
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Tree\\A"), 0);
    EXPECT_TRUE(SubKeys(tree).empty());
    DWORD size = 4, n = 0;
    EXPECT_EQ(RegQueryValueExW(leaf, u"n", nullptr, nullptr, reinterpret_cast<BYTE*>(&n), &size),
              LONG(ERROR_KEY_DELETED));
    EXPECT_EQ(SetDword(leaf, u"n", 2), LONG(ERROR_KEY_DELETED)) << "nothing is written under a deleted key";
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Tree\\a"), LONG(ERROR_FILE_NOT_FOUND));
    HKEY again = Create(u"Software\\Tree\\a\\b\\c");
    EXPECT_EQ(RegQueryValueExW(again, u"n", nullptr, nullptr, nullptr, &size), LONG(ERROR_FILE_NOT_FOUND))
        << "a key made again starts empty";
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"\\"), LONG(ERROR_ACCESS_DENIED)) << "a hive stays";
    for (HKEY k : {leaf, tree, again})
        RegCloseKey(k);
}

TEST_F(RegistryTest, AKeyAnotherProgramDeletedAndMadeAgainIsFoundAgain) {
    HKEY key = Create(u"Software\\Cache\\k");
    ASSERT_EQ(SetDword(key, u"n", 1), 0);
    RegCloseKey(key);
    const auto read = [&](DWORD* n) { return ReadN(u"Software\\Cache\\K", n); };
    DWORD n = 0;
    ASSERT_EQ(read(&n), 0);
    EXPECT_EQ(n, 1u);

    // Another program, through its own connection, deletes the key and makes it again.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "registry.sqlite3").c_str(), &other), SQLITE_OK);
    const auto run = [&](const char* sql) { return sqlite3_exec(other, sql, nullptr, nullptr, nullptr); };
    ASSERT_EQ(run("PRAGMA busy_timeout = 5000;"
                  "CREATE TEMP TABLE gone AS SELECT id, parent FROM keys WHERE folded = 'k';"
                  "DELETE FROM vals WHERE key IN (SELECT id FROM gone);"
                  "DELETE FROM keys WHERE id IN (SELECT id FROM gone);"
                  "INSERT INTO keys(parent, name, folded) SELECT parent, 'k', 'k' FROM gone;"
                  "INSERT INTO vals(key, name, folded, type, data) VALUES(last_insert_rowid(), 'n', 'n', 4,"
                  " x'02000000');"),
              SQLITE_OK);
    ASSERT_EQ(read(&n), 0);
    EXPECT_EQ(n, 2u) << "the new key's value";
    ASSERT_EQ(run("DELETE FROM vals WHERE key IN (SELECT id FROM keys WHERE folded = 'k');"
                  "DELETE FROM keys WHERE folded = 'k';"),
              SQLITE_OK);
    EXPECT_EQ(read(&n), LONG(ERROR_FILE_NOT_FOUND)) << "gone, as opening it would have said";

    // Deleted again under a path cached for writing: the next write makes the key, as opening would have.
    ASSERT_EQ(WriteN(u"Software\\Cache\\k", 3), 0);
    ASSERT_EQ(run("DELETE FROM vals WHERE key IN (SELECT id FROM keys WHERE folded = 'k');"
                  "DELETE FROM keys WHERE folded = 'k';"),
              SQLITE_OK);
    EXPECT_EQ(WriteN(u"Software\\Cache\\k", 4), 0) << "the write is not lost";
    ASSERT_EQ(read(&n), 0);
    EXPECT_EQ(n, 4u);
    sqlite3_close(other);
}

// A storage opens its key by path on every call, and the cache answers the last path without a
// lookup: keys met in turn, a key deleted and made again, another spelling and a database closed
// under it must each find the key that stands now.
TEST_F(RegistryTest, KeysOpenedByPathCallAfterCallFindTheKeyThatStandsNow) {
    const auto write = [&](const WCHAR* path, DWORD n) { return WriteN(path, n); };
    const auto read = [&](const WCHAR* path, DWORD* n) { return ReadN(path, n); };
    DWORD n = 0;
    for (DWORD round = 1; round <= 3; ++round) {
        ASSERT_EQ(write(u"Software\\Memo\\a", round), 0);
        ASSERT_EQ(write(u"Software\\Memo\\b", 10 * round), 0);
        ASSERT_EQ(read(u"Software\\Memo\\a", &n), 0);
        EXPECT_EQ(n, round);
        ASSERT_EQ(read(u"Software\\Memo\\b", &n), 0);
        EXPECT_EQ(n, 10 * round);
    }
    ASSERT_EQ(read(u"SOFTWARE\\memo\\A", &n), 0) << "another spelling of a cached key";
    EXPECT_EQ(n, 3u);

    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Memo\\a"), 0);
    EXPECT_EQ(read(u"SOFTWARE\\memo\\A", &n), LONG(ERROR_FILE_NOT_FOUND)) << "the last path read, deleted";
    EXPECT_EQ(read(u"Software\\Memo\\a", &n), LONG(ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(read(u"Software\\Memo\\b", &n), 0);
    EXPECT_EQ(n, 30u);
    ASSERT_EQ(write(u"Software\\Memo\\a", 4), 0);
    ASSERT_EQ(read(u"Software\\Memo\\a", &n), 0);
    EXPECT_EQ(n, 4u) << "the key made again";

    // The database closed and opened on another file: nothing cached from the first is used.
    UseFile(folder / "other.sqlite3");
    EXPECT_EQ(read(u"Software\\Memo\\a", &n), LONG(ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(write(u"Software\\Memo\\b", 7), 0);
    ASSERT_EQ(read(u"Software\\Memo\\b", &n), 0);
    EXPECT_EQ(n, 7u);
    UseFile(folder / "registry.sqlite3");
    ASSERT_EQ(read(u"Software\\Memo\\b", &n), 0);
    EXPECT_EQ(n, 30u);
}

TEST_F(RegistryTest, ValuesOutliveTheProgram) {
    HKEY key = Create(u"Software\\Kept");
    ASSERT_EQ(SetDword(key, u"n", 42), 0);
    platform::registry::CloseDatabase(); // as a program that ended
    EXPECT_EQ(RegCloseKey(key), LONG(ERROR_INVALID_HANDLE)) << "handles do not outlive their database";
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Kept", 0, KEY_READ, &key), 0);
    DWORD n = 0, size = 4;
    ASSERT_EQ(RegQueryValueExW(key, u"n", nullptr, nullptr, reinterpret_cast<BYTE*>(&n), &size), 0);
    EXPECT_EQ(n, 42u);
    RegCloseKey(key);
    EXPECT_TRUE(std::filesystem::exists(folder / "registry.sqlite3"));
}

TEST_F(RegistryTest, ADamagedOrUnreadableFileFailsEveryCallWithAClearMessage) {
    struct Case {
        const char* what;
        std::function<std::filesystem::path()> make;
    };
    const std::vector<Case> cases = {
        {"not a database",
         [&] {
             std::ofstream(folder / "garbage.sqlite3") << std::string(8192, 'x');
             return folder / "garbage.sqlite3";
         }},
        {"a damaged page",
         [&] {
             UseFile(folder / "damaged.sqlite3");
             for (int i = 0; i < 200; ++i) {
                 HKEY key = Create((u"Software\\K" + std::u16string(1, char16_t(u'A' + i % 26)) + u"\\" +
                                    std::u16string(20, char16_t(u'a' + i % 26)) + char16_t(u'0' + i / 26))
                                       .c_str());
                 SetDword(key, u"n", DWORD(i));
                 RegCloseKey(key);
             }
             platform::registry::CloseDatabase();
             std::fstream file(folder / "damaged.sqlite3", std::ios::in | std::ios::out | std::ios::binary);
             file.seekp(4096 + 16);
             file << std::string(2000, '\x5a');
             return folder / "damaged.sqlite3";
         }},
        {"a folder", [&] { return folder; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::filesystem::path path = c.make();
        UseFile(path);
        ::testing::internal::CaptureStderr();
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  LONG(ERROR_BADDB));
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, KEY_READ, &key), LONG(ERROR_BADDB));
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("the registry " + path.string() + " cannot be used"), std::string::npos) << said;
        EXPECT_EQ(said.find('\n'), said.size() - 1) << "said once: " << said;
    }
}

} // namespace
