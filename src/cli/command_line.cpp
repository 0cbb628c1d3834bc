// A kova command's command line on CLI11; see command_line.h. CLI11 does the
// parsing; what it would say itself (its generated help, "The following
// arguments were not expected", "1 required TEXT missing") is replaced here
// by kova's own texts, so its help flag is off and extras are allowed: the
// arguments it leaves over are judged after parsing.
#include "cli/command_line.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace kova::cli {

CommandLine::CommandLine(std::string name, const char* usage, const char* hint)
    : name_(std::move(name)), usage_(usage), hint_(hint) {
  app_.set_help_flag();
  // Acted on where it stands, as before: "-h" wins over a mistake after it.
  app_.add_flag_callback("-h,--help", [] { throw CLI::CallForHelp(); })->trigger_on_parse();
  app_.allow_extras();
}

CLI::Option* CommandLine::Operand(const std::string& name, std::string& into, const char* kind) {
  operandKind_ = kind;
  return app_.add_option(name, into);
}

CLI::Option* CommandLine::Value(const std::string& names, std::string& into, const char* what) {
  return Value(app_, names, into, what);
}

CLI::Option* CommandLine::Value(CLI::App& app, const std::string& names, std::string& into, const char* what) {
  CLI::Option* option = app.add_option(names, into)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  values_.push_back({option, names.substr(0, names.find(',')), what});
  return option;
}

std::optional<int> CommandLine::Parse(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  const std::string last = args.empty() ? std::string() : args.back();
  std::reverse(args.begin(), args.end());  // CLI11 takes them from the back
  try {
    app_.parse(args);
  } catch (const CLI::CallForHelp&) {
    std::fputs(usage_, stdout);
    return 0;
  } catch (const CLI::CallForVersion& version) {
    std::printf("%s\n", version.what());
    return 0;
  } catch (const CLI::ArgumentMismatch& mismatch) {
    return MissingValue(mismatch, last);
  } catch (const CLI::ParseError& error) {
    return UsageError(error.what(), true);
  }

  // The first "--" before any operand is the end of the options; a later
  // one, or one after an installer's path, is an argument like any other.
  surplus_.clear();
  bool operandSeen = false, markSeen = false;
  for (const std::string& argument : app_.remaining(true)) {
    if (argument == "--" && !operandSeen && !markSeen) {
      markSeen = true;
      continue;
    }
    operandSeen = operandSeen || !LooksLikeOption(argument);
    surplus_.push_back(argument);
  }
  if (!app_.get_prefix_command()) {
    for (const std::string& argument : surplus_)
      if (LooksLikeOption(argument)) return UsageError("unknown option '" + argument + "'", true);
  }
  if (operandKind_ && !surplus_.empty())
    return UsageError(std::string("more than one ") + operandKind_ + " given ('" + surplus_[0] + "')");
  return std::nullopt;
}

// CLI11 runs out of arguments only at the end of the line, so the option
// without its value is the last argument as typed ("--output"), unless it
// came in a group of short flags ("-qo"): then it is named by its first name.
int CommandLine::MissingValue(const CLI::ArgumentMismatch& mismatch, const std::string& lastArgument) const {
  const std::string message = mismatch.what();
  for (const ValueOption& value : values_) {
    if (message.rfind(value.option->get_name() + ":", 0) != 0) continue;
    const std::string& typed = value.option->check_name(lastArgument) ? lastArgument : value.firstName;
    return UsageError(typed + " needs " + value.what);
  }
  return UsageError(message, true);
}

int CommandLine::UsageError(const std::string& message, bool withUsage) const {
  std::fprintf(stderr, "%s: %s\n", name_.c_str(), message.c_str());
  if (hint_) {
    std::fputs(hint_, stderr);
  } else if (withUsage) {
    std::fputc('\n', stderr);
    std::fputs(usage_, stderr);
  }
  return kUsageError;
}

int CommandLine::UsageOnly() const {
  std::fputs(usage_, stderr);
  return kUsageError;
}

bool LooksLikeOption(const std::string& argument) { return argument.size() > 1 && argument[0] == '-'; }

}  // namespace kova::cli
