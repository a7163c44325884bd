// The command line of tavrin-cli: what was asked for, and how to read it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "rights/Velmar_RightsCenter.h"

namespace tavrin::cli {

enum class TCommand { Help, Version, Report, Apply, History, Undo, WhoHas };
enum class TFormat { Table, Csv, Json };

struct TOptions {
  TCommand command = TCommand::Help;
  std::string account;                 // a SID text, "DOMAIN\name" or a name
  std::string source;                  // computer or domain resolving names; empty: this one
  std::vector<std::string> computers;  // from --computers, in order
  std::vector<std::string> files;      // from --computers-file, in order
  bool scan = false;
  TFormat format = TFormat::Table;
  bool csvRaw = false;  // CSV cells exactly as the names are, with no guard for spreadsheets
  TRightsView view = TRightsView::Classic;  // the rights a report shows, in their order
  TvmPrivileges grant;
  TvmPrivileges revoke;
  bool dryRun = false;
  std::string journal;                // the journal file; empty: the one in the user's data folder
  std::string since;                  // history: records from this date (or time, UTC) on
  std::string computer;               // history: one computer's records
  std::optional<TvmPrivilege> right;  // history: one right's lines; who-has: the right asked about
  bool force = false;                 // write even what the guard rails flag
  std::string pass;                   // undo: the id of the pass to put back (or its start)
};

// Reads the arguments after the program name. Throws std::invalid_argument
// with a message for the user (an unknown option or right, a missing value,
// a right both granted and revoked, no computers, nothing to apply, no
// right or an unknown one for who-has, an
// account or computer name with a control character in it).
TOptions ParseOptions(const std::vector<std::string>& args);

// The text of --help.
std::string HelpText();

// Splits "a,b,,c " into its non-empty, trimmed parts.
std::vector<std::string> SplitList(const std::string& text);

}  // namespace tavrin::cli
