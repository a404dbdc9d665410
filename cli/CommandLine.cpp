#include "cli/CommandLine.h"

#include <array>
#include <utility>

#include "cli/CliErrors.h"

namespace korvane::cli {

namespace {

struct TCommandSpec {
  TCommand Command;
  const char* Name;
  std::size_t MinOperands;
  std::size_t MaxOperands;  // SIZE_MAX: any number
  bool TakesJson;
  bool TakesWatch;
  bool TakesNoGuard = false;
};

constexpr std::size_t kAny = static_cast<std::size_t>(-1);

constexpr std::array<TCommandSpec, 12> kCommands = {{
    {TCommand::List, "list", 0, 0, true, false},
    {TCommand::Show, "show", 0, 1, true, false},
    {TCommand::Set, "set", 2, kAny, false, false},
    {TCommand::Save, "save", 2, 2, false, false},
    {TCommand::Load, "load", 2, 2, false, false},
    {TCommand::Defaults, "defaults", 1, 1, false, false},
    {TCommand::Remember, "remember", 1, 1, false, false, true},
    {TCommand::Forget, "forget", 1, 1, false, false},
    {TCommand::Remembered, "remembered", 0, 0, true, false},
    {TCommand::Restore, "restore", 0, 1, false, true},
    {TCommand::Autostart, "autostart", 1, 1, false, false},
    {TCommand::Emulate, "emulate", 2, kAny, false, false},
}};

const TCommandSpec* FindCommand(const std::string& name) {
  for (const TCommandSpec& spec : kCommands) {
    if (name == spec.Name) return &spec;
  }
  return nullptr;
}

[[noreturn]] void Usage(const std::string& message) {
  throw ECliError(TExitCode::Usage, message + " (see korvane-cam --help)");
}

}  // namespace

const char* CommandName(TCommand command) {
  for (const TCommandSpec& spec : kCommands) {
    if (spec.Command == command) return spec.Name;
  }
  return "";
}

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  TCommandLine line;
  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (const std::string& argument : arguments) {
    // After "--" everything is an operand, a further "--" of emulate's program included.
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && (argument == "--help" || argument == "-h")) {
      line.Help = true;
    } else if (!optionsEnded && argument == "--version") {
      line.Version = true;
    } else if (!optionsEnded && argument == "--json") {
      line.Json = true;
    } else if (!optionsEnded && argument == "--watch") {
      line.Watch = true;
    } else if (!optionsEnded && argument == "--no-guard") {
      line.NoGuard = true;
    } else if (!optionsEnded && argument.size() > 1 && argument.front() == '-') {
      Usage("unknown option '" + argument + "'");
    } else {
      operands.push_back(argument);
    }
  }
  if (line.Version && operands.empty()) return line;
  if (operands.empty()) {
    if (line.Help) return line;
    Usage("no command given");
  }

  std::string name = operands.front();
  operands.erase(operands.begin());
  // `help COMMAND` is the same as `COMMAND --help`.
  if (name == "help") {
    line.Help = true;
    if (operands.empty()) return line;
    name = operands.front();
    operands.clear();
  }
  const TCommandSpec* spec = FindCommand(name);
  if (!spec) Usage("unknown command '" + name + "'");
  line.Command = spec->Command;
  if (line.Help) return line;

  if (line.Json && !spec->TakesJson) Usage(std::string("--json is not an option of ") + spec->Name);
  if (line.Watch && !spec->TakesWatch) {
    Usage(std::string("--watch is not an option of ") + spec->Name);
  }
  if (line.NoGuard && !spec->TakesNoGuard) {
    Usage(std::string("--no-guard is not an option of ") + spec->Name);
  }
  if (operands.size() < spec->MinOperands || operands.size() > spec->MaxOperands) {
    Usage(std::string("wrong number of arguments for ") + spec->Name);
  }
  // The watcher restores every remembered camera that comes, attached now or not.
  if (line.Watch && !operands.empty()) Usage("restore --watch takes no CAMERA");
  if (line.Command == TCommand::Autostart) {
    if (operands.front() != "on" && operands.front() != "off") {
      Usage("autostart takes on or off, not '" + operands.front() + "'");
    }
    line.AutostartOn = operands.front() == "on";
    return line;
  }
  if (line.Command == TCommand::Emulate) {
    line.File = operands.front();
    line.Program.assign(operands.begin() + 1, operands.end());
    return line;
  }
  if (!operands.empty()) line.Camera = operands.front();
  switch (line.Command) {
    case TCommand::Save:
    case TCommand::Load:
      line.File = operands[1];
      break;
    case TCommand::Set:
      line.Assignments.assign(operands.begin() + 1, operands.end());
      break;
    default:
      break;
  }
  return line;
}

}  // namespace korvane::cli
