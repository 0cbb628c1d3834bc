// Running the kova tool from a host test as a user would: a child process
// with its own working folder, standard input from a file (or none),
// standard output and error captured whole, and optionally a limit on the
// size of the files it may write, so a write fails the way a full disk does.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kova::test {

struct ToolRun {
  int status = -1;  // the exit status; -1 when the tool did not exit by itself
  std::string out;
  std::string err;
};

struct ToolOptions {
  std::string directory;         // the working folder (default: the test's own)
  std::string input;             // standard input; empty: /dev/null
  long long fileSizeLimit = -1;  // RLIMIT_FSIZE in bytes; -1: none
};

inline ToolOptions InFolder(const std::string& directory, long long fileSizeLimit = -1) {
  ToolOptions options;
  options.directory = directory;
  options.fileSizeLimit = fileSizeLimit;
  return options;
}

inline std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the kova tool with args. Output goes through files, not pipes, so a
// large output cannot fill a pipe and stall the tool.
inline ToolRun RunKova(const std::vector<std::string>& args, const ToolOptions& options = {}) {
  char pattern[] = "/tmp/kova-tool-XXXXXX";
  ToolRun run;
  if (!::mkdtemp(pattern)) return run;
  std::string scratch = pattern;
  std::string outPath = scratch + "/out", errPath = scratch + "/err", inPath = "/dev/null";
  if (!options.input.empty()) {
    inPath = scratch + "/in";
    std::ofstream(inPath, std::ios::binary) << options.input;
  }
  std::vector<std::string> argvText = {KOVA_TOOL};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::fflush(nullptr);
  pid_t child = ::fork();
  if (child == 0) {
    int in = ::open(inPath.c_str(), O_RDONLY);
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(127);
    if (!options.directory.empty() && ::chdir(options.directory.c_str()) != 0) ::_exit(127);
    if (options.fileSizeLimit >= 0) {
      struct rlimit limit = {static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int raw = 0;
  if (child > 0 && ::waitpid(child, &raw, 0) == child && WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
  run.out = ReadTextFile(outPath);
  run.err = ReadTextFile(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  if (inPath != "/dev/null") std::remove(inPath.c_str());
  ::rmdir(scratch.c_str());
  return run;
}

}  // namespace kova::test
