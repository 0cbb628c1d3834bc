// The sandbox registry database: what only the POSIX side has (the roots it
// stores, reopening per sandbox, refusing foreign files, the depth limit)
// and its safety between processes: two writers at once, and a writer killed
// in the middle of its work.
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry.h"
#include "sandbox_fixture.h"

namespace kova::platform {
namespace {

class RegistryDatabase : public testing::SandboxTest {};

bool KeyExists(RegistryKey root, const std::string& path) {
  RegistryKey key = 0;
  if (OpenRegistryKey(root, path.c_str(), &key) != kErrorSuccess) return false;
  CloseRegistryKey(key);
  return true;
}

std::string IntegrityCheck(const std::string& path) {
  sqlite3* db = nullptr;
  std::string result = "cannot open";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
      result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return result;
}

TEST_F(RegistryDatabase, ClassesRootIsTheClassesKeyOfLocalMachine) {
  RegistryKey key = 0;
  ASSERT_EQ(CreateRegistryKey(kClassesRoot, ".kvt\\shell", &key), kErrorSuccess);
  CloseRegistryKey(key);
  EXPECT_TRUE(KeyExists(kLocalMachine, "SOFTWARE\\Classes\\.KVT\\Shell"));
  EXPECT_TRUE(KeyExists(kClassesRoot, "\\.kvt")) << "one leading backslash is allowed here";
  EXPECT_FALSE(KeyExists(kCurrentUser, "Software\\Classes\\.kvt"));
}

TEST_F(RegistryDatabase, RootsAndTheClassesKeyCannotBeDeleted) {
  EXPECT_EQ(DeleteRegistryKey(kClassesRoot, ""), kErrorAccessDenied);
  EXPECT_EQ(DeleteRegistryKey(kLocalMachine, "Software\\Classes"), kErrorAccessDenied);
  EXPECT_EQ(DeleteRegistryKey(kLocalMachine, ""), kErrorAccessDenied);
  EXPECT_EQ(DeleteRegistryKey(kCurrentUser, ""), kErrorAccessDenied);
  EXPECT_TRUE(KeyExists(kClassesRoot, ""));
}

TEST_F(RegistryDatabase, EachSandboxHasItsOwnRegistry) {
  RegistryKey key = 0;
  ASSERT_EQ(CreateRegistryKey(kCurrentUser, "Software\\First", &key), kErrorSuccess);
  EXPECT_TRUE(std::filesystem::exists(Database()));

  std::string other = Root() + "/other";
  posix::SetSandboxRoot(other.c_str());
  EXPECT_EQ(SetRegistryValue(key, "v", kRegSz, reinterpret_cast<const u8*>(""), 1), kErrorInvalidHandle)
      << "a handle belongs to the database it came from";
  EXPECT_FALSE(KeyExists(kCurrentUser, "Software\\First"));
  EXPECT_TRUE(std::filesystem::exists(other + "/registry.db"));

  posix::SetSandboxRoot(Root().c_str());
  EXPECT_TRUE(KeyExists(kCurrentUser, "Software\\First"));
}

TEST_F(RegistryDatabase, AFileThatIsNoRegistryIsRefusedAndLeftAlone) {
  struct Case {
    const char* what;
    std::string content;
  } cases[] = {
      {"text", "this is not a database\n"},
      {"zeros", std::string(8192, '\0')},
  };
  for (const Case& c : cases) {
    posix::CloseRegistryDatabase();
    std::ofstream(Database(), std::ios::binary) << c.content;
    RegistryKey key = 0;
    SystemError status = OpenRegistryKey(kCurrentUser, "Software", &key);
    EXPECT_TRUE(status == kErrorBadDatabase) << c.what << ": " << status;
    std::ifstream in(Database(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.content) << c.what;
  }

  posix::CloseRegistryDatabase();
  std::filesystem::remove(Database());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(Database().c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes(text)", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  RegistryKey key = 0;
  EXPECT_EQ(OpenRegistryKey(kCurrentUser, "Software", &key), kErrorBadDatabase) << "another program's database";
}

TEST_F(RegistryDatabase, TheTreeIsAtMost512KeysDeep) {
  // Built 64 levels at a time: one path may hold only 260 characters.
  std::string levels;
  for (int i = 0; i < 64; ++i) levels += (i ? "\\" : "") + std::string("k");
  RegistryKey key = kCurrentUser;
  for (int chunk = 0; chunk < 8; ++chunk) {
    RegistryKey deeper = 0;
    ASSERT_EQ(CreateRegistryKey(key, levels.c_str(), &deeper), kErrorSuccess) << "chunk " << chunk;
    CloseRegistryKey(key);
    key = deeper;
  }
  RegistryKey refused = 0;
  EXPECT_EQ(CreateRegistryKey(key, "k", &refused), kErrorInvalidParameter) << "level 513";
  EXPECT_EQ(CreateRegistryKey(key, "", &refused), kErrorSuccess) << "level 512 itself is there";
  CloseRegistryKey(refused);
  CloseRegistryKey(key);

  ASSERT_EQ(CreateRegistryKey(kCurrentUser, "x", &key), kErrorSuccess);
  for (int chunk = 0; chunk < 7; ++chunk) {
    RegistryKey deeper = 0;
    ASSERT_EQ(CreateRegistryKey(key, levels.c_str(), &deeper), kErrorSuccess) << "chunk " << chunk;
    CloseRegistryKey(key);
    key = deeper;
  }
  EXPECT_EQ(CreateRegistryKey(key, (levels + "\\tail").c_str(), &refused), kErrorInvalidParameter);
  EXPECT_EQ(CreateRegistryKey(key, "k", &refused), kErrorSuccess) << "a refused creation leaves nothing behind";
  u32 subKeys = 0;
  EXPECT_EQ(QueryRegistryKeyCounts(refused, &subKeys, nullptr), kErrorSuccess);
  EXPECT_EQ(subKeys, 0u);
  CloseRegistryKey(refused);
  CloseRegistryKey(key);
}

// Runs body in a child process and returns its pid. The parent's database
// connection is closed first: a SQLite connection must not cross a fork.
template <typename Body>
pid_t Fork(Body body) {
  posix::CloseRegistryDatabase();
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

TEST_F(RegistryDatabase, TwoProcessesWriteAtTheSameTime) {
  constexpr int kValues = 150;
  std::vector<pid_t> writers;
  for (const char* name : {"Software\\One", "Software\\Two"}) {
    writers.push_back(Fork([name] {
      RegistryKey key = 0;
      if (CreateRegistryKey(kCurrentUser, name, &key) != kErrorSuccess) return 3;
      for (int i = 0; i < kValues; ++i) {
        std::string value = "v" + std::to_string(i);
        if (SetRegistryValue(key, value.c_str(), kRegSz, reinterpret_cast<const u8*>(value.c_str()),
                             static_cast<u32>(value.size() + 1)) != kErrorSuccess)
          return 4;
      }
      return 0;
    }));
  }
  for (pid_t pid : writers) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
  }
  for (const char* name : {"Software\\One", "Software\\Two"}) {
    RegistryKey key = 0;
    ASSERT_EQ(OpenRegistryKey(kCurrentUser, name, &key), kErrorSuccess);
    u32 values = 0;
    EXPECT_EQ(QueryRegistryKeyCounts(key, nullptr, &values), kErrorSuccess);
    EXPECT_EQ(values, static_cast<u32>(kValues)) << name;
    CloseRegistryKey(key);
  }
}

// The data of iteration n: big enough to span many database pages.
std::string Pattern(u32 n) {
  std::string data(64 * 1024, '\0');
  u32 state = n * 2654435761u + 1;
  for (char& c : data) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  return data;
}

std::string IterationPath(u32 n) {
  char name[32];
  std::snprintf(name, sizeof name, "N%05u", n);
  return std::string("Software\\Crash\\") + name;
}

// A writer that creates a chain of keys (one transaction) and then a large
// value (another) per iteration, and reports each finished iteration on a
// pipe, is killed at a random moment. Every reported iteration must be
// there whole; an unreported one may be there or not, but never in part.
TEST_F(RegistryDatabase, AWriterKilledMidwayLeavesAConsistentDatabase) {
  u32 seed = static_cast<u32>(std::chrono::steady_clock::now().time_since_epoch().count());
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::set<u32> reported;
  u32 next = 0;
  for (int round = 0; round < 5; ++round) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    u32 first = next;
    pid_t writer = Fork([&] {
      close(pipeEnds[0]);
      for (u32 n = first;; ++n) {
        RegistryKey key = 0;
        if (CreateRegistryKey(kCurrentUser, (IterationPath(n) + "\\A\\B\\C").c_str(), &key) != kErrorSuccess) return 3;
        std::string data = Pattern(n);
        if (SetRegistryValue(key, "Data", kRegBinary, reinterpret_cast<const u8*>(data.data()),
                             static_cast<u32>(data.size())) != kErrorSuccess)
          return 4;
        CloseRegistryKey(key);
        if (write(pipeEnds[1], &n, sizeof n) != sizeof n) return 5;
      }
    });
    close(pipeEnds[1]);
    seed = seed * 1103515245u + 12345u;
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + (seed >> 16) % 80));
    kill(writer, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(writer, &status, 0), writer);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own: status " << status;
    u32 n = 0;
    while (read(pipeEnds[0], &n, sizeof n) == sizeof n) reported.insert(n);
    close(pipeEnds[0]);
    next = reported.empty() ? first + 1 : *reported.rbegin() + 2;

    ASSERT_EQ(IntegrityCheck(Database()), "ok") << "round " << round;
    RegistryKey crash = 0;
    if (OpenRegistryKey(kCurrentUser, "Software\\Crash", &crash) != kErrorSuccess) continue;
    char name[256];
    for (u32 i = 0; EnumRegistryKey(crash, i, name, sizeof name) == kErrorSuccess; ++i) {
      u32 iteration = static_cast<u32>(std::stoul(name + 1));
      std::string path = IterationPath(iteration) + "\\A\\B\\C";
      RegistryKey key = 0;
      ASSERT_EQ(OpenRegistryKey(kCurrentUser, path.c_str(), &key), kErrorSuccess)
          << "the key chain of " << name << " is incomplete";
      std::string data(64 * 1024 + 1, '\0');
      u32 size = static_cast<u32>(data.size());
      SystemError found = QueryRegistryValue(key, "Data", nullptr, reinterpret_cast<u8*>(data.data()), &size);
      if (found == kErrorSuccess) {
        data.resize(size);
        EXPECT_TRUE(data == Pattern(iteration)) << "the value of " << name << " is damaged";
      } else {
        EXPECT_EQ(reported.count(iteration), 0u) << "reported iteration " << name << " lost its value";
      }
      CloseRegistryKey(key);
    }
    CloseRegistryKey(crash);
    for (u32 iteration : reported)
      EXPECT_TRUE(KeyExists(kCurrentUser, IterationPath(iteration) + "\\A\\B\\C")) << "lost " << iteration;
  }
  EXPECT_FALSE(reported.empty()) << "the writer never finished an iteration";
}

}  // namespace
}  // namespace kova::platform
