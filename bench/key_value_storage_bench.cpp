// keyValueStorage through the script API against the same work done with SQLite's C API directly,
// in one run: 10,000 setValue calls, then 10,000 getValue calls, of 32-bit numbers under 10,000
// names in one storage. Our side runs a compiled loop in a scene's script context, so each call
// crosses the script bridge, opens the storage's key, writes or reads the value and closes the key.
// The peer keeps a table of (storage, name, value) in a database with the same journal and
// synchronous settings and runs one prepared upsert or select per value; each write is its own
// transaction on both sides. The peer runs twice: from C++, and as a script object called by the
// same loop through the same bridge, its names bound as the UTF-16 the bridge hands over to a
// UTF-16 database and its number answered as ours is, so that the bridge's share, which is not the
// storage's, is on both sides; and the storage itself runs from C++ beside the C++ peer. Setup (the names, the
// database, the scene) is outside the timer on both sides; each side checks that the values read add up to what was
// written.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/key_value_storage.h"
#include "bench/bench_smoke.h"
#include "platform/shell/path_map.h"
#include "platform/shell/registry.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_args.h"
#include "runtime/script_constructors.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/script_class.h"
#include "toolkit/script/shell.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"

namespace {

constexpr int kValues = 10000;
constexpr int kRepetitions = 5;
constexpr long long kSum = (long long)kValues * (kValues - 1) / 2;

// Every case: medians of repeated runs, in milliseconds.
void Medians(benchmark::internal::Benchmark* b) {
    b->Repetitions(bench_support::Repetitions(kRepetitions))->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
}

std::filesystem::path Folder() {
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tandu-kvs-bench-" + std::to_string(getpid()));
    return folder;
}

// The peer as a script object: `getValue(name)` and `setValue(name, value)` over one table of a
// UTF-16 database with the registry's journal settings, one prepared statement each.
struct ScriptPeerDatabase {
    sqlite3* db = nullptr;
    sqlite3_stmt* set = nullptr;
    sqlite3_stmt* get = nullptr;
    void Open() {
        sqlite3_open((Folder() / "script-peer.sqlite3").c_str(), &db);
        sqlite3_exec(db,
                     "PRAGMA encoding = 'UTF-16le'; PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;"
                     "CREATE TABLE vals(storage TEXT NOT NULL, name TEXT NOT NULL, value INTEGER NOT NULL,"
                     " UNIQUE(storage, name));",
                     nullptr, nullptr, nullptr);
        sqlite3_prepare_v3(db,
                           "INSERT INTO vals(storage, name, value) VALUES(?1, ?2, ?3)"
                           " ON CONFLICT(storage, name) DO UPDATE SET value = excluded.value",
                           -1, SQLITE_PREPARE_PERSISTENT, &set, nullptr);
        sqlite3_prepare_v3(db, "SELECT value FROM vals WHERE storage = ?1 AND name = ?2", -1, SQLITE_PREPARE_PERSISTENT,
                           &get, nullptr);
    }
    void Close() {
        sqlite3_finalize(set);
        sqlite3_finalize(get);
        sqlite3_close(db);
        *this = {};
    }
} scriptPeer;

constexpr const char16_t* kStorageName = u"mobileTandu.bench";

class ScriptPeer : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
};

int32_t PeerSetValue(ScriptPeer*, NUBO::XArgList* args, NUBO::XVariant*) {
    NUBO::XArgString name(args->GetArg(0));
    sqlite3_stmt* s = scriptPeer.set;
    sqlite3_bind_text16(s, 1, kStorageName, -1, SQLITE_STATIC);
    sqlite3_bind_text16(s, 2, name.GetString(), name.GetLength() * 2, SQLITE_STATIC);
    sqlite3_bind_int64(s, 3, args->GetArg(1)->ToUInt32());
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    return rc == SQLITE_DONE ? 0 : NUBO::XR_FAIL;
}

int32_t PeerGetValue(ScriptPeer*, NUBO::XArgList* args, NUBO::XVariant* out) {
    NUBO::XArgString name(args->GetArg(0));
    sqlite3_stmt* s = scriptPeer.get;
    sqlite3_bind_text16(s, 1, kStorageName, -1, SQLITE_STATIC);
    sqlite3_bind_text16(s, 2, name.GetString(), name.GetLength() * 2, SQLITE_STATIC);
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) *out = unsigned(sqlite3_column_int64(s, 0));
    sqlite3_reset(s);
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? 0 : NUBO::XR_FAIL;
}

const NUBO::XMemberEntry kPeerMembers[] = {
    script_class::MethodRow<1, PeerGetValue>("getValue"),
    script_class::MethodRow<2, PeerSetValue>("setValue"),
    NUBO::XMemberEnd(),
};
NUBO::XClassDescriptor ScriptPeer::Descriptor = {"ScriptPeer", 3, kPeerMembers, &XObject::Descriptor, 0, {}};

int32_t CreateScriptPeer(NUBO::XObject** out) {
    return script_class::CreateInstance<ScriptPeer>(out);
}

// A scene whose script holds a storage `s` (keyValueStorage, or the peer with `peer`) and the
// names; `call` is evaluated per iteration.
void RunScript(benchmark::State& state, const char16_t* call, bool checkSum, bool peer = false) {
    std::filesystem::remove_all(Folder());
    std::filesystem::create_directories(Folder());
    platform::registry::CloseDatabase();
    setenv("TANDU_REGISTRY", (Folder() / "registry.sqlite3").c_str(), 1);
    auto* app = new oxApplication();
    app->AddRef();
    app->Init();
    NUBO::XObject* constructor = nullptr;
    NUBO::CreateScriptObjectConstructor(peer ? CreateScriptPeer : CreateXKeyValueStorage, &constructor);
    app->GetShell()->AddNamedObject(NUBO::TWString(peer ? u"scriptPeer" : u"keyValueStorage"), constructor);
    if (peer) scriptPeer.Open();
    // The scene lies outside the resources folder, where markup loads no script: the bench runs it.
    const std::string script = std::string(peer ? "var s = new scriptPeer();\n"
                                                : "var s = new keyValueStorage(); s.open('mobileTandu.bench');\n") +
                               "var names = []; for (var i = 0; i < 10000; ++i) names.push('v' + i);\n"
                               "function set() { for (var i = 0; i < 10000; ++i) s.setValue(names[i], i);"
                               " return 0; }\n"
                               "function get() { var sum = 0; for (var i = 0; i < 10000; ++i)"
                               " sum += s.getValue(names[i]); return sum; }\n"
                               "set();\n";
    std::ofstream(Folder() / "s.box") << "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\"/>";
    const std::u16string path = platform::DevicePathFromHost((Folder() / "s.box").string());
    oxScene* scene =
        app->GetShell()->GetRuntime()->OpenSceneSimple(path.c_str(), nullptr, nullptr, nullptr, nullptr, false);
    oxScriptContext* raw = nullptr;
    if (scene) app->GetShell()->GetRuntime()->GetScriptContext(kAtomJavascript, scene, false, &raw);
    NUBO::RefPtr<oxScriptContext> context(raw);
    const std::u16string text = platform::WideFromUtf8(script.c_str());
    if (context && context->RunScript(NUBO::TWString(text.c_str()), u"", u"s.js") != 0) context = nullptr;
    NUBO::TWString expression(call);
    for (auto _ : state) {
        NUBO::XVariant result;
        if (!context || FAILED(context->Evaluate(expression, u"", &result))) {
            state.SkipWithError("the script failed");
            break;
        }
        if (checkSum && result.ToDouble() != double(kSum)) state.SkipWithError("the values read differ");
    }
    state.SetItemsProcessed(state.iterations() * kValues);
    context = nullptr;
    app->Shutdown();
    app->Release();
    constructor->Release();
    scriptPeer.Close();
    platform::registry::CloseDatabase();
    std::filesystem::remove_all(Folder());
}

// The storage under the script methods, called from C++: the same open, write or read and close
// of the key per value as a script's call makes, without the bridge.
struct Store {
    XKeyValueRegistryStore store;
    std::u16string names[kValues];
    Store() {
        std::filesystem::remove_all(Folder());
        std::filesystem::create_directories(Folder());
        platform::registry::CloseDatabase();
        setenv("TANDU_REGISTRY", (Folder() / "registry.sqlite3").c_str(), 1);
        store.Open(u"mobileTandu.bench");
        for (int i = 0; i < kValues; ++i)
            names[i] = u"v" + platform::WideFromUtf8(std::to_string(i));
    }
    ~Store() {
        platform::registry::CloseDatabase();
        std::filesystem::remove_all(Folder());
    }
    bool SetAll() {
        bool ok = true;
        for (int i = 0; i < kValues; ++i)
            ok &= store.SetValue(names[i].c_str(), NUBO::XVariant(i)) == 0;
        return ok;
    }
    long long GetAll() {
        long long sum = 0;
        for (int i = 0; i < kValues; ++i) {
            NUBO::XVariant value;
            if (store.GetValue(names[i].c_str(), &value) == 0) sum += value.ToUInt32();
        }
        return sum;
    }
};

// The peer: one table, the registry's journal settings, one prepared statement per kind of call.
struct Peer {
    sqlite3* db = nullptr;
    sqlite3_stmt* set = nullptr;
    sqlite3_stmt* get = nullptr;
    std::string names[kValues];

    Peer() {
        std::filesystem::remove_all(Folder());
        std::filesystem::create_directories(Folder());
        sqlite3_open((Folder() / "peer.sqlite3").c_str(), &db);
        sqlite3_exec(db,
                     "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;"
                     "CREATE TABLE vals(storage TEXT NOT NULL, name TEXT NOT NULL, value INTEGER NOT NULL,"
                     " UNIQUE(storage, name));",
                     nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(db,
                           "INSERT INTO vals(storage, name, value) VALUES(?1, ?2, ?3)"
                           " ON CONFLICT(storage, name) DO UPDATE SET value = excluded.value",
                           -1, &set, nullptr);
        sqlite3_prepare_v2(db, "SELECT value FROM vals WHERE storage = ?1 AND name = ?2", -1, &get, nullptr);
        for (int i = 0; i < kValues; ++i)
            names[i] = "v" + std::to_string(i);
    }
    ~Peer() {
        sqlite3_finalize(set);
        sqlite3_finalize(get);
        sqlite3_close(db);
        std::filesystem::remove_all(Folder());
    }
    void SetAll() {
        for (int i = 0; i < kValues; ++i) {
            sqlite3_bind_text(set, 1, "mobileTandu.bench", -1, SQLITE_STATIC);
            sqlite3_bind_text(set, 2, names[i].c_str(), int(names[i].size()), SQLITE_STATIC);
            sqlite3_bind_int64(set, 3, i);
            sqlite3_step(set);
            sqlite3_reset(set);
        }
    }
    long long GetAll() {
        long long sum = 0;
        for (int i = 0; i < kValues; ++i) {
            sqlite3_bind_text(get, 1, "mobileTandu.bench", -1, SQLITE_STATIC);
            sqlite3_bind_text(get, 2, names[i].c_str(), int(names[i].size()), SQLITE_STATIC);
            if (sqlite3_step(get) == SQLITE_ROW) sum += sqlite3_column_int64(get, 0);
            sqlite3_reset(get);
        }
        return sum;
    }
};

void BM_ScriptSetValue(benchmark::State& state) {
    RunScript(state, u"set()", false);
}
BENCHMARK(BM_ScriptSetValue)->Apply(Medians);

void BM_SqliteSetValue(benchmark::State& state) {
    Peer peer;
    peer.SetAll(); // the values stand before timing, as the script's setup writes them
    for (auto _ : state)
        peer.SetAll();
    if (peer.GetAll() != kSum) state.SkipWithError("the values written differ");
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_SqliteSetValue)->Apply(Medians);

void BM_ScriptPeerSetValue(benchmark::State& state) {
    RunScript(state, u"set()", false, true);
}
BENCHMARK(BM_ScriptPeerSetValue)->Apply(Medians);

void BM_StoreSetValue(benchmark::State& state) {
    Store store;
    store.SetAll(); // the values stand before timing, as the script's setup writes them
    for (auto _ : state)
        if (!store.SetAll()) state.SkipWithError("a write failed");
    if (store.GetAll() != kSum) state.SkipWithError("the values written differ");
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_StoreSetValue)->Apply(Medians);

void BM_ScriptGetValue(benchmark::State& state) {
    RunScript(state, u"get()", true);
}
BENCHMARK(BM_ScriptGetValue)->Apply(Medians);

void BM_SqliteGetValue(benchmark::State& state) {
    Peer peer;
    peer.SetAll();
    for (auto _ : state)
        if (peer.GetAll() != kSum) state.SkipWithError("the values read differ");
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_SqliteGetValue)->Apply(Medians);

void BM_ScriptPeerGetValue(benchmark::State& state) {
    RunScript(state, u"get()", true, true);
}
BENCHMARK(BM_ScriptPeerGetValue)->Apply(Medians);

void BM_StoreGetValue(benchmark::State& state) {
    Store store;
    store.SetAll();
    for (auto _ : state)
        if (store.GetAll() != kSum) state.SkipWithError("the values read differ");
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_StoreGetValue)->Apply(Medians);

} // namespace
