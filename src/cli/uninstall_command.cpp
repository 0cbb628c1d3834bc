// kova uninstall [--root DIR] NAME [/a]: runs the uninstaller a product
// registered in the sandbox, as Windows' list of programs would.
// kova reboot [--root DIR]: what a restart of the sandbox's Windows would
// do: the delayed moves and deletions (PendingFileRenameOperations, and
// wininit.ini's [rename] section of the Windows 95 and 98 family).
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/run_command.h"
#include "core/paths.h"
#include "install/whole_file.h"
#include "platform/file_system.h"
#include "platform/posix/pending_renames.h"
#include "platform/posix/sandbox.h"
#include "platform/posix/sandbox_paths.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace kova::cli {
namespace {

constexpr const char* kUninstallUsage =
    "Usage: kova uninstall [--root DIR] NAME [/a]\n"
    "\n"
    "Runs the uninstaller that the product NAME registered in the sandbox (the UninstallString\n"
    "of its Uninstall key), with its questions on the terminal; /a answers none of them.\n"
    "\n"
    "Options:\n"
    "  --root DIR   the sandbox root (default: ./kova-root)\n"
    "  -h, --help   show this text\n"
    "\n"
    "Exit status: as kova run; 1 also when no product of that name is registered.\n";

constexpr const char* kRebootUsage =
    "Usage: kova reboot [--root DIR]\n"
    "\n"
    "Carries out what waits for the sandbox's Windows to restart: the moves and deletions an\n"
    "installer left in PendingFileRenameOperations and in the [rename] section of wininit.ini,\n"
    "in order, and forgets the restart an installer asked for. The host is never restarted.\n"
    "\n"
    "Options:\n"
    "  --root DIR   the sandbox root (default: ./kova-root)\n"
    "  -h, --help   show this text\n"
    "\n"
    "Exit status: 0 when everything was carried out, 1 when something could not be.\n";

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string ReadUninstallString(const std::string& name) {
  platform::ScopedRegistryKey key;
  std::string path = kUninstallKey + name;
  if (platform::OpenRegistryKey(platform::kLocalMachine, path.c_str(), key.Out()) != platform::kErrorSuccess)
    return "";
  u8 data[2048] = {};
  u32 size = sizeof data - 1;
  u32 type = 0;
  if (platform::QueryRegistryValue(key.Get(), "UninstallString", &type, data, &size) != platform::kErrorSuccess)
    return "";
  return std::string(reinterpret_cast<const char*>(data));
}

// One move or deletion; a line for the user either way.
bool Carry(const std::string& from, const std::string& to, bool replace) {
  bool done = to.empty() ? platform::RemoveFile(from.c_str())
                         : platform::MoveFilePath(from.c_str(), to.c_str(), replace ? platform::kMoveReplaceExisting : 0);
  if (to.empty())
    std::printf("%s %s\n", done ? "deleted" : "could not delete", from.c_str());
  else
    std::printf("%s %s -> %s\n", done ? "moved" : "could not move", from.c_str(), to.c_str());
  return done;
}

// wininit.ini's [rename] lines, "target=source" ("NUL" as target deletes),
// carried out and taken out of the file.
bool CarryOutWininit(bool& ok) {
  core::String path = core::JoinPath(platform::WindowsDirectory().CStr(), "wininit.ini");
  core::String text;
  if (install::ReadWholeFile(path.CStr(), text) < 0) return true;
  std::string kept;
  bool inRename = false;
  core::String rest = text;
  while (!rest.IsEmpty()) {
    core::String line = rest.TakeLine();
    std::string plain(line.CStr());
    if (!plain.empty() && plain[0] == '[') inRename = plain == "[rename]" || plain == "[Rename]" || plain == "[RENAME]";
    std::size_t equals = plain.find('=');
    if (inRename && plain[0] != '[' && equals != std::string::npos) {
      std::string target = plain.substr(0, equals);
      std::string source = plain.substr(equals + 1);
      bool remove = target == "NUL" || target == "nul";
      if (!Carry(source, remove ? "" : target, true)) ok = false;
      continue;
    }
    if (inRename && plain[0] == '[') {
      // the section header itself goes with its lines
      continue;
    }
    kept += plain + "\r\n";
  }
  return install::WriteWholeFile(path.CStr(), kept.data(), static_cast<i64>(kept.size()));
}

}  // namespace

int RunUninstall(int argc, char** argv) {
  BufferStandardError();
  std::string root = "kova-root";
  CommandLine line("kova uninstall", kUninstallUsage);
  line.Value("--root", root, "a folder");
  line.App().prefix_command();
  if (std::optional<int> status = line.Parse(argc, argv)) return *status;
  const std::vector<std::string>& rest = line.Surplus();
  if (rest.empty()) return line.UsageOnly();
  const std::string& name = rest[0];
  platform::posix::SetSandboxRoot(root.c_str());
  platform::posix::PrepareSandbox();
  std::string command = ReadUninstallString(name);
  std::size_t switchAt = command.rfind(" /u:");
  if (switchAt == std::string::npos || switchAt == 0) {
    std::fprintf(stderr, "kova uninstall: no product named '%s' is registered in %s\n", name.c_str(), root.c_str());
    return 1;
  }
  std::string program = command.substr(0, switchAt);
  std::string arguments = command.substr(switchAt);
  for (std::size_t i = 1; i < rest.size(); ++i) arguments += " " + rest[i];
  RunEngine(core::String(program.c_str()), arguments);
}

int RunReboot(int argc, char** argv) {
  std::string root = "kova-root";
  CommandLine line("kova reboot", kRebootUsage);
  line.Value("--root", root, "a folder");
  if (std::optional<int> status = line.Parse(argc, argv)) return *status;
  if (!line.Surplus().empty()) return line.UsageError("unexpected argument '" + line.Surplus()[0] + "'");
  if (access(root.c_str(), F_OK) != 0) {
    std::fprintf(stderr, "kova reboot: %s is no sandbox root\n", root.c_str());
    return 1;
  }
  platform::posix::SetSandboxRoot(root.c_str());
  platform::posix::PrepareSandbox();
  bool ok = true;
  core::Array<platform::posix::PendingRename> renames;
  platform::posix::ReadPendingRenames(&renames);
  for (i32 i = 0; i < renames.Size(); ++i)
    if (!Carry(renames[i].from.CStr(), renames[i].to.CStr(), renames[i].replace)) ok = false;
  std::remove(platform::posix::PendingRenamesFile().CStr());
  if (!CarryOutWininit(ok)) ok = false;
  std::remove((root + "/RestartRequested.txt").c_str());
  std::fprintf(stderr, "kova reboot: %d delayed operations carried out%s\n", static_cast<int>(renames.Size()),
               ok ? "" : ", some failed");
  return ok ? 0 : 1;
}

}  // namespace kova::cli
