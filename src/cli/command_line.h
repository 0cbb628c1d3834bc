// The command line of one kova command, parsed by CLI11 and worded the way
// kova has always worded it: -h/--help prints the command's own help text,
// an unknown option is "unknown option 'X'" followed by the help text, an
// option without its value is "X needs a value", and every usage error ends
// with exit status 2. A command declares its options and operands on App()
// and judges the values itself after Parse: the messages about them (no
// manifest, one installer too many) belong to the command.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

namespace kova::cli {

inline constexpr int kUsageError = 2;

class CommandLine {
 public:
  // name begins every message ("kova build"); usage is the help text; hint,
  // when given, follows a usage error instead of the help text.
  CommandLine(std::string name, const char* usage, const char* hint = nullptr);
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  CLI::App& App() { return app_; }

  // The command's one operand (an installer, a manifest); a second one is
  // "more than one <kind> given ('X')".
  CLI::Option* Operand(const std::string& name, std::string& into, const char* kind);

  // An option taking one value, on App() or on one of its subcommands. Given
  // without it, the message is "<option as typed> needs <what>".
  CLI::Option* Value(const std::string& names, std::string& into, const char* what = "a value");
  CLI::Option* Value(CLI::App& app, const std::string& names, std::string& into, const char* what = "a value");

  // Parses the arguments after the command's name. Returns the exit status
  // when the command ends here: 0 after the help text (or the version), and
  // kUsageError after an unknown option, an option without its value or a
  // second operand. A prefix command's unknown options stay in Surplus().
  std::optional<int> Parse(int argc, char** argv);

  // The arguments that no option or operand took, in order, without the
  // "--" that ends the options.
  const std::vector<std::string>& Surplus() const { return surplus_; }

  // "<name>: <message>", then the hint, or the help text when withUsage;
  // returns kUsageError.
  int UsageError(const std::string& message, bool withUsage = false) const;

  // The help text alone on standard error (no arguments at all); returns
  // kUsageError.
  int UsageOnly() const;

 private:
  struct ValueOption {
    CLI::Option* option;
    std::string firstName;
    const char* what;
  };

  int MissingValue(const CLI::ArgumentMismatch& mismatch, const std::string& lastArgument) const;

  std::string name_;
  const char* usage_;
  const char* hint_;
  CLI::App app_;
  std::vector<ValueOption> values_;
  const char* operandKind_ = nullptr;
  std::vector<std::string> surplus_;
};

// True for an argument in the form of an option ("-x", "--name"), which a
// lone "-" is not.
bool LooksLikeOption(const std::string& argument);

}  // namespace kova::cli
