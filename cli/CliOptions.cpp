#include "cli/CliOptions.h"

#include <algorithm>
#include <stdexcept>

#include "platform/ComputerNames.h"
#include "platform/NetworkArgs.h"
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

// The rights named in a comma-separated list: each as its constant in any
// letter case, its two-letter code or Windows' policy name, any of the 45.
TvmPrivileges RightsOf(const std::string& list, const char* option) {
  TvmPrivileges rights;
  const std::vector<std::string> names = SplitList(list);
  if (names.empty()) Refuse(std::string(option) + " needs at least one right name");
  for (const std::string& name : names) {
    const auto right = RightFromUserText(name);
    if (!right)
      Refuse("unknown right \"" + EscapeControls(name) + "\" (see --help for the 45 rights)");
    rights.Include(*right);
  }
  return rights;
}

// The options of the commands: each declared once, with what it takes and
// does; parsing and --help both come from here.
enum : unsigned {
  kReport = 1,
  kApply = 2,
  kBoth = kReport | kApply,
  kHistory = 4,
  kUndo = 8,
  kWhoHas = 16,
  kComputers = kBoth | kWhoHas,  // the commands that take computers
};

struct TOption {
  const char* name;
  const char* value;  // what it takes, as --help shows it; null for a switch
  unsigned commands;
  const char* help;
  void (*take)(TOptions& options, const std::string& value);
};

void TakeFormat(TOptions& options, const std::string& format) {
  const bool apply = options.command == TCommand::Apply;  // the others take all three
  if (format == "table")
    options.format = TFormat::Table;
  else if (format == "csv" && !apply)
    options.format = TFormat::Csv;
  else if (format == "json")
    options.format = TFormat::Json;
  else
    Refuse("unknown format \"" + EscapeControls(format) + "\" (" +
           (apply ? "table or json" : "table, csv or json") + ")");
}

const TOption kOptions[] = {
    {"--account", "ACCOUNT", kBoth | kHistory,
     "the account: a SID, DOMAIN\\name or a name (required but for history)",
     [](TOptions& o, const std::string& v) {
       o.account = Trimmed(v);
       RefuseControls(o.account, "account");
     }},
    {"--source", "COMPUTER|DOMAIN", kBoth,
     "where names are looked up (this computer when not given)",
     [](TOptions& o, const std::string& v) {
       o.source = Trimmed(v);
       RefuseControls(o.source, "source");
     }},
    {"--computers", "NAME,...", kComputers, "computers by name; '.' is this computer",
     [](TOptions& o, const std::string& v) {
       for (std::string& name : tavrin::SplitComputerNames(v)) {
         if (const std::string problem = tavrin::ComputerNameProblem(name); !problem.empty())
           Refuse("--computers: " + problem);
         o.computers.push_back(std::move(name));
       }
     }},
    {"--computers-file", "FILE", kComputers, "computers from a list file; '-' reads standard input",
     [](TOptions& o, const std::string& v) { o.files.push_back(v); }},
    {"--scan", nullptr, kComputers, "the computers the network lists",
     [](TOptions& o, const std::string&) { o.scan = true; }},
    {"--format", "table|csv|json", kReport, "how the report is written", TakeFormat},
    {"--format", "table|json", kApply, "how the lines of an apply are written", TakeFormat},
    {"--format", "table|csv|json", kHistory, "how the history is written", TakeFormat},
    {"--format", "table|csv|json", kWhoHas, "how the holders are written", TakeFormat},
    {"--csv-raw", nullptr, kReport | kWhoHas,
     "CSV cells exactly as they are (no spreadsheet guard)",
     [](TOptions& o, const std::string&) { o.csvRaw = true; }},
    {"--grant", "RIGHT,...", kApply, "rights to grant",
     [](TOptions& o, const std::string& v) { o.grant = o.grant | RightsOf(v, "--grant"); }},
    {"--revoke", "RIGHT,...", kApply, "rights to revoke",
     [](TOptions& o, const std::string& v) { o.revoke = o.revoke | RightsOf(v, "--revoke"); }},
    {"--rights", "classic|all", kBoth,
     "the classic 27 rights (the default) or all 45 of current Windows",
     [](TOptions& o, const std::string& v) {
       const auto view = ViewFromName(v);
       if (!view) Refuse("unknown set of rights \"" + EscapeControls(v) + "\" (classic or all)");
       o.view = *view;
     }},
    {"--force", nullptr, kApply | kUndo, "write even changes the guard rails refuse",
     [](TOptions& o, const std::string&) { o.force = true; }},
    {"--dry-run", nullptr, kApply | kUndo, "read and print what would change; write nothing",
     [](TOptions& o, const std::string&) { o.dryRun = true; }},
    {"--journal", "FILE", kApply | kHistory | kUndo, "the journal of changes to append to or read",
     [](TOptions& o, const std::string& v) { o.journal = v; }},
    {"--since", "DATE", kHistory, "records from this UTC date (2026-12-07) or time on",
     [](TOptions& o, const std::string& v) { o.since = Trimmed(v); }},
    {"--computer", "NAME", kHistory, "one computer's records",
     [](TOptions& o, const std::string& v) { o.computer = Trimmed(v); }},
    {"--right", "RIGHT", kHistory, "one right's records",
     [](TOptions& o, const std::string& v) {
       o.right = RightFromUserText(Trimmed(v));
       if (!o.right)
         Refuse("unknown right \"" + EscapeControls(v) + "\" (see --help for the 45 rights)");
     }},
};

unsigned CommandBit(TCommand command) {
  switch (command) {
    case TCommand::Apply:
      return kApply;
    case TCommand::History:
      return kHistory;
    case TCommand::Undo:
      return kUndo;
    case TCommand::WhoHas:
      return kWhoHas;
    default:
      return kReport;
  }
}

// Each option with what it takes and its help, for the commands it is of.
std::string OptionsList() {
  std::string text;
  for (const TOption& option : kOptions) {
    std::string head = std::string("  ") + option.name;
    if (option.value) head += std::string(" ") + option.value;
    std::string which;
    for (const auto& [bit, name] : {std::pair{kReport, "report"},
                                    {kApply, "apply"},
                                    {kHistory, "history"},
                                    {kUndo, "undo"},
                                    {kWhoHas, "who-has"}})
      if (option.commands & bit) which += (which.empty() ? "" : ", ") + std::string(name);
    which = option.commands == kBoth || option.commands == kComputers ? "" : " (" + which + ")";
    head.resize(std::max<size_t>(head.size() + 1, 30), ' ');
    text += head + option.help + which + "\n";
  }
  return text;
}

// "tavrin-cli report --account ACCOUNT [--source COMPUTER|DOMAIN] ...", wrapped.
std::string UsageLine(const char* command, unsigned bit) {
  const std::string start = std::string("  tavrin-cli ") + command;
  std::string text, line = start + (bit == kUndo ? " PASS-ID" : "");
  for (const TOption& option : kOptions) {
    if (!(option.commands & bit)) continue;
    const bool required = std::string(option.name) == "--account" && bit != kHistory;
    std::string word = option.name;
    if (option.value) word += std::string(" ") + option.value;
    if (!required) word = "[" + word + "]";
    if (line.size() + 1 + word.size() > 78) {
      text += line + "\n";
      line = std::string(start.size(), ' ');
    }
    line += " " + word;
  }
  return text + line + "\n";
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
  if (args.empty())
    Refuse("no command given (report, apply, history, undo or who-has; see --help)");
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
  else if (command == "history")
    options.command = TCommand::History;
  else if (command == "undo")
    options.command = TCommand::Undo;
  else if (command == "who-has")
    options.command = TCommand::WhoHas;
  else
    Refuse("unknown command \"" + EscapeControls(command) +
           "\" (report, apply, history, undo or who-has; see --help)");

  const bool apply = options.command == TCommand::Apply;
  size_t first = 1;
  if (options.command == TCommand::WhoHas) {
    // The right comes first: who-has RIGHT [options].
    if (args.size() < 2 || args[1].rfind("--", 0) == 0) {
      if (args.size() >= 2 && (args[1] == "--help" || args[1] == "-h")) {
        options.command = TCommand::Help;
        return options;
      }
      Refuse("who-has needs a right: who-has RIGHT --computers ...");
    }
    const auto right = RightFromUserText(args[1]);
    if (!right)
      Refuse("unknown right \"" + EscapeControls(args[1]) + "\" (see --help for the 45 rights)");
    options.right = *right;
    first = 2;
  }
  for (size_t i = first; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.command = TCommand::Help;
      return options;
    }
    if (options.command == TCommand::Undo && !arg.starts_with("-") && options.pass.empty()) {
      options.pass = Trimmed(arg);
      RefuseControls(options.pass, "pass id");
      continue;
    }
    const TOption* option = nullptr;
    for (const TOption& candidate : kOptions)
      if (arg == candidate.name && (candidate.commands & CommandBit(options.command))) {
        option = &candidate;
        break;
      }
    if (option == nullptr)
      Refuse("unknown option \"" + EscapeControls(arg) + "\" for " + command + " (see --help)");
    if (option->value != nullptr && i + 1 >= args.size()) Refuse(arg + " needs a value");
    option->take(options, option->value != nullptr ? args[++i] : std::string());
  }
  if (options.command == TCommand::History) return options;
  if (options.command == TCommand::Undo) {
    if (options.pass.empty()) Refuse("undo needs the id of a pass (see tavrin-cli history)");
    return options;
  }
  if (options.account.empty() && options.command != TCommand::WhoHas)
    Refuse("--account is required");
  if (options.computers.empty() && options.files.empty() && !options.scan)
    Refuse("no computers given: use --computers, --computers-file or --scan");
  if (apply) {
    if (options.grant.Empty() && options.revoke.Empty())
      Refuse("nothing to apply: use --grant or --revoke");
    const TvmPrivileges both = options.grant & options.revoke;
    for (int ordinal = 0; ordinal < RightCount; ++ordinal)
      if (both.Contains(static_cast<TvmPrivilege>(ordinal)))
        Refuse(std::string("right \"") + PolicyNames[ordinal] + "\" is both granted and revoked");
  }
  return options;
}

std::string HelpText() {
  std::string text =
      "Usage:\n" + UsageLine("report", kReport) + UsageLine("apply", kApply) +
      UsageLine("history", kHistory) + UsageLine("undo", kUndo) +
      UsageLine("who-has RIGHT", kWhoHas) +
      "  tavrin-cli --help | --version\n"
      "\n"
      "ACCOUNT   a SID (S-1-5-32-544), DOMAIN\\name or a name; names are looked up\n"
      "          on --source (this computer when not given; a domain is asked\n"
      "          through one of its controllers)\n"
      "COMPUTERS one or more of: --computers NAME,...  --computers-file FILE\n"
      "          (names separated by commas, blanks or line ends, '#' starts a\n"
      "          comment; a regular file, a pipe, or '-' for standard input)\n"
      "          --scan (the computers the network lists); '.' is this computer\n"
      "\n"
      "report prints the account's rights on every computer, one row each.\n"
      "apply grants and revokes rights as the window's Commit does: every computer\n"
      "is read afresh and only the difference is written; rights not listed below\n"
      "are never touched. --dry-run reads and prints what would change. Each\n"
      "computer's line names the rights written and, when a write failed, the\n"
      "right and the reason; rights written but not read back say so. Every apply\n"
      "that writes (not --dry-run) adds what it did on each computer to the journal\n"
      "of changes, a JSON Lines file in the user's data folder (or --journal FILE);\n"
      "a journal that cannot be written stops the apply before anything is written.\n"
      "history prints the journal's records, newest pass first: time, pass,\n"
      "computer, account, right, action and result.\n"
      "undo puts back what a pass of the journal wrote (PASS-ID, or the start of\n"
      "it): each of its computers is read afresh, and each right it granted or\n"
      "revoked is revoked or granted again only where it is still as the pass left\n"
      "it; a right changed since is left alone and named, with the later pass that\n"
      "changed it where the journal knows it. One line per computer; the undo is\n"
      "journalled as any apply is.\n"
      "who-has prints, for every computer, the accounts holding RIGHT there (their\n"
      "names and SIDs), or why the computer could not be read. The accounts are\n"
      "those Windows lists for the right itself: members of a group holding it are\n"
      "not listed one by one.\n"
      "\n"
      "CSV cells that begin with = + - @, a tab or a carriage return get a leading\n"
      "' so that spreadsheets do not run them; --csv-raw writes them as they are.\n"
      "\n"
      "OPTIONS\n" +
      OptionsList() +
      "\n"
      "Off Windows the computers are those of the simulated network unless\n"
      "--network real is given with --server and --user: real computers are reached\n"
      "over SMB, --server stands for this computer, and the password is read from\n"
      "file descriptor N or asked on the terminal (never taken from the command\n"
      "line or the environment):\n" +
      tavrin::platform::NetworkOptionsHelp(false) +
      "\n"
      "\n"
      "Exit status: 0 every computer done, 1 some computers could not be read or\n"
      "changed, or their changes were written but not verified, or undo left a\n"
      "right alone because it changed since, 2 bad arguments, an unknown pass,\n"
      "a refused computer list or an account that cannot be resolved.\n"
      "\n"
      "RIGHT is a right's constant (any letter case), its code or its Windows\n"
      "policy name; a name with blanks is quoted: --grant \"Log on as a service\".\n"
      "Reports show the classic rights unless --rights all is given; apply takes\n"
      "any of the 45. JSON names rights by constant, the table and CSV by code.\n";
  const auto list = [&](const char* title, int first, int last) {
    text += std::string("\n") + title + " (code, constant, Windows' name):\n";
    for (int ordinal = first; ordinal < last; ++ordinal) {
      const TRightInfo& info = RightsCatalogue[ordinal];
      std::string constant = info.constant;
      constant.resize(std::max<size_t>(constant.size() + 2, 43), ' ');
      text += std::string("  ") + info.code + "  " + constant + info.policyName +
              (info.deny ? " (deny)" : "") + "\n";
    }
  };
  list("Classic rights", 0, PrivilegeCount);
  list("Further rights of current Windows", PrivilegeCount, RightCount);
  return text;
}

}  // namespace tavrin::cli
