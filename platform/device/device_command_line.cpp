// CLI11 reports every parse result, even --help, by throwing. This file is
// the only one built with exceptions (see CMakeLists.txt): the exceptions
// stay inside ReadDeviceCommandLine, which catches all of them and turns
// them into exit codes and one line of text, so the rest of velmora-device
// is written and built without exceptions like the program.
#include "platform/device/device_command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <exception>

#include "platform/build_version.h"

namespace velmora {

const char* const DeviceUsage =
    "usage: velmora-device [--device DIR] COMMAND\n"
    "       velmora-device --help | --version\n"
    "\n"
    "commands:\n"
    "  init [DIR]           create the sample device (never over an existing one)\n"
    "  init DIR --from FILE.reg [--from ...] [BOARD OPTIONS]\n"
    "                       create a device from a board's .reg files (CE dialect)\n"
    "  boot                 restart the device: load the built-in drivers by Order\n"
    "  active               list the running devices: name, handle, key, description\n"
    "  activate KEY         load the driver of a registry key\n"
    "  deactivate HANDLE    unload a running device\n"
    "  version PATH         FileVersion of a device file (empty line when none)\n"
    "  stage-update [--force] FILE\n"
    "                       put FILE (a PE image; --force: any file) on the device\n"
    "                       as \\windows\\Velmora_tmp.dll\n"
    "  reg export [FILE]    write the registry as .reg text (to stdout without FILE\n"
    "                       or with -)\n"
    "  reg import FILE      merge a .reg file into the registry (\"Drivers\\Active\",\n"
    "                       the running devices, is left alone; - reads stdin)\n"
    "  reg import --bsp FILE [BOARD OPTIONS]\n"
    "                       apply a board's .reg file (CE dialect) to the registry\n"
    "  reg restore FILE     replace the whole registry with a .reg file, then boot\n"
    "  reg check            check every record of the registry (exit 1: damaged)\n"
    "  reg repair           rebuild a damaged registry from what can be read,\n"
    "                       keeping a copy of the damaged one\n"
    "  run                  switch the device on: serve its running serial ports on\n"
    "                       this host until Ctrl+C (SIGINT) or SIGTERM\n"
    "  ports [--json]       list the endpoints of the device while it is switched on,\n"
    "                       with their clients and bytes (--json: for scripts)\n"
    "\n"
    "options (before the command):\n"
    "  -d, --device DIR     the device folder\n"
    "  -h, --help           show this text\n"
    "  --version            show the version\n"
    "\n"
    "board options (init --from, reg import --bsp):\n"
    "  -D NAME[=VALUE]      define NAME for IF and $(NAME) (repeatable)\n"
    "  -I DIR               look for #include files there too (repeatable)\n"
    "  --strings FILE       the texts of =LOC_ values\n"
    "  --skip-missing-includes\n"
    "                       leave out an #include that is not found, with a warning\n"
    "\n"
    "The device is DIR, else $VELMORA_DEVICE, else ~/.local/share/velmora/device.\n"
    "Exit status: 0 done, 1 the command failed, 2 bad use.\n"
    "\n"
    "run: every running port COMn that the device can serve gets DIR/dev/COMn, a\n"
    "link to a pseudo-terminal that serial programs (gpsd, minicom, picocom) open\n"
    "like a port. Endpoints follow the device manager (activate, deactivate, boot,\n"
    "VelmoraCfg). Served: the GPS receiver gpsdrv.dll (NMEA once a second along a\n"
    "route; values \"Route\", \"Replay\" of its key), any driver whose key has\n"
    "\"HostPort\" (a host serial device, \"HostBaudRate\" default 4800), and the\n"
    "splitter Velmora.dll: it holds the port of its \"ConnectTo\" (whose endpoint goes\n"
    "away meanwhile) and gives every byte to each of its endpoints DIR/dev/COMn,\n"
    "COMn-2 ... (\"Endpoints\", default 4); \"ReadLog\", \"WriteLog\", \"LogDir\" and\n"
    "\"LogLimit\" are read when it starts. One line on standard error per event. One\n"
    "run per device; it removes everything it made when it ends.\n";

namespace {

int UsageError(const std::string& problem) {
  std::fprintf(stderr, "velmora-device: %s (see --help)\n", problem.c_str());
  return 2;
}

// A handle is a whole number that fits the device manager's 32 bits; a
// sign, blanks or anything else is bad use, not a handle that is missing.
bool ParseHandle(const std::string& text, uint32_t* handle) {
  if (text.empty() || text.size() > 10 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  uint64_t value = 0;
  for (char digit : text) {
    value = value * 10 + static_cast<uint64_t>(digit - '0');
  }
  if (value > UINT32_MAX) {
    return false;
  }
  *handle = static_cast<uint32_t>(value);
  return true;
}

// The parts of the command line that CLI11 fills in.
struct Parsed {
  std::string folder;
  bool version = false;
  std::string operand;  // the one operand of the chosen command, if any
  bool force = false;
  bool json = false;
  std::vector<std::string> from;
  bool bspImport = false;
  BspOptions bsp;
};

struct Command {
  const char* name;
  const char* operand;  // nullptr: none
  bool required;
  const char* help;
};

// Every command with its operand; "reg" has its own below. A new command
// is one more row here and one more branch where velmora-device runs it.
const Command Commands[] = {
    {"init", "DIR", false, "create the sample device"},
    {"boot", nullptr, false, "restart the device"},
    {"active", nullptr, false, "list the running devices"},
    {"activate", "KEY", true, "load the driver of a registry key"},
    {"deactivate", "HANDLE", true, "unload a running device"},
    {"version", "PATH", true, "FileVersion of a device file"},
    {"stage-update", "FILE", true, "stage a driver update"},
    {"run", nullptr, false, "switch the device on"},
    {"ports", nullptr, false, "list the endpoints"},
};
const Command RegCommands[] = {
    {"export", "FILE", false, "write the registry as .reg text"},
    {"import", "FILE", true, "merge a .reg file into the registry"},
    {"restore", "FILE", true, "replace the registry with a .reg file, then boot"},
    {"check", nullptr, false, "check every record of the registry"},
    {"repair", nullptr, false, "rebuild a damaged registry"},
};

void AddCommand(CLI::App& parent, const Command& command, Parsed* parsed) {
  CLI::App* sub = parent.add_subcommand(command.name, command.help);
  if (command.operand != nullptr) {
    CLI::Option* operand = sub->add_option(command.operand, parsed->operand, command.operand);
    if (command.required) {
      operand->required();
    }
  }
  std::string name = command.name;
  if (name == "stage-update") {
    sub->add_flag("--force", parsed->force, "stage a file that is not a PE image");
  }
  if (name == "ports") {
    sub->add_flag("--json", parsed->json, "the endpoints as JSON");
  }
  if (name == "init") {
    sub->add_option("--from", parsed->from, "a board's .reg file")->allow_extra_args(false);
  }
  if (name == "import") {
    sub->add_flag("--bsp", parsed->bspImport, "the file is a board's .reg file");
  }
  if (name == "init" || name == "import") {
    sub->add_option("-D", parsed->bsp.defines, "NAME[=VALUE]")->allow_extra_args(false);
    sub->add_option("-I", parsed->bsp.includeDirs, "DIR")->allow_extra_args(false);
    sub->add_option("--strings", parsed->bsp.stringsFile, "FILE");
    sub->add_flag("--skip-missing-includes", parsed->bsp.skipMissingIncludes,
                  "leave out #include files that are not found");
  }
}

// The command words CLI11 had taken when it stopped, as "reg import".
std::string ChosenCommand(const CLI::App& app) {
  std::string words;
  const CLI::App* level = &app;
  while (true) {
    std::vector<const CLI::App*> chosen =
        level->get_subcommands([](const CLI::App* sub) { return sub->parsed(); });
    if (chosen.empty()) {
      return words;
    }
    level = chosen.front();
    words += (words.empty() ? "" : " ") + level->get_name();
  }
}

std::string FirstWord(const std::string& command) {
  return command.substr(0, command.find(' '));
}

// One line for an error of CLI11, naming the problem in the words of this
// tool rather than CLI11's.
std::string Describe(const CLI::ParseError& error, const CLI::App& app,
                     const std::vector<std::string>& args) {
  std::string command = ChosenCommand(app);
  std::string where = command.empty() ? "" : command + ": ";
  if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
    // The first argument that nothing took.
    std::vector<std::string> extras = app.remaining();
    for (const CLI::App* sub = &app;;) {
      std::vector<const CLI::App*> chosen =
          sub->get_subcommands([](const CLI::App* s) { return s->parsed(); });
      if (chosen.empty()) {
        break;
      }
      sub = chosen.front();
      if (!sub->remaining().empty()) {
        extras = sub->remaining();
      }
    }
    std::string extra = extras.empty() ? (args.empty() ? "" : args.back()) : extras.front();
    if (extra.size() > 1 && extra[0] == '-') {
      // Before the command it is an option of the tool, not the command's.
      auto option = std::find(args.begin(), args.end(), extra);
      auto first = std::find(args.begin(), args.end(), FirstWord(command));
      if (option > first && (extra == "-d" || extra.rfind("--device", 0) == 0 ||
                             extra.rfind("-d", 0) == 0 || extra == "--version")) {
        return "'" + extra + "' goes before the command";
      }
      return (option < first ? "" : where) + "unknown option '" + extra + "'";
    }
    if (command.empty()) {
      return "unknown command '" + extra + "'";
    }
    if (command == "reg") {
      return "reg: unknown command '" + extra +
             "'; reg has export, import, restore, check and repair";
    }
    return where + "unexpected argument '" + extra + "'";
  }
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
    if (command == "reg") {
      // CLI11 counts a word that is no command of reg as reg's missing one.
      auto reg = std::find(args.begin(), args.end(), "reg");
      if (reg != args.end() && reg + 1 != args.end()) {
        return "reg: unknown command '" + *(reg + 1) +
               "'; reg has export, import, restore, check and repair";
      }
      return "reg needs a command: export, import, restore, check or repair";
    }
    for (const Command& each : Commands) {
      if (command == each.name && each.operand != nullptr) {
        return where + "missing " + each.operand;
      }
    }
    for (const Command& each : RegCommands) {
      if (command == std::string("reg ") + each.name && each.operand != nullptr) {
        return where + "missing " + each.operand;
      }
    }
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    std::string what = error.what();
    if (what.find("--device") != std::string::npos) {
      return "--device needs a folder";
    }
    // CLI11 says "--from: 1 required TEXT missing".
    std::string option = what.substr(0, what.find(':'));
    if (!option.empty() && option[0] == '-' && option.size() < what.size()) {
      return where + option + " needs a value";
    }
  }
  return where + error.what();
}

}  // namespace

bool ReadDeviceCommandLine(const std::vector<std::string>& args, DeviceCommandLine* line,
                           int* exitCode) {
  *line = DeviceCommandLine{};
  Parsed parsed;
  try {
    CLI::App app("velmora-device", "velmora-device");
    // The help flag is inherited by every command (reg import --help);
    // help and version print this tool's own text, below.
    app.set_help_flag("-h,--help");
    CLI::Option* device = app.add_option("-d,--device", parsed.folder, "DIR");
    app.add_flag("--version", parsed.version);
    app.require_subcommand(0, 1);
    for (const Command& command : Commands) {
      AddCommand(app, command, &parsed);
    }
    CLI::App* reg = app.add_subcommand("reg", "the registry as .reg text");
    reg->require_subcommand(1, 1);
    for (const Command& command : RegCommands) {
      AddCommand(*reg, command, &parsed);
    }
    // CLI11 wants the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
      app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
      std::fputs(DeviceUsage, stdout);
      *exitCode = 0;
      return false;
    } catch (const CLI::CallForAllHelp&) {
      std::fputs(DeviceUsage, stdout);
      *exitCode = 0;
      return false;
    } catch (const CLI::ParseError& error) {
      *exitCode = UsageError(Describe(error, app, args));
      return false;
    }
    if (parsed.version) {
      if (!ChosenCommand(app).empty()) {
        *exitCode = UsageError("--version takes no command");
        return false;
      }
      std::printf("velmora-device %s\n", BuildVersion);
      *exitCode = 0;
      return false;
    }
    line->command = ChosenCommand(app);
    if (device->count() != 0 && parsed.folder.empty()) {
      *exitCode = UsageError("--device needs a folder");
      return false;
    }
  } catch (const std::exception& error) {
    // A fault of the parser's set-up above (a bad option name) or memory.
    *exitCode = UsageError(std::string("cannot read the command line: ") + error.what());
    return false;
  }
  if (line->command.empty()) {
    *exitCode = UsageError("no command given");
    return false;
  }
  line->folder = parsed.folder;
  line->force = parsed.force;
  line->json = parsed.json;
  line->from = parsed.from;
  line->bspImport = parsed.bspImport;
  line->bsp = parsed.bsp;
  bool boardOptions = !parsed.bsp.defines.empty() || !parsed.bsp.includeDirs.empty() ||
                      !parsed.bsp.stringsFile.empty() || parsed.bsp.skipMissingIncludes;
  if (boardOptions && line->from.empty() && !line->bspImport) {
    *exitCode = UsageError(line->command + ": -D, -I, --strings and --skip-missing-includes " +
                           "go with " + (line->command == "init" ? "--from" : "--bsp"));
    return false;
  }
  if (line->command == "deactivate") {
    if (!ParseHandle(parsed.operand, &line->handle)) {
      *exitCode = UsageError("deactivate: not a handle: '" + parsed.operand + "'");
      return false;
    }
  } else if (!parsed.operand.empty()) {
    line->operands.push_back(parsed.operand);
  }
  return true;
}

}  // namespace velmora
