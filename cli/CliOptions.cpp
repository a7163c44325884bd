#include "cli/CliOptions.h"

#include <stdexcept>

#include "platform/ComputerNames.h"
#include "platform/TextSafety.h"

namespace tavrin::cli {

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

[[noreturn]] void Refuse(const std::string& message) { throw std::invalid_argument(message); }

// Names with control characters are refused where they are read, shown
// escaped so that the message itself is safe on a terminal.
void RefuseControls(const std::string& text, const char* what) {
  if (HasControls(text))
    Refuse(std::string("the ") + what + " \"" + EscapeControls(text) +
           "\" holds a control character");
}

// The rights named in a comma-separated list of policy names. Only the 27
// rights the program shows are accepted, spelled exactly.
TvmPrivileges RightsOf(const std::string& list, const char* option) {
  TvmPrivileges rights;
  const std::vector<std::string> names = SplitList(list);
  if (names.empty()) Refuse(std::string(option) + " needs at least one right name");
  for (const std::string& name : names) {
    const auto right = PrivilegeFromPolicyName(name);
    if (!right)
      Refuse("unknown right \"" + EscapeControls(name) + "\" (see --help for the 27 right names)");
    rights.Include(*right);
  }
  return rights;
}

}  // namespace

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    if (std::string part = Trimmed(text.substr(start, end - start)); !part.empty())
      parts.push_back(std::move(part));
    start = end + 1;
  }
  return parts;
}

TOptions ParseOptions(const std::vector<std::string>& args) {
  TOptions options;
  if (args.empty()) Refuse("no command given (report or apply; see --help)");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") return options;
  if (command == "--version") {
    options.command = TCommand::Version;
    return options;
  }
  if (command == "report")
    options.command = TCommand::Report;
  else if (command == "apply")
    options.command = TCommand::Apply;
  else
    Refuse("unknown command \"" + EscapeControls(command) + "\" (report or apply; see --help)");

  const bool apply = options.command == TCommand::Apply;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.command = TCommand::Help;
      return options;
    }
    const auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) Refuse(arg + " needs a value");
      return args[++i];
    };
    if (arg == "--account") {
      options.account = Trimmed(value());
      RefuseControls(options.account, "account");
    } else if (arg == "--source") {
      options.source = Trimmed(value());
      RefuseControls(options.source, "source");
    } else if (arg == "--computers") {
      for (std::string& name : tavrin::SplitComputerNames(value())) {
        if (const std::string problem = tavrin::ComputerNameProblem(name); !problem.empty())
          Refuse("--computers: " + problem);
        options.computers.push_back(std::move(name));
      }
    } else if (arg == "--computers-file") {
      options.files.push_back(value());
    } else if (arg == "--scan") {
      options.scan = true;
    } else if (arg == "--format") {
      const std::string& format = value();
      if (format == "table")
        options.format = TFormat::Table;
      else if (format == "csv" && !apply)
        options.format = TFormat::Csv;
      else if (format == "json")
        options.format = TFormat::Json;
      else
        Refuse("unknown format \"" + EscapeControls(format) + "\" (" +
               (apply ? "table or json" : "table, csv or json") + ")");
    } else if (arg == "--csv-raw" && !apply) {
      options.csvRaw = true;
    } else if (arg == "--grant" && apply) {
      options.grant = options.grant | RightsOf(value(), "--grant");
    } else if (arg == "--revoke" && apply) {
      options.revoke = options.revoke | RightsOf(value(), "--revoke");
    } else if (arg == "--dry-run" && apply) {
      options.dryRun = true;
    } else {
      Refuse("unknown option \"" + EscapeControls(arg) + "\" for " + command + " (see --help)");
    }
  }
  if (options.account.empty()) Refuse("--account is required");
  if (options.computers.empty() && options.files.empty() && !options.scan)
    Refuse("no computers given: use --computers, --computers-file or --scan");
  if (apply) {
    if (options.grant.Empty() && options.revoke.Empty())
      Refuse("nothing to apply: use --grant or --revoke");
    const TvmPrivileges both = options.grant & options.revoke;
    for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal)
      if (both.Contains(static_cast<TvmPrivilege>(ordinal)))
        Refuse(std::string("right \"") + PolicyNames[ordinal] + "\" is both granted and revoked");
  }
  return options;
}

std::string HelpText() {
  std::string text =
      "Usage:\n"
      "  tavrin-cli report --account ACCOUNT [--source COMPUTER|DOMAIN] COMPUTERS\n"
      "                    [--format table|csv|json] [--csv-raw]\n"
      "  tavrin-cli apply --account ACCOUNT [--source COMPUTER|DOMAIN] COMPUTERS\n"
      "                   [--grant RIGHT,...] [--revoke RIGHT,...] [--dry-run]\n"
      "                   [--format table|json]\n"
      "  tavrin-cli --help | --version\n"
      "\n"
      "ACCOUNT   a SID (S-1-5-32-544), DOMAIN\\name or a name; names are looked up\n"
      "          on --source (this computer when not given; a domain is asked\n"
      "          through one of its controllers)\n"
      "COMPUTERS one or more of: --computers NAME,...  --computers-file FILE\n"
      "          (names separated by commas or line ends, '#' starts a comment;\n"
      "          a regular file, a pipe, or '-' for standard input)\n"
      "          --scan (the computers the network lists); '.' is this computer\n"
      "\n"
      "report prints the account's rights on every computer, one row each.\n"
      "apply grants and revokes rights as the window's Commit does: every computer\n"
      "is read afresh and only the difference is written; rights not listed below\n"
      "are never touched. --dry-run reads and prints what would change. Each\n"
      "computer's line names the rights written and, when a write failed, the\n"
      "right and the reason; rights written but not read back say so.\n"
      "\n"
      "CSV cells that begin with = + - @, a tab or a carriage return get a leading\n"
      "' so that spreadsheets do not run them; --csv-raw writes them as they are.\n"
      "\n"
      "Off Windows the computers are those of the simulated network unless\n"
      "  --network real --server NAME[:PORT] --user DOMAIN\\NAME [--password-fd N]\n"
      "is given: real computers are reached over SMB, --server stands for this\n"
      "computer, and the password is read from file descriptor N or asked on the\n"
      "terminal (never taken from the command line or the environment).\n"
      "\n"
      "Exit status: 0 every computer done, 1 some computers could not be read or\n"
      "changed, or their changes were written but not verified, 2 bad arguments,\n"
      "a refused computer list or an account that cannot be resolved.\n"
      "\n"
      "Rights (code, right name, meaning):\n";
  for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal) {
    const auto right = static_cast<TvmPrivilege>(ordinal);
    std::string name = PolicyNames[ordinal];
    name.resize(34, ' ');
    text += "  " + PrivilegeCode(right) + "  " + name + (PrivilegeLegend[ordinal] + 5) + "\n";
  }
  return text;
}

}  // namespace tavrin::cli
