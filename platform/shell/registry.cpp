// The registry on SQLite. Keys are rows of `keys` (a parent, the name as given and the name folded
// to lower case, unique under the parent); values are rows of `vals` under their key, their
// rowid keeping the order of first writing. The database is UTF-16, so names go in and out
// without conversion. Open keys are small integers into a table of key ids.
//
// Durability: the journal is a write-ahead log with synchronous NORMAL. A commit is in the log,
// in the operating system's hands, when the call returns, so a crash or a kill of the program
// loses nothing that was written and the file always opens consistent; only a crash of the whole
// machine can drop the last few commits (never corrupt the file). FULL would add an fsync to every
// setValue on the one thread that also draws the screen, for a guarantee the phone's own registry,
// which flushed lazily, did not give either.
#include "platform/shell/registry.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/crt/wide.h"

namespace {

constexpr sqlite3_int64 kHiveClassesRoot = 3;
constexpr sqlite3_int64 kHiveCurrentUser = 1;
constexpr sqlite3_int64 kHiveLocalMachine = 2;
constexpr ULONG_PTR kFirstHandle = 0x1000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, name TEXT NOT NULL,"
    " folded TEXT NOT NULL, UNIQUE(parent, folded));"
    "CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL, name TEXT NOT NULL, folded TEXT NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, folded));"
    // A key's values in the order of writing, for enumeration.
    "CREATE INDEX IF NOT EXISTS vals_in_order ON vals(key);"
    "INSERT OR IGNORE INTO keys(id, parent, name, folded) VALUES"
    " (1, 0, 'HKEY_CURRENT_USER', 'hkey_current_user'), (2, 0, 'HKEY_LOCAL_MACHINE', 'hkey_local_machine'),"
    " (3, 0, 'HKEY_CLASSES_ROOT', 'hkey_classes_root');";

enum Statement {
    kFindChild,
    kAddKey,
    kKeyExists,
    kGetValue,
    kSetValue,
    kDeleteValue,
    kEnumKey,
    kEnumKeyFrom,
    kEnumValue,
    kEnumValueFrom,
    kKeyCounts,
    kValueCounts,
    kDeleteTreeValues,
    kDeleteTreeKeys,
    kBegin,
    kCommit,
    kRollback,
    kStatementCount
};

constexpr const char* kStatements[kStatementCount] = {
    "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2",
    "INSERT INTO keys(parent, name, folded) VALUES(?1, ?2, ?3)",
    "SELECT 1 FROM keys WHERE id = ?1",
    "SELECT type, data FROM vals WHERE key = ?1 AND folded = ?2",
    "INSERT INTO vals(key, name, folded, type, data) SELECT ?1, ?2, ?3, ?4, ?5"
    " WHERE EXISTS(SELECT 1 FROM keys WHERE id = ?1)"
    " ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data",
    "DELETE FROM vals WHERE key = ?1 AND folded = ?2",
    "SELECT name, folded FROM keys WHERE parent = ?1 ORDER BY folded LIMIT 1 OFFSET ?2",
    "SELECT name, folded FROM keys WHERE parent = ?1 AND folded >= ?2 ORDER BY folded LIMIT 1",
    "SELECT name, type, data, rowid FROM vals WHERE key = ?1 ORDER BY rowid LIMIT 1 OFFSET ?2",
    "SELECT name, type, data, rowid FROM vals WHERE key = ?1 AND rowid >= ?2 ORDER BY rowid LIMIT 1",
    "SELECT count(*), ifnull(max(length(name)), 0) FROM keys WHERE parent = ?1",
    "SELECT count(*), ifnull(max(length(name)), 0), ifnull(max(length(data)), 0) FROM vals WHERE key = ?1",
    "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id)"
    " DELETE FROM vals WHERE key IN tree",
    "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id)"
    " DELETE FROM keys WHERE id IN tree",
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
};

struct OpenKey {
    sqlite3_int64 id = 0; // 0: a free slot
    REGSAM access = 0;
    // A key opened from the path cache is looked up again when it turns out deleted: another
    // process may have deleted and made it again.
    bool cached = false;
    bool create = false; // opened to be made: a cached key found deleted is made again
    sqlite3_int64 hive = 0;
    std::u16string path; // as the caller spelt it; a free slot keeps its room for the next
};

// Keys found by path below a hive, so that opening a storage's key costs no statement. Ids are
// never reused, so an entry is at worst stale, never wrong: a key deleted under it shows. Paths
// are kept as spelt, so a hit costs no folding; two spellings of one key are two entries.
constexpr size_t kCacheLimit = 1024;

// Where the last enumeration step of a key stopped: a walk through index 0, 1, 2... goes on from
// there instead of counting past every row before it. Any change since makes it start again.
struct Cursor {
    sqlite3_int64 key = 0; // 0: none
    DWORD index = 0;
    sqlite3_int64 changes = 0;
    sqlite3_int64 rowid = 0; // values
    std::u16string folded;   // keys
    bool Continues(sqlite3_int64 id, DWORD at, sqlite3_int64 now) const {
        return key == id && changes == now && (at == index || at == index + 1);
    }
};
struct PathHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view path) const { return std::hash<std::u16string_view>()(path); }
};
using PathCache = std::unordered_map<std::u16string, sqlite3_int64, PathHash, std::equal_to<>>;

// The path cache's last hit: a storage opens the same key call after call, and comparing the path
// costs less than hashing it. Always one of the cache's entries, or none (hive 0).
struct LastPath {
    sqlite3_int64 hive = 0;
    std::u16string path;
    sqlite3_int64 id = 0;
    void Set(sqlite3_int64 h, std::u16string_view p, sqlite3_int64 i) {
        hive = h;
        path.assign(p);
        id = i;
    }
};

struct Database {
    sqlite3* db = nullptr;
    Cursor keyCursor, valueCursor;
    bool tried = false;
    bool broken = false;
    sqlite3_stmt* statements[kStatementCount] = {};
    std::vector<OpenKey> keys;
    PathCache paths[4]; // by hive id
    size_t cached = 0;
    LastPath last;
};

Database database;

std::string DefaultPath() {
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && home[0] ? home : ".") + "/.local/share";
    }
    return base + "/tandu/registry.sqlite3";
}

// Makes every missing folder above the file, for the user alone.
void MakeParentFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
}

void Report(const std::string& path, const char* why) {
    std::string text =
        "tandu: the registry " + path + " cannot be used (" + why + "); stored values are not available in this run\n";
    std::fputs(text.c_str(), stderr);
}

void CloseStatements() {
    for (sqlite3_stmt*& s : database.statements) {
        sqlite3_finalize(s);
        s = nullptr;
    }
}

bool Open() {
    if (database.db) return true;
    if (database.tried) return false;
    database.tried = true;
    const std::string path = platform::registry::DatabasePath();
    MakeParentFolders(path);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    // A new database is UTF-16 so that names need no conversion; an existing one keeps its own.
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA encoding = 'UTF-16le'", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_busy_timeout(db, 5000);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    // A damaged file is found now, with a clear message, rather than by whichever call meets it.
    bool damaged = false;
    if (rc == SQLITE_OK) {
        auto check = [](void* flag, int, char** values, char**) {
            if (!values[0] || std::strcmp(values[0], "ok") != 0) *static_cast<bool*>(flag) = true;
            return 0;
        };
        rc = sqlite3_exec(db, "PRAGMA quick_check", check, &damaged, nullptr);
    }
    if (rc == SQLITE_OK && !damaged) rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
    for (int i = 0; rc == SQLITE_OK && !damaged && i < kStatementCount; ++i)
        rc = sqlite3_prepare_v3(db, kStatements[i], -1, SQLITE_PREPARE_PERSISTENT, &database.statements[i], nullptr);
    if (rc != SQLITE_OK || damaged) {
        Report(path, damaged ? "the file is damaged" : db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        CloseStatements();
        sqlite3_close(db);
        database.broken = true;
        return false;
    }
    database.db = db;
    return true;
}

LONG ErrorOf(int rc) {
    return rc == SQLITE_NOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_BADDB;
}

// A prepared statement, reset and unbound again when the scope ends.
class Query {
public:
    explicit Query(Statement which) : s_(database.statements[which]) {}
    ~Query() {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& Int(int i, sqlite3_int64 v) {
        sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    Query& Text(int i, std::u16string_view text) {
        // An empty view may have no storage; a null pointer would bind NULL, not an empty name.
        sqlite3_bind_text16(s_, i, text.empty() ? u"" : text.data(), int(text.size() * 2), SQLITE_STATIC);
        return *this;
    }
    Query& Blob(int i, const void* data, DWORD size) {
        sqlite3_bind_blob(s_, i, size ? data : "", int(size), SQLITE_STATIC);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or a failure.
    int Step() { return sqlite3_step(s_); }
    sqlite3_stmt* Get() const { return s_; }

private:
    sqlite3_stmt* s_;
};

LONG Run(Statement which) {
    Query q(which);
    int rc = q.Step();
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? ERROR_SUCCESS : ErrorOf(rc);
}

// Runs `body` in one write transaction, committed when it succeeds and rolled back otherwise.
template <class Body> LONG InTransaction(Body body) {
    if (LONG rc = Run(kBegin)) return rc;
    LONG rc = body();
    if (rc == ERROR_SUCCESS) rc = Run(kCommit);
    if (rc != ERROR_SUCCESS) (void)Run(kRollback);
    return rc;
}

std::u16string Folded(const WCHAR* name, size_t length) {
    std::u16string out(name, length);
    for (char16_t& c : out)
        c = towlower(c);
    return out;
}

// The name folded: the name itself when folding changes nothing, else a copy folded in `scratch`.
std::u16string_view Folded(const WCHAR* name, std::u16string& scratch) {
    if (!name) return {};
    const size_t length = wcslen(name);
    for (size_t i = 0; i < length; ++i) {
        const char16_t c = name[i];
        if (c < 0x80 ? (c >= u'A' && c <= u'Z') : towlower(c) != c) {
            scratch = Folded(name, length);
            return scratch;
        }
    }
    return {name, length};
}

std::u16string ColumnText(sqlite3_stmt* s, int column) {
    const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(s, column));
    return text ? std::u16string(text, size_t(sqlite3_column_bytes16(s, column)) / 2) : std::u16string();
}

// The key id of a handle, or 0 with the error.
sqlite3_int64 KeyOf(HKEY key, LONG* error) {
    *error = ERROR_SUCCESS;
    if (!Open()) {
        *error = ERROR_BADDB;
        return 0;
    }
    const auto value = reinterpret_cast<ULONG_PTR>(key);
    if (key == HKEY_CURRENT_USER) return kHiveCurrentUser;
    if (key == HKEY_LOCAL_MACHINE) return kHiveLocalMachine;
    if (key == HKEY_CLASSES_ROOT) return kHiveClassesRoot;
    if (value >= kFirstHandle && value - kFirstHandle < database.keys.size() && database.keys[value - kFirstHandle].id)
        return database.keys[value - kFirstHandle].id;
    *error = ERROR_INVALID_HANDLE;
    return 0;
}

REGSAM AccessOf(HKEY key) {
    const auto value = reinterpret_cast<ULONG_PTR>(key);
    if (value >= kFirstHandle && value - kFirstHandle < database.keys.size())
        return database.keys[value - kFirstHandle].access;
    return KEY_ALL_ACCESS; // a hive
}

// ERROR_SUCCESS when the key still exists, ERROR_KEY_DELETED when it was deleted under its handle.
LONG StillThere(sqlite3_int64 id) {
    Query q(kKeyExists);
    int rc = q.Int(1, id).Step();
    return rc == SQLITE_ROW ? ERROR_SUCCESS : rc == SQLITE_DONE ? ERROR_KEY_DELETED : ErrorOf(rc);
}

// Walks (and with `create`, makes) the path below `id`. A path segment may not be empty.
LONG Walk(sqlite3_int64 id, LPCWSTR path, bool create, sqlite3_int64* out, bool* made) {
    if (made) *made = false;
    const WCHAR* p = path ? path : u"";
    while (*p == u'\\')
        ++p;
    while (*p) {
        const WCHAR* end = p;
        while (*end && *end != u'\\')
            ++end;
        const std::u16string folded = Folded(p, size_t(end - p));
        sqlite3_int64 child = 0;
        {
            Query q(kFindChild);
            int rc = q.Int(1, id).Text(2, folded).Step();
            if (rc == SQLITE_ROW) {
                child = sqlite3_column_int64(q.Get(), 0);
            } else if (rc != SQLITE_DONE) {
                return ErrorOf(rc);
            }
        }
        if (!child) {
            if (!create) return ERROR_FILE_NOT_FOUND;
            if (LONG rc = StillThere(id)) return rc;
            Query q(kAddKey);
            int rc = q.Int(1, id).Text(2, std::u16string(p, size_t(end - p))).Text(3, folded).Step();
            if (rc != SQLITE_DONE) return ErrorOf(rc);
            child = sqlite3_last_insert_rowid(database.db);
            if (made) *made = true;
        }
        id = child;
        p = end;
        while (*p == u'\\')
            ++p;
    }
    *out = id;
    return ERROR_SUCCESS;
}

// A handle on key `id`; a cached one keeps its path to look it up again.
HKEY NewHandle(sqlite3_int64 id, REGSAM access, bool cached, sqlite3_int64 hive, std::u16string_view path,
               bool create = false) {
    size_t slot = 0;
    while (slot < database.keys.size() && database.keys[slot].id)
        ++slot;
    if (slot == database.keys.size()) database.keys.push_back({});
    OpenKey& key = database.keys[slot];
    key.id = id;
    key.access = access;
    key.cached = cached;
    key.create = create;
    key.hive = hive;
    key.path.assign(path);
    return reinterpret_cast<HKEY>(kFirstHandle + slot);
}

OpenKey* HandleOf(HKEY key) {
    const auto value = reinterpret_cast<ULONG_PTR>(key);
    if (value < kFirstHandle || value - kFirstHandle >= database.keys.size()) return nullptr;
    OpenKey* open = &database.keys[value - kFirstHandle];
    return open->id ? open : nullptr;
}

bool IsHive(sqlite3_int64 id) {
    return id == kHiveCurrentUser || id == kHiveLocalMachine || id == kHiveClassesRoot;
}

void ForgetPaths() {
    for (PathCache& cache : database.paths)
        cache.clear();
    database.cached = 0;
    database.last.hive = 0;
}

void Remember(sqlite3_int64 hive, std::u16string_view path, sqlite3_int64 id) {
    if (database.cached >= kCacheLimit) ForgetPaths();
    auto [it, added] = database.paths[hive].try_emplace(std::u16string(path), id);
    if (added) ++database.cached;
    it->second = id;
    database.last.Set(hive, path, id);
}

// The key id cached for the path below the hive, or 0.
sqlite3_int64 CachedPath(sqlite3_int64 hive, std::u16string_view path) {
    LastPath& last = database.last;
    if (last.hive == hive && last.path == path) return last.id;
    auto it = database.paths[hive].find(path);
    if (it == database.paths[hive].end()) return 0;
    last.Set(hive, path, it->second);
    return it->second;
}

// Opens (or with `create` makes) the key at `subKey` below `base` as a new handle.
LONG OpenPath(sqlite3_int64 base, LPCWSTR subKey, bool create, REGSAM access, PHKEY result, bool* made) {
    const sqlite3_int64 hive = IsHive(base) ? base : 0;
    const std::u16string_view path = subKey ? std::u16string_view(subKey) : std::u16string_view();
    if (hive) {
        if (const sqlite3_int64 cached = CachedPath(hive, path)) {
            *result = NewHandle(cached, access, true, hive, path, create);
            return ERROR_SUCCESS;
        }
    }
    sqlite3_int64 id = 0;
    LONG rc = create ? InTransaction([&]() -> LONG { return Walk(base, subKey, true, &id, made); })
                     : Walk(base, subKey, false, &id, nullptr);
    if (rc) return rc;
    if (hive && id != hive) Remember(hive, path, id);
    *result = NewHandle(id, access, false, hive, {});
    return ERROR_SUCCESS;
}

// Runs `body` on the handle's key id. A key found through the path cache that turns out deleted
// is looked up (or, for a handle opened to make it, made) again once; when it is gone the caller
// hears what opening it would have said.
template <class Body> LONG OnKey(HKEY key, Body body) {
    LONG rc;
    sqlite3_int64 id = KeyOf(key, &rc);
    if (!id) return rc;
    rc = body(id);
    OpenKey* open = HandleOf(key);
    if (rc != LONG(ERROR_KEY_DELETED) || !open || !open->cached) return rc;
    ForgetPaths();
    open->cached = false;
    sqlite3_int64 again = 0;
    const std::u16string path = open->path;
    if (open->create) {
        // The caller asked for the key to be made: had the cache not answered, opening would have made it.
        const sqlite3_int64 hive = open->hive;
        if (LONG made = InTransaction([&]() -> LONG { return Walk(hive, path.c_str(), true, &again, nullptr); }))
            return made;
    } else if (Walk(open->hive, path.c_str(), false, &again, nullptr) != ERROR_SUCCESS) {
        return ERROR_FILE_NOT_FOUND;
    }
    open = HandleOf(key);
    open->id = again;
    Remember(open->hive, path, again);
    return body(again);
}

// Copies a name with its terminating zero into a buffer of *size characters; ERROR_MORE_DATA when
// it does not fit. *size becomes the name's length.
LONG PutName(const std::u16string& name, LPWSTR buffer, LPDWORD size) {
    if (!buffer || !size) return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *size) return ERROR_MORE_DATA;
    std::copy(name.begin(), name.end(), buffer);
    buffer[name.size()] = 0;
    *size = DWORD(name.size());
    return ERROR_SUCCESS;
}

// The type and bytes of the current row's columns; ERROR_MORE_DATA (with the size) when the
// caller's buffer is too small, as the device's registry answers.
LONG PutData(sqlite3_stmt* s, int typeColumn, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    const DWORD size = DWORD(sqlite3_column_bytes(s, typeColumn + 1));
    if (type) *type = DWORD(sqlite3_column_int64(s, typeColumn));
    if (!dataSize) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    const DWORD room = *dataSize;
    *dataSize = size;
    if (!data) return ERROR_SUCCESS;
    if (size > room) return ERROR_MORE_DATA;
    if (size) std::memcpy(data, sqlite3_column_blob(s, typeColumn + 1), size);
    return ERROR_SUCCESS;
}

} // namespace

namespace platform::registry {

std::string DatabasePath() {
    const char* path = std::getenv("TANDU_REGISTRY");
    return path && path[0] ? std::string(path) : DefaultPath();
}

void CloseDatabase() {
    CloseStatements();
    if (database.db) sqlite3_close(database.db);
    database = Database();
}

} // namespace platform::registry

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM access, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (!subKey || !subKey[0]) // the key itself again
        return OnKey(key, [&](sqlite3_int64 id) -> LONG {
            if (LONG rc = StillThere(id)) return rc;
            *result = NewHandle(id, access, false, 0, {});
            return ERROR_SUCCESS;
        });
    LONG rc;
    sqlite3_int64 id = KeyOf(key, &rc);
    return id ? OpenPath(id, subKey, false, access, result, nullptr) : rc;
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM access, void*, PHKEY result,
                     LPDWORD disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    LONG rc;
    sqlite3_int64 id = KeyOf(key, &rc);
    if (!id) return rc;
    bool made = false;
    if ((rc = OpenPath(id, subKey, true, access, result, &made))) return rc;
    if (disposition) *disposition = made ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT) return ERROR_SUCCESS;
    OpenKey* open = HandleOf(key);
    if (!open) return ERROR_INVALID_HANDLE;
    open->id = 0;
    open->path.clear();
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    std::u16string scratch;
    const std::u16string_view folded = Folded(valueName, scratch);
    return OnKey(key, [&](sqlite3_int64 id) -> LONG {
        Query q(kGetValue);
        int step = q.Int(1, id).Text(2, folded).Step();
        if (step == SQLITE_ROW) return PutData(q.Get(), 0, type, data, dataSize);
        if (step != SQLITE_DONE) return ErrorOf(step);
        LONG rc = StillThere(id);
        return rc ? rc : ERROR_FILE_NOT_FOUND;
    });
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
    if (!(AccessOf(key) & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (dataSize && !data) return ERROR_INVALID_PARAMETER;
    std::u16string scratch;
    const std::u16string_view name = valueName ? std::u16string_view(valueName) : std::u16string_view(),
                              folded = Folded(valueName, scratch);
    return OnKey(key, [&](sqlite3_int64 id) -> LONG {
        Query q(kSetValue);
        int step = q.Int(1, id).Text(2, name).Text(3, folded).Int(4, type).Blob(5, data, dataSize).Step();
        if (step != SQLITE_DONE) return ErrorOf(step);
        // Nothing written: the key is gone.
        return sqlite3_changes(database.db) > 0 ? ERROR_SUCCESS : ERROR_KEY_DELETED;
    });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    if (!(AccessOf(key) & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::u16string scratch;
    const std::u16string_view folded = Folded(valueName, scratch);
    return OnKey(key, [&](sqlite3_int64 id) -> LONG {
        Query q(kDeleteValue);
        int step = q.Int(1, id).Text(2, folded).Step();
        if (step != SQLITE_DONE) return ErrorOf(step);
        if (sqlite3_changes(database.db) > 0) return ERROR_SUCCESS;
        LONG rc = StillThere(id);
        return rc ? rc : ERROR_FILE_NOT_FOUND;
    });
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    if (!subKey || !subKey[0]) return ERROR_INVALID_PARAMETER;
    return OnKey(key, [&](sqlite3_int64 id) -> LONG {
        ForgetPaths(); // the keys below go, and their ids with them
        return InTransaction([&]() -> LONG {
            const sqlite3_int64 base = id;
            if (LONG walked = Walk(base, subKey, false, &id, nullptr)) {
                // A base key deleted under its handle says so, so that a cached one is looked up again.
                if (walked == LONG(ERROR_FILE_NOT_FOUND) && StillThere(base) == LONG(ERROR_KEY_DELETED))
                    return ERROR_KEY_DELETED;
                return walked;
            }
            if (IsHive(id)) return ERROR_ACCESS_DENIED;
            if (int run = Query(kDeleteTreeValues).Int(1, id).Step(); run != SQLITE_DONE) return ErrorOf(run);
            if (int run = Query(kDeleteTreeKeys).Int(1, id).Step(); run != SQLITE_DONE) return ErrorOf(run);
            return ERROR_SUCCESS;
        });
    });
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD, LPWSTR, LPDWORD, void*) {
    return OnKey(key, [&](sqlite3_int64 id) -> LONG {
        Cursor& cursor = database.keyCursor;
        const sqlite3_int64 changes = sqlite3_total_changes64(database.db);
        const bool next = cursor.Continues(id, index, changes) && index == cursor.index + 1;
        Query q(cursor.Continues(id, index, changes) ? kEnumKeyFrom : kEnumKey);
        std::u16string from = cursor.folded;
        if (next) from += u'\0'; // the least name after it
        int step = cursor.Continues(id, index, changes) ? q.Int(1, id).Text(2, from).Step()
                                                        : q.Int(1, id).Int(2, index).Step();
        if (step == SQLITE_ROW) {
            cursor = Cursor{id, index, changes, 0, ColumnText(q.Get(), 1)};
            return PutName(ColumnText(q.Get(), 0), name, nameSize);
        }
        cursor = Cursor{};
        if (step != SQLITE_DONE) return ErrorOf(step);
        LONG rc = StillThere(id);
        return rc ? rc : ERROR_NO_MORE_ITEMS;
    });
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD, LPDWORD type, LPBYTE data,
                   LPDWORD dataSize) {
    return OnKey(key, [&](sqlite3_int64 id) -> LONG {
        Cursor& cursor = database.valueCursor;
        const sqlite3_int64 changes = sqlite3_total_changes64(database.db);
        const bool continues = cursor.Continues(id, index, changes);
        Query q(continues ? kEnumValueFrom : kEnumValue);
        int step = continues ? q.Int(1, id).Int(2, cursor.rowid + (index == cursor.index ? 0 : 1)).Step()
                             : q.Int(1, id).Int(2, index).Step();
        if (step == SQLITE_ROW) {
            cursor = Cursor{id, index, changes, sqlite3_column_int64(q.Get(), 3), {}};
            // The data's size is told also when the name does not fit.
            const LONG told = PutData(q.Get(), 1, type, data, dataSize);
            const LONG named = PutName(ColumnText(q.Get(), 0), name, nameSize);
            return named ? named : told;
        }
        cursor = Cursor{};
        if (step != SQLITE_DONE) return ErrorOf(step);
        LONG rc = StillThere(id);
        return rc ? rc : ERROR_NO_MORE_ITEMS;
    });
}

LONG RegQueryInfoKeyW(HKEY key, LPWSTR, LPDWORD classSize, LPDWORD, LPDWORD subKeys, LPDWORD maxSubKeyLength,
                      LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                      LPDWORD securityDescriptor, void*) {
    return OnKey(key, [&](sqlite3_int64 id) -> LONG {
        if (LONG rc = StillThere(id)) return rc;
        for (LPDWORD zero : {classSize, maxClassLength, securityDescriptor})
            if (zero) *zero = 0;
        Query keys(kKeyCounts);
        int step = keys.Int(1, id).Step();
        if (step != SQLITE_ROW) return ErrorOf(step);
        if (subKeys) *subKeys = DWORD(sqlite3_column_int64(keys.Get(), 0));
        if (maxSubKeyLength) *maxSubKeyLength = DWORD(sqlite3_column_int64(keys.Get(), 1));
        Query vals(kValueCounts);
        step = vals.Int(1, id).Step();
        if (step != SQLITE_ROW) return ErrorOf(step);
        if (values) *values = DWORD(sqlite3_column_int64(vals.Get(), 0));
        if (maxValueNameLength) *maxValueNameLength = DWORD(sqlite3_column_int64(vals.Get(), 1));
        if (maxValueLength) *maxValueLength = DWORD(sqlite3_column_int64(vals.Get(), 2));
        return ERROR_SUCCESS;
    });
}
