// The raw registry on POSIX: a SQLite database, registry.db in the sandbox
// root, answering the advapi32 calls of platform/registry.h with Windows'
// rules and error values (checked against Wine by the unit suite, which runs
// the same cases on both).
//
// Layout. Two tables: registry_key (id, parent, name, fold) and
// registry_value (id, key, name, fold, type, data). `fold` is the name in
// lower case (ASCII and the letters of code page 1252); lookups, uniqueness
// and the order of subkeys go by it, so names match without regard to case
// while `name` keeps the case of its first spelling, as on Windows. Values
// enumerate in creation order (their id). Ids only grow (AUTOINCREMENT), so a
// handle to a deleted key can never come to mean a new one.
//
// Roots. HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER and
// HKEY_CURRENT_CONFIG are stored roots with fixed ids; HKEY_CLASSES_ROOT is
// HKEY_LOCAL_MACHINE\Software\Classes, as on Windows 95 and NT 4, so either
// spelling of a file type reaches the same key. These keys cannot be deleted.
//
// Safety. Every call is one transaction: writes start with BEGIN IMMEDIATE
// (the write lock is taken up front, so two writers queue on the busy
// timeout instead of one failing on an upgrade), reads with BEGIN. The
// database runs in WAL mode with synchronous=NORMAL: readers (kova reg export
// during an installation) never wait for the writer, a commit is one append
// to the log, and a process killed at any point leaves either the whole
// transaction or none of it; only a power failure can lose the last commits,
// never consistency.
#include "platform/registry.h"

#include <errno.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstring>

#include "core/array.h"
#include "platform/posix/registry_database.h"
#include "platform/posix/sandbox.h"

namespace kova::platform {
namespace {

constexpr int kSchemaVersion = 1;
constexpr int kApplicationId = 0x4B4F5641;  // "KOVA"
constexpr int kBusyTimeoutMilliseconds = 10000;
// Windows' limit on the depth of the key tree; it also bounds every walk
// down a tree (the recursive key deletion of the registry layer).
constexpr i64 kMaxDepth = 512;
constexpr std::size_t kMaxAnsiPath = 260;

// Stored roots and the keys behind HKEY_CLASSES_ROOT: fixed ids, never
// deleted.
constexpr i64 kLocalMachineId = 1;
constexpr i64 kUsersId = 2;
constexpr i64 kCurrentUserId = 3;
constexpr i64 kCurrentConfigId = 4;
constexpr i64 kClassesId = 6;
constexpr i64 kLastProtectedId = 6;

constexpr const char* kSchema =
    "CREATE TABLE registry_key("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER NOT NULL,"  // 0 for a root
    " name TEXT NOT NULL,"
    " fold BLOB NOT NULL,"
    " UNIQUE(parent, fold));"
    "CREATE TABLE registry_value("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " key INTEGER NOT NULL,"
    " name TEXT NOT NULL,"  // '' is the default value
    " fold BLOB NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " UNIQUE(key, fold));"
    "INSERT INTO registry_key(id, parent, name, fold) VALUES"
    " (1, 0, 'HKEY_LOCAL_MACHINE', CAST('hkey_local_machine' AS BLOB)),"
    " (2, 0, 'HKEY_USERS', CAST('hkey_users' AS BLOB)),"
    " (3, 0, 'HKEY_CURRENT_USER', CAST('hkey_current_user' AS BLOB)),"
    " (4, 0, 'HKEY_CURRENT_CONFIG', CAST('hkey_current_config' AS BLOB)),"
    " (5, 1, 'Software', CAST('software' AS BLOB)),"
    " (6, 5, 'Classes', CAST('classes' AS BLOB));";

// Handles are small multiples of 4 from here, well apart from the
// predefined roots (0x80000000 and up).
constexpr RegistryKey kFirstHandle = 0x100;

SystemError ErrorOf(int sqliteStatus) {
  switch (sqliteStatus & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return kErrorSuccess;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return kErrorBusy;
    case SQLITE_NOMEM:
    case SQLITE_TOOBIG:
      return kErrorNotEnoughMemory;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return kErrorBadDatabase;
    default:
      return kErrorRegistryIo;
  }
}

// Lower case as Windows compares registry names under code page 1252.
char FoldChar(char c) {
  auto b = static_cast<unsigned char>(c);
  if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) return static_cast<char>(b + 32);
  switch (b) {
    case 0x8A: return static_cast<char>(0x9A);  // S caron
    case 0x8C: return static_cast<char>(0x9C);  // OE
    case 0x8E: return static_cast<char>(0x9E);  // Z caron
    case 0x9F: return static_cast<char>(0xFF);  // Y diaeresis
    default: return c;
  }
}

core::String Fold(const core::String& name) {
  core::String folded(name);
  for (i32 i = 0; i < folded.Length(); ++i) folded.SetAt(i, FoldChar(folded[i]));
  return folded;
}

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { status_ = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Bind(int index, i64 value) {
    if (status_ == SQLITE_OK) status_ = sqlite3_bind_int64(statement_, index, value);
  }
  void BindText(int index, const core::String& text) {
    if (status_ == SQLITE_OK)
      status_ = sqlite3_bind_text(statement_, index, text.CStr(), text.Length(), SQLITE_TRANSIENT);
  }
  // Never NULL: an empty blob stays a zero-length blob.
  void BindBlob(int index, const void* data, i32 size) {
    if (status_ != SQLITE_OK) return;
    status_ = size > 0 ? sqlite3_bind_blob(statement_, index, data, size, SQLITE_TRANSIENT)
                       : sqlite3_bind_zeroblob(statement_, index, 0);
  }
  void BindFold(int index, const core::String& name) {
    core::String folded = Fold(name);
    BindBlob(index, folded.CStr(), folded.Length());
  }

  // SQLITE_ROW, SQLITE_DONE or an error.
  int Step() {
    if (status_ != SQLITE_OK) return status_;
    int step = sqlite3_step(statement_);
    if (step != SQLITE_ROW && step != SQLITE_DONE) status_ = step;
    return step;
  }

  i64 Integer(int column) { return sqlite3_column_int64(statement_, column); }
  // Bytes of a text or blob column, and their count.
  const char* Bytes(int column) {
    const void* bytes = sqlite3_column_blob(statement_, column);
    return bytes ? static_cast<const char*>(bytes) : "";
  }
  i32 Size(int column) { return sqlite3_column_bytes(statement_, column); }

 private:
  sqlite3_stmt* statement_ = nullptr;
  int status_ = SQLITE_OK;
};

SystemError Execute(sqlite3* db, const char* sql) { return ErrorOf(sqlite3_exec(db, sql, nullptr, nullptr, nullptr)); }

class Transaction {
 public:
  Transaction() = default;
  ~Transaction() {
    if (active_) Execute(db_, "ROLLBACK");
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  SystemError Begin(sqlite3* db, bool write) {
    db_ = db;
    SystemError status = Execute(db, write ? "BEGIN IMMEDIATE" : "BEGIN");
    active_ = status == kErrorSuccess;
    return status;
  }
  // Commits when the work succeeded (status 0), else rolls back; returns the
  // work's status or the commit's failure.
  SystemError Finish(SystemError status) {
    if (!active_) return status;
    active_ = false;
    if (status != kErrorSuccess) {
      Execute(db_, "ROLLBACK");
      return status;
    }
    SystemError commit = Execute(db_, "COMMIT");
    if (commit != kErrorSuccess) Execute(db_, "ROLLBACK");
    return commit;
  }

 private:
  sqlite3* db_ = nullptr;
  bool active_ = false;
};

struct Database {
  sqlite3* connection = nullptr;
  core::String root;
  core::Array<i64> handles;  // the key id of each handle slot; 0 is a free slot

  ~Database() { Close(); }
  void Close() {
    if (connection) sqlite3_close_v2(connection);
    connection = nullptr;
    root.Clear();
    handles.Clear();
  }
};

Database& Db() {
  static Database database;
  return database;
}

bool MakeDirectories(const core::String& path) {
  core::String partial;
  for (i32 i = 0; i <= path.Length(); ++i) {
    if (i == path.Length() || (path[i] == '/' && i > 0)) {
      partial = path.Left(i);
      if (mkdir(partial.CStr(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  return true;
}

SystemError InitializeSchema(sqlite3* db) {
  Transaction transaction;
  if (SystemError status = transaction.Begin(db, true)) return status;
  i64 version = 0;
  i64 application = 0;
  i64 tables = 0;
  {
    Statement query(db,
                    "SELECT (SELECT user_version FROM pragma_user_version),"
                    " (SELECT application_id FROM pragma_application_id),"
                    " (SELECT count(*) FROM sqlite_schema)");
    if (query.Step() != SQLITE_ROW) return transaction.Finish(kErrorBadDatabase);
    version = query.Integer(0);
    application = query.Integer(1);
    tables = query.Integer(2);
  }
  SystemError status = kErrorSuccess;
  if (version == 0 && tables == 0) {
    status = Execute(db, kSchema);
    if (!status) status = Execute(db, "PRAGMA application_id = 1263490625; PRAGMA user_version = 1");
  } else if (version != kSchemaVersion || application != kApplicationId) {
    status = kErrorBadDatabase;
  }
  return transaction.Finish(status);
}

// Opens the database of the current sandbox root, reopening it when the
// root has changed.
SystemError Open(sqlite3** db) {
  Database& d = Db();
  const core::String& root = posix::SandboxRoot();
  if (d.connection && d.root == root) {
    *db = d.connection;
    return kErrorSuccess;
  }
  d.Close();
  if (!MakeDirectories(root)) return kErrorRegistryIo;
  core::String path = posix::RegistryDatabasePath();
  sqlite3* connection = nullptr;
  int opened = sqlite3_open_v2(path.CStr(), &connection, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (opened != SQLITE_OK) {
    sqlite3_close_v2(connection);
    return ErrorOf(opened);
  }
  sqlite3_busy_timeout(connection, kBusyTimeoutMilliseconds);
  SystemError status = InitializeSchema(connection);
  if (status) {
    sqlite3_close_v2(connection);
    return status;
  }
  // Persistent once set. If another process holds the file just now the
  // switch fails and the database keeps its rollback journal, which is
  // just as safe; a later open switches it.
  Execute(connection, "PRAGMA journal_mode = WAL");
  Execute(connection, "PRAGMA synchronous = NORMAL");
  d.connection = connection;
  d.root = root;
  *db = connection;
  return kErrorSuccess;
}

bool IsPredefined(RegistryKey key) {
  return key == kClassesRoot || key == kCurrentUser || key == kLocalMachine || key == kUsers ||
         key == kCurrentConfig;
}

// The key id a handle stands for.
SystemError IdOfHandle(RegistryKey key, i64* id) {
  switch (key) {
    case kLocalMachine: *id = kLocalMachineId; return kErrorSuccess;
    case kUsers: *id = kUsersId; return kErrorSuccess;
    case kCurrentUser: *id = kCurrentUserId; return kErrorSuccess;
    case kCurrentConfig: *id = kCurrentConfigId; return kErrorSuccess;
    case kClassesRoot: *id = kClassesId; return kErrorSuccess;
    default: break;
  }
  const core::Array<i64>& handles = Db().handles;
  if (key < kFirstHandle || (key - kFirstHandle) % 4 != 0) return kErrorInvalidHandle;
  RegistryKey slot = (key - kFirstHandle) / 4;
  if (slot >= static_cast<RegistryKey>(handles.Size()) || handles[static_cast<i32>(slot)] == 0)
    return kErrorInvalidHandle;
  *id = handles[static_cast<i32>(slot)];
  return kErrorSuccess;
}

RegistryKey NewHandle(i64 id) {
  core::Array<i64>& handles = Db().handles;
  i32 slot = 0;
  while (slot < handles.Size() && handles[slot] != 0) ++slot;
  if (slot == handles.Size()) handles.Append(0);
  handles[slot] = id;
  return kFirstHandle + 4 * static_cast<RegistryKey>(slot);
}

// kErrorKeyDeleted once the key behind a handle is gone, as Windows reports.
SystemError CheckLive(sqlite3* db, i64 id) {
  Statement query(db, "SELECT 1 FROM registry_key WHERE id = ?");
  query.Bind(1, id);
  int step = query.Step();
  if (step == SQLITE_ROW) return kErrorSuccess;
  return step == SQLITE_DONE ? kErrorKeyDeleted : ErrorOf(step);
}

// The names of a subkey path. Doubled and trailing backslashes are skipped
// and a leading one is refused, as Windows does; HKEY_CLASSES_ROOT alone
// accepts one leading backslash. The ANSI calls convert the whole path
// through the thread's static buffer of 260 characters first, so a longer
// path fails with ERROR_MORE_DATA before any key is looked at.
SystemError SplitPath(RegistryKey root, const char* path, core::Array<core::String>& names) {
  names.Clear();
  if (!path) return kErrorSuccess;
  if (std::strlen(path) > kMaxAnsiPath) return kErrorMoreData;
  if (root == kClassesRoot && *path == '\\') ++path;
  if (*path == '\\') return kErrorBadPathName;
  while (*path) {
    const char* end = path;
    while (*end && *end != '\\') ++end;
    auto length = static_cast<i32>(end - path);
    if (length > kMaxKeyNameLength) return kErrorInvalidParameter;
    if (length > 0) names.Append(core::String(path, length));
    path = *end ? end + 1 : end;
  }
  return kErrorSuccess;
}

SystemError FindChild(sqlite3* db, i64 parent, const core::String& name, i64* id) {
  Statement query(db, "SELECT id FROM registry_key WHERE parent = ? AND fold = ?");
  query.Bind(1, parent);
  query.BindFold(2, name);
  int step = query.Step();
  if (step == SQLITE_ROW) {
    *id = query.Integer(0);
    return kErrorSuccess;
  }
  return step == SQLITE_DONE ? kErrorFileNotFound : ErrorOf(step);
}

// Follows names down from the key id; kErrorFileNotFound at the first
// missing one.
SystemError Walk(sqlite3* db, i64 start, const core::Array<core::String>& names, i64* id) {
  *id = start;
  for (const core::String& name : names) {
    SystemError status = FindChild(db, *id, name, id);
    if (status) return status;
  }
  return kErrorSuccess;
}

// How many keys lie above this one (0 for a stored root).
SystemError DepthOf(sqlite3* db, i64 id, i64* depth) {
  Statement query(db,
                  "WITH RECURSIVE up(id, depth) AS (SELECT parent, 0 FROM registry_key WHERE id = ?"
                  " UNION ALL SELECT k.parent, up.depth + 1 FROM registry_key k JOIN up ON k.id = up.id)"
                  " SELECT max(depth) FROM up");
  query.Bind(1, id);
  int step = query.Step();
  if (step != SQLITE_ROW) return ErrorOf(step);
  *depth = query.Integer(0);
  return kErrorSuccess;
}

SystemError CreatePath(sqlite3* db, i64 start, const core::Array<core::String>& names, i64* id) {
  *id = start;
  i32 i = 0;
  for (; i < names.Size(); ++i) {
    i64 child = 0;
    SystemError status = FindChild(db, *id, names[i], &child);
    if (status == kErrorFileNotFound) break;
    if (status) return status;
    *id = child;
  }
  if (i == names.Size()) return kErrorSuccess;
  i64 depth = 0;
  if (SystemError status = DepthOf(db, *id, &depth)) return status;
  if (depth + (names.Size() - i) > kMaxDepth) return kErrorInvalidParameter;
  for (; i < names.Size(); ++i) {
    Statement insert(db, "INSERT INTO registry_key(parent, name, fold) VALUES (?, ?, ?)");
    insert.Bind(1, *id);
    insert.BindText(2, names[i]);
    insert.BindFold(3, names[i]);
    int step = insert.Step();
    if (step != SQLITE_DONE) return ErrorOf(step);
    *id = sqlite3_last_insert_rowid(db);
  }
  return kErrorSuccess;
}

core::String ValueName(const char* name) { return core::String(name ? name : ""); }

bool IsStringType(u32 type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

// Opens the database, resolves the handle and starts a transaction: the
// common first steps of every call on a key.
class KeyCall {
 public:
  KeyCall(RegistryKey key, bool write) {
    status_ = Open(&db_);
    if (!status_) status_ = IdOfHandle(key, &id_);
    if (!status_) status_ = transaction_.Begin(db_, write);
    if (!status_) status_ = CheckLive(db_, id_);
  }

  SystemError Status() const { return status_; }
  sqlite3* Db() const { return db_; }
  i64 Id() const { return id_; }
  SystemError Finish(SystemError status) { return transaction_.Finish(status); }

 private:
  sqlite3* db_ = nullptr;
  i64 id_ = 0;
  Transaction transaction_;
  SystemError status_ = kErrorSuccess;
};

}  // namespace

namespace posix {

core::String RegistryDatabasePath() { return SandboxRoot() + "/registry.db"; }

void CloseRegistryDatabase() { Db().Close(); }

}  // namespace posix

SystemError OpenRegistryKey(RegistryKey root, const char* subKey, RegistryKey* result) {
  if (!result) return kErrorInvalidParameter;
  *result = 0;
  core::Array<core::String> names;
  if (SystemError status = SplitPath(root, subKey, names)) return status;
  KeyCall call(root, false);
  if (call.Status()) return call.Finish(call.Status());
  // Windows hands back the predefined handle itself for an empty path.
  if (names.IsEmpty() && IsPredefined(root)) {
    *result = root;
    return call.Finish(kErrorSuccess);
  }
  i64 id = 0;
  SystemError status = call.Finish(Walk(call.Db(), call.Id(), names, &id));
  if (!status) *result = NewHandle(id);
  return status;
}

SystemError CreateRegistryKey(RegistryKey root, const char* subKey, RegistryKey* result) {
  if (!result) return kErrorInvalidParameter;
  *result = 0;
  core::Array<core::String> names;
  if (SystemError status = SplitPath(root, subKey, names)) return status;
  KeyCall call(root, true);
  if (call.Status()) return call.Finish(call.Status());
  i64 id = 0;
  SystemError status = call.Finish(CreatePath(call.Db(), call.Id(), names, &id));
  if (!status) *result = NewHandle(id);
  return status;
}

SystemError CloseRegistryKey(RegistryKey key) {
  if (IsPredefined(key)) return kErrorSuccess;
  i64 id = 0;
  if (SystemError status = IdOfHandle(key, &id)) return status;
  Db().handles[static_cast<i32>((key - kFirstHandle) / 4)] = 0;
  return kErrorSuccess;
}

SystemError QueryRegistryValue(RegistryKey key, const char* name, u32* type, u8* data, u32* size) {
  if (data && !size) return kErrorInvalidParameter;
  KeyCall call(key, false);
  if (call.Status()) return call.Finish(call.Status());
  Statement query(call.Db(), "SELECT type, data FROM registry_value WHERE key = ? AND fold = ?");
  query.Bind(1, call.Id());
  query.BindFold(2, ValueName(name));
  int step = query.Step();
  if (step != SQLITE_ROW) return call.Finish(step == SQLITE_DONE ? kErrorFileNotFound : ErrorOf(step));
  auto stored = static_cast<u32>(query.Size(1));
  if (type) *type = static_cast<u32>(query.Integer(0));
  SystemError status = kErrorSuccess;
  if (data) {
    if (*size < stored) {
      status = kErrorMoreData;
    } else if (stored > 0) {
      std::memcpy(data, query.Bytes(1), stored);
    }
  }
  if (size) *size = stored;
  return call.Finish(status);
}

SystemError SetRegistryValue(RegistryKey key, const char* name, u32 type, const u8* data, u32 size) {
  if ((!data && size > 0) || size > 0x7FFFFFFEu) return kErrorInvalidParameter;
  core::String valueName = ValueName(name);
  if (valueName.Length() > kMaxValueNameLength) return kErrorInvalidParameter;
  KeyCall call(key, true);
  if (call.Status()) return call.Finish(call.Status());
  // A text stored without its terminating NUL reads back with one, as
  // Windows' ANSI calls give it; storing it that way keeps sizes equal.
  core::String bytes(reinterpret_cast<const char*>(data), static_cast<i32>(size));
  if (IsStringType(type) && size > 0 && data[size - 1] != 0) bytes.Append('\0');
  Statement upsert(call.Db(),
                   "INSERT INTO registry_value(key, name, fold, type, data) VALUES (?, ?, ?, ?, ?)"
                   " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
  upsert.Bind(1, call.Id());
  upsert.BindText(2, valueName);
  upsert.BindFold(3, valueName);
  upsert.Bind(4, type);
  upsert.BindBlob(5, bytes.CStr(), bytes.Length());
  int step = upsert.Step();
  return call.Finish(step == SQLITE_DONE ? kErrorSuccess : ErrorOf(step));
}

SystemError DeleteRegistryValue(RegistryKey key, const char* name) {
  KeyCall call(key, true);
  if (call.Status()) return call.Finish(call.Status());
  Statement remove(call.Db(), "DELETE FROM registry_value WHERE key = ? AND fold = ?");
  remove.Bind(1, call.Id());
  remove.BindFold(2, ValueName(name));
  int step = remove.Step();
  if (step != SQLITE_DONE) return call.Finish(ErrorOf(step));
  return call.Finish(sqlite3_changes(call.Db()) > 0 ? kErrorSuccess : kErrorFileNotFound);
}

SystemError DeleteRegistryKey(RegistryKey key, const char* subKey) {
  if (!subKey) return kErrorInvalidParameter;
  core::Array<core::String> names;
  if (SystemError status = SplitPath(key, subKey, names)) return status;
  KeyCall call(key, true);
  if (call.Status()) return call.Finish(call.Status());
  i64 target = 0;
  if (SystemError status = Walk(call.Db(), call.Id(), names, &target)) return call.Finish(status);
  if (target <= kLastProtectedId) return call.Finish(kErrorAccessDenied);
  Statement children(call.Db(), "SELECT 1 FROM registry_key WHERE parent = ? LIMIT 1");
  children.Bind(1, target);
  int step = children.Step();
  if (step == SQLITE_ROW) return call.Finish(kErrorAccessDenied);
  if (step != SQLITE_DONE) return call.Finish(ErrorOf(step));
  Statement values(call.Db(), "DELETE FROM registry_value WHERE key = ?");
  values.Bind(1, target);
  step = values.Step();
  if (step != SQLITE_DONE) return call.Finish(ErrorOf(step));
  Statement keyRow(call.Db(), "DELETE FROM registry_key WHERE id = ?");
  keyRow.Bind(1, target);
  step = keyRow.Step();
  return call.Finish(step == SQLITE_DONE ? kErrorSuccess : ErrorOf(step));
}

SystemError EnumRegistryKey(RegistryKey key, u32 index, char* name, u32 nameSize) {
  KeyCall call(key, false);
  if (call.Status()) return call.Finish(call.Status());
  Statement query(call.Db(), "SELECT name FROM registry_key WHERE parent = ? ORDER BY fold LIMIT 1 OFFSET ?");
  query.Bind(1, call.Id());
  query.Bind(2, index);
  int step = query.Step();
  if (step != SQLITE_ROW) return call.Finish(step == SQLITE_DONE ? kErrorNoMoreItems : ErrorOf(step));
  auto length = static_cast<u32>(query.Size(0));
  if (!name || length + 1 > nameSize) return call.Finish(kErrorMoreData);
  std::memcpy(name, query.Bytes(0), length);
  name[length] = '\0';
  return call.Finish(kErrorSuccess);
}

SystemError EnumRegistryValue(RegistryKey key, u32 index, core::String& name, u32& type, core::String& data) {
  name.Clear();
  data.Clear();
  type = 0;
  KeyCall call(key, false);
  if (call.Status()) return call.Finish(call.Status());
  Statement query(call.Db(), "SELECT name, type, data FROM registry_value WHERE key = ? ORDER BY id LIMIT 1 OFFSET ?");
  query.Bind(1, call.Id());
  query.Bind(2, index);
  int step = query.Step();
  if (step != SQLITE_ROW) return call.Finish(step == SQLITE_DONE ? kErrorNoMoreItems : ErrorOf(step));
  name.Assign(query.Bytes(0), query.Size(0));
  type = static_cast<u32>(query.Integer(1));
  data.Assign(query.Bytes(2), query.Size(2));
  return call.Finish(kErrorSuccess);
}

SystemError QueryRegistryKeyCounts(RegistryKey key, u32* subKeys, u32* values) {
  KeyCall call(key, false);
  if (call.Status()) return call.Finish(call.Status());
  Statement query(call.Db(),
                  "SELECT (SELECT count(*) FROM registry_key WHERE parent = ?1),"
                  " (SELECT count(*) FROM registry_value WHERE key = ?1)");
  query.Bind(1, call.Id());
  int step = query.Step();
  if (step != SQLITE_ROW) return call.Finish(ErrorOf(step));
  if (subKeys) *subKeys = static_cast<u32>(query.Integer(0));
  if (values) *values = static_cast<u32>(query.Integer(1));
  return call.Finish(kErrorSuccess);
}

}  // namespace kova::platform
