#include "cli/CliRun.h"

#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <unordered_set>

#include "base/Velmar_CenterUtils.h"
#include "base/Velmar_Net.h"
#include "computers/ComputerList.h"
#include "passes/Export.h"
#include "passes/GuardRails.h"
#include "passes/Journal.h"
#include "passes/PassEngine.h"
#include "platform/ComputerNames.h"
#include "platform/TextSafety.h"
#include "sid/Velmar_SidCenter.h"

namespace tavrin::cli {

namespace {

// As many computers are read or committed at once as the window does.
constexpr int kWorkers = 16;

// Where names are looked up: the computer holding the accounts (empty:
// this one) and the name bare names are qualified with.
struct TSource {
  std::string server;
  std::string domain;
};

TSource SourceOf(const std::string& source) {
  const std::string self = ThisComputerName();
  if (source.empty() || source == "." || SameComputerName(source, self)) return {"", self};
  if (std::string server; VelmarNet::AnyDomainController(source, server)) return {server, source};
  return {source, source};  // not a domain with a controller: a computer
}

bool Interactive(std::FILE* err) { return err == stderr && isatty(2) != 0; }

// "Reading 3 of 14" on a terminal, overwritten in place.
void Progress(std::FILE* err, const char* verb, size_t done, size_t total) {
  if (!Interactive(err)) return;
  if (done < total)
    std::fprintf(err, "\r%s %zu of %zu...", verb, done + 1, total);
  else
    std::fprintf(err, "\r%*s\r", 40, "");
  std::fflush(err);
}

// Runs the pass and gives the results in the order of the list.
std::vector<TRowResult> RunEngine(TPassEngine& pass, const std::vector<std::string>& computers,
                                  const std::vector<TRowCodes>& codes, std::FILE* err) {
  const TRowJobKind kind = pass.Kind();
  std::vector<TRowResult> results(computers.size());
  const auto prepare = [&](TRowJob& job) {  // the row stays the name's index
    if (!codes.empty()) job.codes = codes[codes.size() == 1 ? 0 : static_cast<size_t>(job.row)];
    return true;
  };
  const char* verb = kind == TRowJobKind::Commit ? "Committing" : "Reading";
  Progress(err, verb, 0, computers.size());
  for (;;) {
    for (TRowResult& result : pass.Pump(prepare)) {
      results[static_cast<size_t>(result.row)] = std::move(result);
      Progress(err, verb, static_cast<size_t>(pass.Done()), computers.size());
    }
    if (pass.Ended()) break;
    pass.WaitForResults(std::chrono::milliseconds(200));
  }
  return results;
}

}  // namespace

std::vector<TRowResult> RunPass(const std::vector<std::string>& computers, const TSid& account,
                                TRowJobKind kind, const std::vector<TRowCodes>& codes,
                                std::FILE* err) {
  TPassEngine pass(kind, account, computers, kWorkers);
  return RunEngine(pass, computers, codes, err);
}

std::string Shown(const std::string& text) { return EscapeControls(OneLine(text)); }

namespace {

// Why the SID center refused a SID text, in plain words.
std::string SidRefusal(const TvmSidCenter& center, const std::exception& e) {
  if (center.Errors().empty()) return OneLine(e.what());
  std::string text = center.Errors().back();
  if (text.rfind("Error: ", 0) == 0) text.erase(0, 7);
  if (text.find("Too many SubAuthorities") != std::string::npos)
    return "more than 15 sub-authorities";
  if (text.find("IdentifierAuthority") != std::string::npos)
    return "identifier authority above 255";
  return Shown(text);
}

// A JSON string, quotes included, always valid UTF-8; `replaced` is set
// when a byte had to be replaced.
std::string Json(const std::string& text, bool& replaced) {
  bool here = false;
#ifdef _WIN32
  // Texts are in the ANSI code page here: JSON wants them in UTF-8.
  std::wstring wide(text.size(), L'\0');
  wide.resize(
      static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                              wide.data(), static_cast<int>(wide.size()))));
  std::string utf8(wide.size() * 3, '\0');
  utf8.resize(static_cast<size_t>(
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(),
                          static_cast<int>(utf8.size()), nullptr, nullptr)));
  const std::string valid = ValidUtf8(utf8, here);
#else
  const std::string valid = ValidUtf8(text, here);
#endif
  replaced |= here;
  return "\"" + JsonEscape(valid) + "\"";
}

std::string JsonCode(DWORD code) { return code == 0 ? "null" : std::to_string(code); }

// One row of a report: the row as exported (its error with the code), and
// its failure's text and code apart.
struct TReportRow {
  TExportRow row;
  std::string reason;
  DWORD code = 0;
};

void PrintTable(const std::vector<TReportRow>& rows, TRightsView view, std::FILE* out) {
  const std::vector<TvmPrivilege>& shown = ViewRights(view);
  size_t width = Width("Computer");
  for (const TReportRow& row : rows) width = std::max(width, Width(Shown(row.row.name)));
  const auto name = [&](const std::string& text) {
    std::fputs(text.c_str(), out);
    for (size_t pad = Width(text); pad < width + 2; ++pad) std::fputc(' ', out);
  };
  name("Computer");
  for (size_t i = 0; i < shown.size(); ++i)
    std::fprintf(out, "%s%s", i ? " " : "", PrivilegeCode(shown[i]).c_str());
  std::fputc('\n', out);
  for (const TReportRow& row : rows) {
    name(Shown(row.row.name));
    if (!row.row.error.empty()) {
      std::fprintf(out, "error: %s\n", Shown(row.row.error).c_str());
      continue;
    }
    for (size_t i = 0; i < shown.size(); ++i)
      std::fprintf(out, "%s%-2s", i ? " " : "", CellText(row.row.codes[shown[i]]).c_str());
    std::fputc('\n', out);
  }
}

// The account's members of a JSON object: "account", "sid" and, when the
// account's text had to be mended, "invalidUtf8".
std::string JsonAccount(const TResolvedAccount& account) {
  bool replaced = false;
  std::string text = "\"account\": " + Json(account.given, replaced) +
                     ", \"sid\": " + Json(account.sidString, replaced);
  if (replaced) text += ", \"invalidUtf8\": true";
  return text;
}

void PrintJson(const TResolvedAccount& account, const std::vector<TReportRow>& rows,
               TRightsView view, std::FILE* out) {
  const std::vector<TvmPrivilege>& shown = ViewRights(view);
  std::fprintf(out, "{%s, \"computers\": [", JsonAccount(account).c_str());
  for (size_t i = 0; i < rows.size(); ++i) {
    const TExportRow& row = rows[i].row;
    bool replaced = false;
    std::string line = "{\"name\": " + Json(row.name, replaced) + ", ";
    if (!row.error.empty()) {
      line += "\"rights\": null, \"error\": " + Json(OneLine(rows[i].reason), replaced) +
              ", \"code\": " + JsonCode(rows[i].code);
    } else {
      line += "\"rights\": {";
      for (size_t i = 0; i < shown.size(); ++i)
        line += std::string(i ? ", " : "") + "\"" + PolicyNames[shown[i]] +
                "\": " + (row.codes[shown[i]].State() == 'Y' ? "true" : "false");
      line += "}, \"error\": null, \"code\": null";
    }
    if (replaced) line += ", \"invalidUtf8\": true";
    std::fprintf(out, "%s\n  %s}", i ? "," : "", line.c_str());
  }
  std::fputs("\n]}\n", out);
}

int Report(const TOptions& options, const TResolvedAccount& account,
           const std::vector<std::string>& computers, std::FILE* out, std::FILE* err) {
  const std::vector<TRowResult> results =
      RunPass(computers, account.sid, TRowJobKind::Read, {}, err);
  std::vector<TReportRow> rows;
  bool failed = false;
  for (const TRowResult& result : results) {
    TReportRow row{
        {result.name, ApplyRead(TRowCodes{}, result.read.failed, result.read.rights), ""},
        "",
        result.read.error};
    if (result.read.failed) {
      row.reason = result.read.errorText.empty() ? "unreadable" : result.read.errorText;
      row.row.error = ErrorWithCode(row.reason, row.code);
      failed = true;
    }
    rows.push_back(std::move(row));
  }
  switch (options.format) {
    case TFormat::Table:
      PrintTable(rows, options.view, out);
      break;
    case TFormat::Csv: {
      std::vector<TExportRow> plain;
      for (const TReportRow& row : rows)
        plain.push_back({Shown(row.row.name), row.row.codes, Shown(row.row.error)});
      const std::string named = account.given == account.sidString
                                    ? account.sidString
                                    : Shown(account.given) + " (" + account.sidString + ")";
      std::fputs(ExportCsv(plain, options.csvRaw, options.view, named).c_str(), out);
      break;
    }
    case TFormat::Json:
      PrintJson(account, rows, options.view, out);
      break;
  }
  return failed ? ExitSomeFailed : ExitDone;
}

}  // namespace

TApplyLine ApplyLineOf(bool dryRun, const TRowResult& result, const TRowCodes& codes) {
  TApplyLine line;
  TvmPrivileges grant, revoke;
  for (int ordinal = 0; ordinal < RightCount; ++ordinal) {
    const char mark = codes[ordinal].Mark();
    if (mark == 'Y') grant.Include(static_cast<TvmPrivilege>(ordinal));
    if (mark == 'N') revoke.Include(static_cast<TvmPrivilege>(ordinal));
  }
  // What was asked for and is already so.
  const auto changed = [&](TvmPrivileges before, TvmPrivileges after) {
    line.granted = after - before;
    line.revoked = before - after;
    line.inForce = (grant - line.granted) | (revoke - line.revoked);
  };
  if (dryRun) {
    TvmPrivileges after = result.read.rights;
    if (result.read.failed || !ApplyMarks(codes, after)) {
      line.outcome = "not read";
      line.error = result.read.errorText;
      line.code = result.read.error;
      line.problem = "not read: " + ErrorWithCode(line.error, line.code);
    } else {
      line.outcome = "planned";
      changed(result.read.rights, after);
    }
    return line;
  }
  const TRowCommit& commit = result.commit;
  line.error = commit.errorText;
  line.code = commit.error;
  line.problem = CommitProblem(commit);
  switch (commit.outcome) {
    case TCommitOutcome::InForce:
    case TCommitOutcome::Written:
      line.outcome = commit.outcome == TCommitOutcome::Written ? "written" : "in force";
      changed(commit.before, commit.rights);
      break;
    case TCommitOutcome::Unverified:
      line.outcome = "unverified";
      changed(commit.before, commit.rights);
      break;
    case TCommitOutcome::Skipped:
      line.outcome = "not read";
      break;
    default:
      line.outcome = "failed";
      line.granted = commit.granted;
      line.revoked = commit.revoked;
      line.failedRight = commit.failedRight;
  }
  return line;
}

std::string ApplyText(const TApplyLine& line, bool dry) {
  const std::string_view outcome = line.outcome;
  if (outcome == "not read" || outcome == "failed") return Shown(line.problem);
  std::string text;
  const auto part = [&](const std::string& piece) {
    if (!text.empty()) text += "; ";
    text += piece;
  };
  if (!line.granted.Empty()) part((dry ? "would grant " : "granted ") + RightNames(line.granted));
  if (!line.revoked.Empty()) part((dry ? "would revoke " : "revoked ") + RightNames(line.revoked));
  if (!line.inForce.Empty()) part("already in force: " + RightNames(line.inForce));
  if (!line.problem.empty()) part(Shown(line.problem));  // written, not verified
  return text;
}

bool GuardRailsRefuse(const TOptions& options, const std::string& sid,
                      const std::vector<TStagedRow>& planned, std::FILE* err) {
  const std::vector<TGuardFlag> flags = CheckGuardRails(sid, ProgramAccountSid(), planned);
  if (flags.empty()) return false;
  std::string text = GuardFlagsText(flags);
  for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos && at + 1 < text.size();)
    text.insert(at += 1, "  ");
  if (!options.force && !options.dryRun) {
    std::fprintf(err, "tavrin-cli: refused, nothing written (give --force to write anyway):\n  %s",
                 text.c_str());
    return true;
  }
  std::fprintf(err, "tavrin-cli: warning, %s:\n  %s",
               options.dryRun ? "the guard rails would refuse this" : "written with --force",
               text.c_str());
  return false;
}

bool JournalRefuses(const TJournal& journal, std::FILE* err) {
  const std::string why = journal.CheckWritable();
  if (why.empty()) return false;
  std::fprintf(err,
               "tavrin-cli: the journal of changes cannot be written (%s); nothing was "
               "changed. Give --journal FILE to keep it elsewhere.\n",
               EscapeControls(why).c_str());
  return true;
}

namespace {

std::string JsonRights(TvmPrivileges rights) {
  std::string text = "[";
  for (int ordinal = 0; ordinal < RightCount; ++ordinal)
    if (rights.Contains(static_cast<TvmPrivilege>(ordinal)))
      text += std::string(text.size() > 1 ? ", " : "") + "\"" + PolicyNames[ordinal] + "\"";
  return text + "]";
}

std::string ApplyJson(const std::string& name, const TApplyLine& line) {
  bool replaced = false;
  std::string text = "{\"name\": " + Json(name, replaced) + ", \"outcome\": \"" + line.outcome +
                     "\", \"granted\": " + JsonRights(line.granted) +
                     ", \"revoked\": " + JsonRights(line.revoked) +
                     ", \"inForce\": " + JsonRights(line.inForce) + ", \"failed\": [";
  const std::string error = Json(OneLine(line.error), replaced);
  if (!line.failedRight.empty())
    text += "{\"right\": " + Json(line.failedRight, replaced) + ", \"error\": " + error +
            ", \"code\": " + JsonCode(line.code) + "}";
  text += "], \"error\": ";
  text += line.error.empty() ? "null" : error;
  text += ", \"code\": " + JsonCode(line.code);
  if (replaced) text += ", \"invalidUtf8\": true";
  return text + "}";
}

int Apply(const TOptions& options, const TResolvedAccount& account,
          const std::vector<std::string>& computers, std::FILE* out, std::FILE* err) {
  TRowCodes codes;
  for (int ordinal = 0; ordinal < RightCount; ++ordinal) {
    const auto right = static_cast<TvmPrivilege>(ordinal);
    const char mark = options.grant.Contains(right)    ? 'Y'
                      : options.revoke.Contains(right) ? 'N'
                                                       : ' ';
    codes[ordinal] = TCellCode::Of('N', mark);
  }
  // The guard rails, before anything is written.
  std::vector<TStagedRow> planned;
  for (const std::string& name : computers)
    planned.push_back({name, options.grant, options.revoke, false});
  if (GuardRailsRefuse(options, account.sidString, planned, err)) return ExitUsage;
  const TRowJobKind kind = options.dryRun ? TRowJobKind::Read : TRowJobKind::Commit;
  const bool json = options.format == TFormat::Json;
  bool failed = false, first = true;
  // What is written is journalled: a journal that cannot be written stops
  // the apply before anything is.
  const TJournal journal(options.journal);
  if (!options.dryRun && JournalRefuses(journal, err)) return ExitUsage;
  const TJournalPass pass = NewJournalPass(account.sidString, account.given);
  std::vector<TJournalRecord> records;
  if (json)
    std::fprintf(out, "{%s, \"dryRun\": %s, \"computers\": [", JsonAccount(account).c_str(),
                 options.dryRun ? "true" : "false");
  for (const TRowResult& result : RunPass(computers, account.sid, kind, {codes}, err)) {
    if (!options.dryRun) records.push_back(JournalRecord(pass, result, codes));
    const TApplyLine line = ApplyLineOf(options.dryRun, result, codes);
    const std::string_view outcome = line.outcome;
    failed |= outcome != "written" && outcome != "in force" && outcome != "planned";
    if (json)
      std::fprintf(out, "%s\n  %s", first ? "" : ",", ApplyJson(result.name, line).c_str());
    else
      std::fprintf(out, "%s: %s\n", Shown(result.name).c_str(),
                   ApplyText(line, options.dryRun).c_str());
    first = false;
  }
  if (json) std::fputs("\n]}\n", out);
  if (const std::string why = journal.Append(records); !why.empty()) {
    std::fprintf(err, "tavrin-cli: the changes were made but not journalled: %s\n",
                 EscapeControls(why).c_str());
    return ExitSomeFailed;
  }
  return failed ? ExitSomeFailed : ExitDone;
}

}  // namespace

size_t Width(const std::string& text) {
  size_t width = 0;
  for (unsigned char c : text) width += (c & 0xC0) != 0x80;
  return width;
}

TResolvedAccount ResolveAccount(const std::string& account, const std::string& source) {
  // A SID text needs no source.
  const TSource where = TvmSidCenter::IsSidText(account) ? TSource{} : SourceOf(source);
  TvmSidCenter center;
  center.SetServer(where.server);
  center.SetAccount(account, where.domain);
  TResolvedAccount resolved;
  resolved.given = account;
  try {
    resolved.sid = CloneSid(center.GetSid());
  } catch (const std::exception& e) {
    if (center.Source() == ssString)
      throw std::runtime_error("\"" + Shown(account) +
                               "\" is not a valid SID: " + SidRefusal(center, e));
    const DWORD code = center.LookupError() != 0 ? center.LookupError() : ERROR_NONE_MAPPED;
    std::string on = where.server.empty() ? where.domain : where.server;
    if (on.empty()) on = "this computer";  // its name could not be had either
    throw std::runtime_error("cannot resolve the account \"" + Shown(account) + "\" on " +
                             Shown(on) + ": " + ErrorWithCode(ErrorDescription(code), code));
  }
  resolved.sidString = center.SidString();
  return resolved;
}

namespace {

// One line per computer: the holders' names with their SIDs, or why the
// computer could not be read.
std::string HoldersText(const TRowHolders& row) {
  if (row.failed)
    return "error: " +
           Shown(ErrorWithCode(row.errorText.empty() ? "unreadable" : row.errorText, row.error));
  if (row.holders.empty()) return "(none)";
  std::string text;
  for (const THolder& holder : row.holders)
    text += (text.empty() ? "" : ", ") + Shown(holder.name) +
            (holder.name == holder.sid ? "" : " (" + holder.sid + ")");
  return text;
}

int WhoHas(const TOptions& options, const std::vector<std::string>& computers, std::FILE* out,
           std::FILE* err) {
  TPassEngine pass(*options.right, computers, kWorkers);
  const std::vector<TRowResult> results = RunEngine(pass, computers, {}, err);
  const std::string right = PolicyNames[*options.right];
  bool failed = false;
  for (const TRowResult& result : results) failed |= result.holders.failed;
  switch (options.format) {
    case TFormat::Table: {
      size_t width = Width("Computer");
      for (const TRowResult& result : results) width = std::max(width, Width(Shown(result.name)));
      const auto line = [&](const std::string& name, const std::string& rest) {
        std::fputs(name.c_str(), out);
        for (size_t pad = Width(name); pad < width + 2; ++pad) std::fputc(' ', out);
        std::fprintf(out, "%s\n", rest.c_str());
      };
      line("Computer", "Accounts holding " + right);
      for (const TRowResult& result : results)
        line(Shown(result.name), HoldersText(result.holders));
      break;
    }
    case TFormat::Csv: {
      // One line per computer; the accounts and their SIDs in the same order.
      std::string text = "# Right: " + right + "\r\nComputer,Accounts,SIDs,Error\r\n";
      for (const TRowResult& result : results) {
        std::string names, sids;
        for (const THolder& holder : result.holders.holders) {
          names += (names.empty() ? "" : "; ") + Shown(holder.name);
          sids += (sids.empty() ? "" : "; ") + holder.sid;
        }
        const TRowHolders& row = result.holders;
        const std::string error =
            row.failed ? Shown(ErrorWithCode(row.errorText.empty() ? "unreadable" : row.errorText,
                                             row.error))
                       : "";
        text += CsvField(Shown(result.name), options.csvRaw) + "," +
                CsvField(names, options.csvRaw) + "," + CsvField(sids, options.csvRaw) + "," +
                CsvField(error, options.csvRaw) + "\r\n";
      }
      std::fputs(text.c_str(), out);
      break;
    }
    case TFormat::Json: {
      std::fprintf(out, "{\"right\": \"%s\", \"computers\": [", right.c_str());
      for (size_t i = 0; i < results.size(); ++i) {
        const TRowHolders& row = results[i].holders;
        bool replaced = false;
        std::string line = "{\"name\": " + Json(results[i].name, replaced) + ", ";
        if (row.failed) {
          line += "\"holders\": null, \"error\": " +
                  Json(OneLine(row.errorText.empty() ? "unreadable" : row.errorText), replaced) +
                  ", \"code\": " + JsonCode(row.error);
        } else {
          line += "\"holders\": [";
          for (size_t h = 0; h < row.holders.size(); ++h)
            line += std::string(h ? ", " : "") +
                    "{\"name\": " + Json(row.holders[h].name, replaced) +
                    ", \"sid\": " + Json(row.holders[h].sid, replaced) + "}";
          line += "], \"error\": null, \"code\": null";
        }
        if (replaced) line += ", \"invalidUtf8\": true";
        std::fprintf(out, "%s\n  %s}", i ? "," : "", line.c_str());
      }
      std::fputs("\n]}\n", out);
      break;
    }
  }
  return failed ? ExitSomeFailed : ExitDone;
}

}  // namespace

std::vector<std::string> GatherComputers(const TOptions& options, std::FILE* err,
                                         bool& scanFailed) {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  const std::string self = ThisComputerName();
  const auto add = [&](std::string name) {
    // This computer by its name; when even that cannot be had (a server
    // that does not answer or refuses the logon), "." stays, so that its
    // row says why instead of the computer dropping out.
    if (name == "." && !self.empty()) name = self;
    if (!name.empty() && seen.insert(ComputerNameKey(name)).second)
      names.push_back(std::move(name));
  };
  for (const std::string& name : options.computers) add(name);
  for (const std::string& file : options.files)
    for (std::string& name : ReadComputerList(file)) add(std::move(name));
  scanFailed = false;
  if (options.scan) {
    TComputerList list;
    list.Scan();
    if (Interactive(err)) std::fputs("Scanning the network...", err);
    while (TComputerList::Running(list.State()))
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (Interactive(err)) std::fputs("\r                       \r", err);
    if (list.State() == lsFailed) {
      const DWORD code = list.ErrorCode();
      std::fprintf(err, "tavrin-cli: the network scan failed: %s\n",
                   code != 0 ? ErrorWithCode(ErrorDescription(code), code).c_str()
                             : "the scan could not be started");
      scanFailed = true;
    }
    for (int i = 0; i < list.Count(); ++i) add(list.Names(i));
  }
  return names;
}

int RunCommand(const TOptions& options, std::FILE* out, std::FILE* err) {
  if (options.command == TCommand::WhoHas) {
    std::vector<std::string> computers;
    bool scanFailed = false;
    try {
      computers = GatherComputers(options, err, scanFailed);
    } catch (const std::exception& e) {
      std::fprintf(err, "tavrin-cli: %s\n", e.what());
      return ExitUsage;
    }
    const int status = WhoHas(options, computers, out, err);
    return scanFailed ? std::max(status, ExitSomeFailed) : status;
  }
  TResolvedAccount account;
  std::vector<std::string> computers;
  bool scanFailed = false;
  try {
    account = ResolveAccount(options.account, options.source);
    computers = GatherComputers(options, err, scanFailed);
  } catch (const std::exception& e) {
    std::fprintf(err, "tavrin-cli: %s\n", e.what());
    return ExitUsage;
  }
  const int status = options.command == TCommand::Apply
                         ? Apply(options, account, computers, out, err)
                         : Report(options, account, computers, out, err);
  return scanFailed ? std::max(status, ExitSomeFailed) : status;
}

}  // namespace tavrin::cli
