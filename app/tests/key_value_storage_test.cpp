// keyValueStorage as scene scripts use it, over a registry in a temporary file; and the registry
// under it surviving a program killed in the middle of its writes.
#include "app/key_value_storage.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/tests/script_scene.h"
#include "app/win_main.h"
#include "platform/backend/headless.h"
#include "platform/crt/wide.h"
#include "platform/shell/registry.h"
#include "runtime/result_codes.h"
#include "runtime/script_constructors.h"
#include "runtime/stream.h"

namespace {

constexpr const WCHAR* kRoot = u"Software\\Kestrum\\XKeyValueStorage";

// The number of the script error a result code raises, as scripts print it.
std::string Hex(int32_t code) {
    char text[16];
    std::snprintf(text, sizeof(text), "%x", uint32_t(NUBO::HResultFromResult(code)));
    return text;
}

class KeyValueStorageTest : public test::ScriptSceneTest {
protected:
    void SetUp() override {
        test::ScriptSceneTest::SetUp();
        platform::registry::CloseDatabase();
        setenv("TANDU_REGISTRY", (folder / "registry.sqlite3").c_str(), 1);
        ASSERT_EQ(NUBO::CreateScriptObjectConstructor(CreateXKeyValueStorage, &constructor), 0);
        ASSERT_EQ(GetShell()->AddNamedObject(NUBO::TWString(u"keyValueStorage"), constructor), 0);
    }
    void TearDown() override {
        test::ScriptSceneTest::TearDown();
        constructor->Release();
        platform::registry::CloseDatabase();
        unsetenv("TANDU_REGISTRY");
    }

    // The registry value under the storage root's `path`: its type and bytes; type REG_NONE when absent.
    std::pair<DWORD, std::vector<BYTE>> Stored(const std::u16string& path, const WCHAR* name) {
        HKEY key = nullptr;
        std::u16string full = std::u16string(kRoot) + (path.empty() ? u"" : u"\\" + path);
        if (RegOpenKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, KEY_READ, &key) != 0) return {REG_NONE, {}};
        DWORD type = REG_NONE, size = 0;
        std::vector<BYTE> data;
        if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == 0) {
            data.resize(size);
            RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
        } else {
            type = REG_NONE;
        }
        RegCloseKey(key);
        return {type, data};
    }
    bool KeyExists(const WCHAR* path) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != 0) return false;
        RegCloseKey(key);
        return true;
    }

    NUBO::XObject* constructor = nullptr;
};

TEST_F(KeyValueStorageTest, StoragesNestAndValuesKeepTheirKinds) {
    oxScene* scene = OpenSceneWithScript(
        "var s = new keyValueStorage(), t = new keyValueStorage();\n"
        "function code(f) { try { f(); return 'ok'; } catch (e) { return (e.number >>> 0).toString(16); } }\n");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(Eval(scene, "s.open('chat.history'); s.setValue('n', 5); s.getValue('n')"), "5");
    auto [type, data] = Stored(u"chat\\history", u"n");
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(data, (std::vector<BYTE>{5, 0, 0, 0}));
    EXPECT_EQ(Eval(scene, "s.open('chat'); var c = s.getChildStorages(); c.count + ' ' + c.valueAtIndex(0)"),
              "1 history")
        << "open alone makes nothing, and chat was made as history's parent";

    struct Case {
        const char* script;
        std::string expected;
    } cases[] = {
        // A boolean writes nothing and succeeds.
        {"s.open('prefs'); s.setValue('b', true); s.getValue('b', 1) + ' ' + s.keyExists('b')", "1 false"},
        {"typeof s.getValue('missing') + ' ' + s.keyExists('missing')", "undefined false"},
        {"s.setValue('text', 'привет'); s.getValue('text') + ' ' + s.keyExists('TEXT')", "привет true"},
        {"s.setValue('neg', 2.5); typeof s.getValue('neg')", "number"},
        {"s.removeKey('text'); s.removeKey('text'); '' + s.keyExists('text')", "false"},
        {"t.open('nowhere'); t.getValue('x', 'fallback') + ' ' + t.getAll().allKeys().count + ' ' +"
         " t.getChildStorages().count",
         "fallback 0 0"},
        {"t.removeKey('x'); 'removed'", "removed"},
        // Two objects are apart: each has its own storage open.
        {"t.open('other'); t.setValue('n', 9); s.open('chat.history'); s.getValue('n') + ' ' + t.getValue('n')", "5 9"},
        {"code(function () { s.removeStorage('no.such.storage'); })", Hex(NUBO::XR_NOT_FOUND)},
        {"code(function () { s.open(); })", Hex(NUBO::XR_TOO_FEW_ARGS)},
        {"code(function () { s.setValue('only a name'); })", Hex(NUBO::XR_TOO_FEW_ARGS)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Eval(scene, c.script), c.expected) << c.script;
    EXPECT_EQ(Stored(u"prefs", u"b").first, REG_NONE);
    EXPECT_TRUE(KeyExists(u"Software\\Kestrum\\XKeyValueStorage\\prefs")) << "the key is made all the same";
}

TEST_F(KeyValueStorageTest, AWideNumberReadsAsItsLow32BitsAndLargeValuesAreListed) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::u16string(kRoot) + u"\\seeded").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
              0);
    const uint64_t wide = (uint64_t(1) << 32) + 7;
    ASSERT_EQ(RegSetValueExW(key, u"wide", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&wide), 8), 0);
    ASSERT_EQ(RegSetValueExW(key, u"multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(u"a\0b\0"), 10), 0);
    const std::u16string longName(300, u'x');
    ASSERT_EQ(RegSetValueExW(key, longName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(u"x"), 4), 0);
    RegCloseKey(key);

    oxScene* scene = OpenSceneWithScript("var s = new keyValueStorage(); s.open('seeded');\n"
                                         "var big = new Array(2001).join('y');\n"
                                         "s.setValue('small', 'a'); s.setValue('big', big); s.setValue('after', 3);\n");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(Eval(scene, "s.getValue('wide')"), "7");
    EXPECT_EQ(Eval(scene, "typeof s.getValue('multi')"), "undefined") << "other types read as empty";
    EXPECT_EQ(Eval(scene, "s.getValue('big').length"), "2000");
    EXPECT_EQ(Stored(u"seeded", u"big").second.size(), 2u * 2000 + 2);
    EXPECT_EQ(Eval(scene, "var all = s.getAll(); var k = all.allKeys(); var names = []; for (var i = 0; i < k.count; "
                          "++i) names.push(k.valueAtIndex(i)); names.sort().join(',')"),
              "after,big,multi,small,wide")
        << "every value but the one whose name is too long, the large one included";
    EXPECT_EQ(Eval(scene, "var all = s.getAll(); all.big.length + ' ' + all.small + ' ' + all.after + ' ' + all.wide"),
              "2000 a 3 7");
}

TEST_F(KeyValueStorageTest, StreamsAreStoredWholeAndReadBackAsNewStreams) {
    NUBO::XStream* stream = nullptr;
    ASSERT_EQ(NUBO::XStream::Create(&stream), 0);
    std::vector<BYTE> bytes(3000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = BYTE(i * 7);
    uint32_t written = 0;
    ASSERT_EQ(stream->Write(bytes.data(), uint32_t(bytes.size()), &written), 0);
    stream->Seek(100, 0);
    ASSERT_EQ(GetShell()->AddNamedObject(NUBO::TWString(u"picture"), stream), 0);
    oxScene* scene = OpenSceneWithScript("var s = new keyValueStorage(); s.open('media');\n"
                                         "s.setValue('picture', picture); s.setValue('notAStream', s);\n");
    ASSERT_NE(scene, nullptr);
    auto [type, data] = Stored(u"media", u"picture");
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(data, bytes) << "the whole content, whatever the position";
    int64_t position = 0;
    stream->GetPosition(&position);
    EXPECT_EQ(position, 3000) << "left at its end";
    auto [otherType, other] = Stored(u"media", u"notAStream");
    EXPECT_EQ(otherType, REG_BINARY);
    EXPECT_TRUE(other.empty()) << "an object that is no stream writes an empty value";
    stream->Release();

    XKeyValueRegistryStore store;
    store.Open(u"media");
    NUBO::XVariant value;
    ASSERT_EQ(store.GetValue(u"picture", &value), 0);
    NUBO::XObject* object = value.ToXObject();
    ASSERT_NE(object, nullptr);
    ASSERT_TRUE(NUBO::XObject::IsKindOf(object, &NUBO::XStream::Descriptor));
    auto* back = static_cast<NUBO::XStream*>(object);
    back->GetPosition(&position);
    EXPECT_EQ(position, 0);
    std::vector<BYTE> read(4000);
    uint32_t count = 0;
    back->Read(read.data(), uint32_t(read.size()), &count);
    read.resize(count);
    EXPECT_EQ(read, bytes);
    object->Release();
    EXPECT_EQ(Eval(scene, "typeof s.getValue('picture')"), "object");
}

TEST_F(KeyValueStorageTest, RemovingStoragesTakesEmptyParentsOnly) {
    oxScene* scene = OpenSceneWithScript("var s = new keyValueStorage();\n"
                                         "s.open('a.b'); s.setValue('n', 1); s.open('a.c'); s.setValue('n', 2);\n"
                                         "s.open('mobileTandu'); s.setValue('n', 3);\n");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(Eval(scene, "s.removeStorage('a.b'); s.open('a'); s.getChildStorages().count"), "1");
    EXPECT_EQ(Eval(scene, "s.removeStorage('a'); s.open(''); s.getChildStorages().valueAtIndex(0)"), "mobileTandu");
    EXPECT_TRUE(KeyExists(u"Software\\Kestrum"));

    // Something else under the company key keeps it.
    HKEY other = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Kestrum\\Other", 0, nullptr, 0, KEY_WRITE, nullptr, &other,
                              nullptr),
              0);
    RegCloseKey(other);
    EXPECT_EQ(Eval(scene, "s.removeStorage(''); 'done'"), "done");
    EXPECT_FALSE(KeyExists(kRoot));
    EXPECT_TRUE(KeyExists(u"Software\\Kestrum"));
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Kestrum\\Other"), 0);

    EXPECT_EQ(Eval(scene, "s.open('x'); s.setValue('n', 1); s.removeStorage(''); 'done'"), "done");
    EXPECT_FALSE(KeyExists(u"Software\\Kestrum")) << "an empty company key goes with the last storage";
    EXPECT_TRUE(KeyExists(u"Software"));
    EXPECT_EQ(Eval(scene, "try { s.removeStorage(new Array(300).join('z')); 'removed' } catch (e) { 'refused' }"),
              "refused")
        << "too long a name is refused, not cut to another storage's";
}

TEST_F(KeyValueStorageTest, ManyValuesAndDeepTreesTakeOneWalk) {
    // 20,000 values are listed, and a storage 5,000 levels deep removed, each in one pass over the
    // rows: a walk restarted for every value or level would take minutes.
    constexpr int kValues = 20000, kLevels = 5000;
    HKEY key = nullptr;
    const std::u16string many = std::u16string(kRoot) + u"\\many";
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, many.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), 0);
    for (int i = 0; i < kValues; ++i) {
        const std::u16string name = u"v" + platform::WideFromUtf8(std::to_string(i));
        const DWORD n = DWORD(i);
        ASSERT_EQ(RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), 4), 0);
    }
    RegCloseKey(key);
    HKEY level = nullptr;
    const std::u16string deep = std::u16string(kRoot) + u"\\deep";
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, deep.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &level, nullptr), 0);
    for (int i = 0; i < kLevels; ++i) {
        HKEY below = nullptr;
        ASSERT_EQ(RegCreateKeyExW(level, u"d", 0, nullptr, 0, KEY_WRITE, nullptr, &below, nullptr), 0);
        if (i == kLevels / 2) {
            ASSERT_EQ(RegSetValueExW(below, u"n", 0, REG_SZ, reinterpret_cast<const BYTE*>(u"x"), 4), 0);
        }
        RegCloseKey(level);
        level = below;
    }
    RegCloseKey(level);

    oxScene* scene = OpenSceneWithScript("var s = new keyValueStorage(); s.open('many'); var all = s.getAll();\n");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(Eval(scene, "all.allKeys().count + ' ' + all.valueForKey('v0') + ' ' + all.valueForKey('v19999')"),
              "20000 0 19999");
    EXPECT_EQ(Eval(scene, "s.removeStorage('deep'); s.open(''); s.getChildStorages().valueAtIndex(0) + ' ' +"
                          " s.getChildStorages().count"),
              "many 1");
    EXPECT_FALSE(KeyExists((deep + u"\\d").c_str()));
}

TEST_F(KeyValueStorageTest, ValuesSurviveARestartAndAClosedStorageActsOnTheHive) {
    oxScene* scene = OpenSceneWithScript("var s = new keyValueStorage();\n");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(Eval(scene, "s.open('mobileTandu'); s.setValue('login', 'anna'); s.close(); s.setValue('top', 1);"
                          " s.getValue('top')"),
              "1");
    platform::registry::CloseDatabase(); // as the program ending and starting again
    EXPECT_EQ(Eval(scene, "var r = new keyValueStorage(); r.open('mobileTandu'); r.getValue('login')"), "anna");
    DWORD n = 0, size = 4;
    EXPECT_EQ(RegQueryValueExW(HKEY_CURRENT_USER, u"top", nullptr, nullptr, reinterpret_cast<BYTE*>(&n), &size), 0);
    EXPECT_EQ(n, 1u);
}

TEST_F(KeyValueStorageTest, ADamagedRegistryHoldsNothingAndRefusesWrites) {
    platform::registry::CloseDatabase();
    { std::ofstream(folder / "registry.sqlite3") << std::string(4096, '\x01'); }
    ::testing::internal::CaptureStderr();
    oxScene* scene = OpenSceneWithScript(
        "var s = new keyValueStorage(); s.open('x');\n"
        "function code(f) { try { return f(); } catch (e) { return (e.number >>> 0).toString(16); } }\n");
    ASSERT_NE(scene, nullptr);
    // Reads find nothing stored, as in a first run; writes say they were not kept.
    const struct {
        const char* expression;
        std::string expected;
    } cases[] = {
        {"typeof code(function () { return s.getValue('n'); })", "undefined"},
        {"code(function () { return s.getValue('n', 1); })", "1"},
        {"String(s.keyExists('n'))", "false"},
        {"s.getAll().allKeys().count + ' ' + s.getChildStorages().count", "0 0"},
        {"code(function () { s.setValue('n', 1); })", Hex(NUBO::XR_FAIL)},
        {"code(function () { s.removeStorage('x'); })", Hex(NUBO::XR_FAIL)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Eval(scene, c.expression), c.expected) << c.expression;
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("cannot be used"), std::string::npos) << said;
}

// A child process writes 10,000 values, saying after each which one returned; it is killed at a
// point, and every value it said was written must be there in a database that opens cleanly.
TEST(KeyValueStorageKillTest, NoReturnedWriteIsLostWhenTheProgramIsKilled) {
    const std::string path = std::filesystem::temp_directory_path() / ("tandu-kill-" + std::to_string(getpid()));
    constexpr int kWrites = 10000;
    for (int killAt : {1, 2500, 5000, 7500}) {
        SCOPED_TRACE(killAt);
        platform::registry::CloseDatabase();
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(path + suffix);
        setenv("TANDU_REGISTRY", path.c_str(), 1);
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeFds[0]);
            XKeyValueRegistryStore store;
            store.Open(u"mobileTandu.history");
            for (int i = 0; i < kWrites; ++i) {
                const std::u16string name = u"v" + platform::WideFromUtf8(std::to_string(i));
                if (store.SetValue(name.c_str(), NUBO::XVariant(i)) != 0) _exit(2);
                if (write(pipeFds[1], &i, sizeof(i)) != sizeof(i)) _exit(3);
            }
            _exit(0);
        }
        close(pipeFds[1]);
        int last = -1, got = 0;
        while (last < killAt && read(pipeFds[0], &got, sizeof(got)) == sizeof(got))
            last = got;
        kill(child, SIGKILL);
        while (read(pipeFds[0], &got, sizeof(got)) == sizeof(got))
            last = got;
        close(pipeFds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_GE(last, killAt) << "the child wrote too few";
        EXPECT_TRUE(WIFSIGNALED(status) && last < kWrites - 1) << "killed before the end";

        XKeyValueRegistryStore store;
        store.Open(u"mobileTandu.history");
        int missing = 0;
        for (int i = 0; i <= last; ++i) {
            NUBO::XVariant value;
            const std::u16string name = u"v" + platform::WideFromUtf8(std::to_string(i));
            if (store.GetValue(name.c_str(), &value) != 0 || value.ToInt32() != i) ++missing;
        }
        EXPECT_EQ(missing, 0) << "of " << last + 1 << " writes that returned";
        // A write after the kill works: the file is whole.
        EXPECT_EQ(store.SetValue(u"after", NUBO::XVariant(1)), 0);
    }
    platform::registry::CloseDatabase();
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(path + suffix);
    unsetenv("TANDU_REGISTRY");
}

} // namespace

namespace {

int32_t readOnStart = -1;

// The program starts and runs on a damaged registry: the storage's calls fail, it says why once,
// and the first scene opens and closes as always.
TEST(KeyValueStorageProgramTest, TheProgramRunsOnADamagedRegistry) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tandu-kvs-program-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "registry.sqlite3") << std::string(4096, 'x');
    platform::registry::CloseDatabase();
    setenv("TANDU_REGISTRY", (folder / "registry.sqlite3").c_str(), 1);
    setenv("TANDU_RUNTIME_DIR", folder.c_str(), 1);
    platform::headless::UseVirtualClock(0);
    app::SetRunBound(1);
    app::SetSceneDriver([](Shell*) {
        XKeyValueRegistryStore store;
        store.Open(u"mobileTandu");
        NUBO::XVariant value;
        readOnStart = store.GetValue(u"login", &value);
    });
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(readOnStart, NUBO::XR_NOT_FOUND) << "nothing is stored";
    EXPECT_NE(said.find("the registry " + (folder / "registry.sqlite3").string() + " cannot be used"),
              std::string::npos)
        << said;
    app::SetSceneDriver(nullptr);
    app::SetRunBound(0);
    platform::headless::UseRealClock();
    platform::registry::CloseDatabase();
    unsetenv("TANDU_REGISTRY");
    unsetenv("TANDU_RUNTIME_DIR");
    std::filesystem::remove_all(folder);
}

} // namespace
