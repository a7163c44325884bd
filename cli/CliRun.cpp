#include "cli/CliRun.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_set>

#include "computers/ComputerList.h"
#include "passes/Export.h"
#include "passes/PassPool.h"
#include "pickers/Velmar_Net.h"
#include "rights/Velmar_CenterUtils.h"
#include "sid/Velmar_SidCenter.h"
#include "sid/Velmar_SidCenterCache.h"

namespace tavrin::cli {

namespace {

// As many computers are read or committed at once as the window does.
constexpr int kWorkers = 16;

std::string Folded(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// Where names are looked up: the computer holding the accounts (empty:
// this one) and the name bare names are qualified with.
struct TSource {
  std::string server;
  std::string domain;
};

TSource SourceOf(const std::string& source) {
  const std::string self = ThisComputerName();
  if (source.empty() || source == "." || Folded(source) == Folded(self)) return {"", self};
  if (std::string server; VelmarNet::AnyDomainController(source, server)) return {server, source};
  return {source, source};  // not a domain with a controller: a computer
}

// Looks an account text up on `server`; the system error code on failure.
DWORD LookupName(const std::string& server, const std::string& text, std::vector<BYTE>& sid) {
  const LPCSTR system = server.empty() ? nullptr : server.c_str();
  char domain[65];
  DWORD sidSize = 0, domainSize = 64;
  SID_NAME_USE use;
  SetLastError(0);
  if (LookupAccountNameCached(system, text.c_str(), nullptr, &sidSize, domain, &domainSize, &use) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return GetLastError() != 0 ? GetLastError() : ERROR_NONE_MAPPED;
  sid.assign(sidSize, 0);
  domainSize = 64;
  if (!LookupAccountNameCached(system, text.c_str(), sid.data(), &sidSize, domain, &domainSize,
                               &use))
    return GetLastError();
  return ERROR_SUCCESS;
}

std::string SidStringOf(PSID sid) {
  TvmSidCenter center;
  center.SetSid(sid);
  return center.SidString();
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

// Runs one job per computer on the pool and gives the results in the
// order of the list.
std::vector<TRowResult> RunPass(const std::vector<std::string>& computers,
                                const TAccountSid& account, TRowJobKind kind,
                                const TRowCodes& codes, std::FILE* err) {
  std::mutex lock;
  std::condition_variable arrived;
  bool news = false;
  TPassPool pool(kWorkers, account, [&] {
    std::lock_guard<std::mutex> guard(lock);
    news = true;
    arrived.notify_one();
  });
  std::vector<TRowResult> results(computers.size());
  size_t next = 0, done = 0;
  const char* verb = kind == TRowJobKind::Read ? "Reading" : "Committing";
  Progress(err, verb, 0, computers.size());
  while (done < computers.size()) {
    while (next < computers.size() && pool.HasRoom()) {
      pool.Dispatch({static_cast<int>(next), computers[next], kind, codes});
      ++next;
    }
    {
      std::unique_lock<std::mutex> guard(lock);
      arrived.wait(guard, [&] { return news; });
      news = false;
    }
    for (TRowResult& result : pool.TakeResults()) {
      results[static_cast<size_t>(result.row)] = std::move(result);
      Progress(err, verb, ++done, computers.size());
    }
  }
  return results;
}

std::string NamesOf(TvmPrivileges rights) {
  std::string text;
  for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal) {
    if (!rights.Contains(static_cast<TvmPrivilege>(ordinal))) continue;
    if (!text.empty()) text += ", ";
    text += PolicyNames[ordinal];
  }
  return text;
}

// Display width of a UTF-8 text: its code points.
size_t Width(const std::string& text) {
  size_t width = 0;
  for (unsigned char c : text) width += (c & 0xC0) != 0x80;
  return width;
}

void PrintTable(const std::vector<TExportRow>& rows, std::FILE* out) {
  size_t width = Width("Computer");
  for (const TExportRow& row : rows) width = std::max(width, Width(row.name));
  const auto name = [&](const std::string& text) {
    std::fputs(text.c_str(), out);
    for (size_t pad = Width(text); pad < width + 2; ++pad) std::fputc(' ', out);
  };
  name("Computer");
  for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal)
    std::fprintf(out, "%s%s", ordinal ? " " : "",
                 PrivilegeCode(static_cast<TvmPrivilege>(ordinal)).c_str());
  std::fputc('\n', out);
  for (const TExportRow& row : rows) {
    name(row.name);
    if (!row.error.empty()) {
      std::fprintf(out, "error: %s\n", row.error.c_str());
      continue;
    }
    for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal)
      std::fprintf(out, "%s%-2s", ordinal ? " " : "", CellText(row.codes[ordinal]).c_str());
    std::fputc('\n', out);
  }
}

void PrintJson(const TResolvedAccount& account, const std::vector<TExportRow>& rows,
               std::FILE* out) {
  std::fprintf(out, "{\"account\": \"%s\", \"sid\": \"%s\", \"computers\": [",
               JsonEscape(account.given).c_str(), JsonEscape(account.sidString).c_str());
  for (size_t i = 0; i < rows.size(); ++i) {
    const TExportRow& row = rows[i];
    std::fprintf(out, "%s\n  {\"name\": \"%s\", ", i ? "," : "", JsonEscape(row.name).c_str());
    if (!row.error.empty()) {
      std::fprintf(out, "\"rights\": null, \"error\": \"%s\"}", JsonEscape(row.error).c_str());
      continue;
    }
    std::fputs("\"rights\": {", out);
    for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal)
      std::fprintf(out, "%s\"%s\": %s", ordinal ? ", " : "", PolicyNames[ordinal],
                   row.codes[ordinal].State() == 'Y' ? "true" : "false");
    std::fputs("}, \"error\": null}", out);
  }
  std::fputs("\n]}\n", out);
}

int Report(const TOptions& options, const TResolvedAccount& account,
           const std::vector<std::string>& computers, std::FILE* out, std::FILE* err) {
  const std::vector<TRowResult> results =
      RunPass(computers, account.sid, TRowJobKind::Read, TRowCodes{}, err);
  std::vector<TExportRow> rows;
  bool failed = false;
  for (const TRowResult& result : results) {
    TExportRow row{result.name, ApplyRead(TRowCodes{}, result.read.failed, result.read.rights), ""};
    if (result.read.failed) {
      row.error = result.read.errorText.empty() ? "unreadable" : result.read.errorText;
      failed = true;
    }
    rows.push_back(std::move(row));
  }
  switch (options.format) {
    case TFormat::Table:
      PrintTable(rows, out);
      break;
    case TFormat::Csv:
      std::fputs(ExportCsv(rows).c_str(), out);
      break;
    case TFormat::Json:
      PrintJson(account, rows, out);
      break;
  }
  return failed ? ExitSomeFailed : ExitDone;
}

// One computer's line of an apply: what was (or would be) granted and
// revoked, and what was asked for and already in force.
std::string ChangeLine(const TOptions& options, TvmPrivileges before, TvmPrivileges after) {
  const bool dry = options.dryRun;
  const TvmPrivileges granted = after - before, revoked = before - after;
  const TvmPrivileges inForce = (options.grant - granted) | (options.revoke - revoked);
  std::string line;
  const auto part = [&](const char* label, TvmPrivileges rights) {
    if (rights.Empty()) return;
    if (!line.empty()) line += "; ";
    line += std::string(label) + " " + NamesOf(rights);
  };
  part(dry ? "would grant" : "granted", granted);
  part(dry ? "would revoke" : "revoked", revoked);
  part("already in force:", inForce);
  return line;
}

int Apply(const TOptions& options, const TResolvedAccount& account,
          const std::vector<std::string>& computers, std::FILE* out, std::FILE* err) {
  TRowCodes codes;
  for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal) {
    const auto right = static_cast<TvmPrivilege>(ordinal);
    const char mark = options.grant.Contains(right)    ? 'Y'
                      : options.revoke.Contains(right) ? 'N'
                                                       : ' ';
    codes[ordinal] = TCellCode::Of('N', mark);
  }
  const TRowJobKind kind = options.dryRun ? TRowJobKind::Read : TRowJobKind::Commit;
  bool failed = false;
  for (const TRowResult& result : RunPass(computers, account.sid, kind, codes, err)) {
    std::string line;
    if (options.dryRun) {
      TvmPrivileges after = result.read.rights;
      if (result.read.failed || !ApplyMarks(codes, after))
        line = "not read: " + result.read.errorText;
      else
        line = ChangeLine(options, result.read.rights, after);
      failed |= result.read.failed;
    } else {
      const TRowCommit& commit = result.commit;
      switch (commit.outcome) {
        case TCommitOutcome::InForce:
        case TCommitOutcome::Written:
          line = ChangeLine(options, commit.before, commit.rights);
          break;
        case TCommitOutcome::Skipped:
          line = "not read: " + commit.errorText;
          failed = true;
          break;
        default:
          line = "failed: " + commit.errorText;
          failed = true;
      }
    }
    std::fprintf(out, "%s: %s\n", result.name.c_str(), line.c_str());
  }
  return failed ? ExitSomeFailed : ExitDone;
}

}  // namespace

TResolvedAccount ResolveAccount(const std::string& account, const std::string& source) {
  TResolvedAccount resolved;
  resolved.given = account;
  if (account.size() > 2 && (account[0] == 'S' || account[0] == 's') && account[1] == '-') {
    TvmSidCenter center;
    center.SetSidString(account);
    try {
      resolved.sid = TAccountSid(center.GetSid());
    } catch (const std::exception& e) {
      throw std::runtime_error("\"" + account + "\" is not a valid SID: " + e.what());
    }
    resolved.sidString = center.SidString();
    return resolved;
  }
  const TSource where = SourceOf(source);
  const size_t slash = account.find('\\');
  std::vector<std::string> tries;
  if (slash != std::string::npos)
    tries.push_back(account);
  else
    tries = {where.domain + "\\" + account, account};
  std::vector<BYTE> sid;
  DWORD code = ERROR_NONE_MAPPED;
  for (const std::string& text : tries)
    if ((code = LookupName(where.server, text, sid)) == ERROR_SUCCESS) break;
  if (code != ERROR_SUCCESS) {
    std::string on = where.server.empty() ? where.domain : where.server;
    if (on.empty()) on = "this computer";  // its name could not be had either
    throw std::runtime_error("cannot resolve the account \"" + account + "\" on " + on + ": " +
                             ErrorDescription(code));
  }
  resolved.sid = TAccountSid(sid.data());
  resolved.sidString = SidStringOf(resolved.sid.get());
  return resolved;
}

std::vector<std::string> GatherComputers(const TOptions& options, std::FILE* err,
                                         bool& scanFailed) {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  const std::string self = ThisComputerName();
  const auto add = [&](std::string name) {
    if (name == ".") name = self;
    if (!name.empty() && seen.insert(Folded(name)).second) names.push_back(std::move(name));
  };
  for (const std::string& name : options.computers) add(name);
  for (const std::string& file : options.files) {
    std::ifstream stream;
    if (file != "-") {
      stream.open(file);
      if (!stream) throw std::invalid_argument("cannot read the computer list \"" + file + "\"");
    }
    std::istream& in = file == "-" ? std::cin : stream;
    for (std::string line; std::getline(in, line);) {
      if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
      for (std::string& name : SplitList(line)) add(std::move(name));
    }
  }
  scanFailed = false;
  if (options.scan) {
    TComputerList list;
    list.Scan();
    if (Interactive(err)) std::fputs("Scanning the network...", err);
    while (TComputerList::Running(list.State()))
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (Interactive(err)) std::fputs("\r                       \r", err);
    if (list.State() == lsFailed) {
      std::fprintf(err, "tavrin-cli: the network scan failed: %s\n", list.ErrorText().c_str());
      scanFailed = true;
    }
    for (int i = 0; i < list.Count(); ++i) add(list.Names(i));
  }
  return names;
}

int RunCommand(const TOptions& options, std::FILE* out, std::FILE* err) {
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
