#include "passes/Journal.h"

#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <stdexcept>
#include <system_error>

#include "platform/PlatformInit.h"

#ifdef _WIN32
#include <io.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string UtcNow(const char* format) {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &now);
#else
  gmtime_r(&now, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, format, &utc);
  return text;
}

std::string LocalUser() {
#ifdef _WIN32
  return Environment("USERNAME");
#else
  if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr)
    return entry->pw_name;
  return Environment("USER");
#endif
}

std::string SystemText(int error) {
  return std::error_code(error, std::generic_category()).message();
}

// Opens the journal for appending, creating it and its folder; -1 with
// `why` set when that fails.
int OpenForAppend(const std::string& path, std::string& why) {
  std::error_code error;
  const fs::path folder = fs::path(path).parent_path();
  if (!folder.empty() && !fs::exists(folder, error)) {
    fs::create_directories(folder, error);
    if (error) {
      why = "cannot make the folder " + folder.string() + ": " + error.message();
      return -1;
    }
    fs::permissions(folder, fs::perms::owner_all, error);
  }
#ifdef _WIN32
  const int fd = _open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, 0600);
#else
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
#endif
  if (fd < 0) why = "cannot open " + path + ": " + SystemText(errno);
  return fd;
}

void Close(int fd) {
#ifdef _WIN32
  _close(fd);
#else
  close(fd);
#endif
}

const char* OutcomeText(TCommitOutcome outcome) {
  switch (outcome) {
    case TCommitOutcome::Written:
      return "written";
    case TCommitOutcome::InForce:
      return "in force";
    case TCommitOutcome::Unverified:
      return "unverified";
    case TCommitOutcome::Failed:
      return "failed";
    case TCommitOutcome::Skipped:
      return "skipped";
    case TCommitOutcome::Cancelled:
      return "stopped";
  }
  return "failed";
}

}  // namespace

std::string JournalNetwork() {
  const std::string network = tavrin::platform::NetworkDescription();
  return network.empty() ? "windows" : network;
}

TJournalPass NewJournalPass(const std::string& sid, const std::string& account) {
  TJournalPass pass;
  pass.time = UtcNow("%Y-%m-%dT%H:%M:%SZ");
  std::random_device random;
  char tail[16];
  std::snprintf(tail, sizeof tail, "-%08x", static_cast<unsigned>(random()));
  pass.pass = UtcNow("%Y%m%dT%H%M%SZ") + tail;
  pass.user = LocalUser();
  pass.network = JournalNetwork();
  if (const size_t as = pass.network.find(" as "); as != std::string::npos)
    pass.logon = pass.network.substr(as + 4);
  pass.sid = sid;
  pass.account = account;
  return pass;
}

TJournalRecord JournalRecord(const TJournalPass& pass, const TRowResult& result,
                             const TRowCodes& codes) {
  const TRowCommit& commit = result.commit;
  TJournalRecord record;
  record.time = UtcNow("%Y-%m-%dT%H:%M:%SZ");
  record.pass = pass.pass;
  record.user = pass.user;
  record.logon = pass.logon;
  record.network = pass.network;
  record.computer = result.name;
  record.sid = pass.sid;
  record.account = pass.account;
  record.undoes = pass.undoes;
  record.outcome = OutcomeText(commit.outcome);
  if (commit.outcome != TCommitOutcome::Written && commit.outcome != TCommitOutcome::InForce) {
    record.code = commit.error;
    record.error = commit.errorText;
  }
  // Whether the fresh read went through: the row got as far as its marks.
  switch (commit.outcome) {
    case TCommitOutcome::Skipped:
      record.read = commit.error == 0;  // skipped for a cell shown unreadable
      break;
    case TCommitOutcome::Failed:  // a write failed, or the account was refused
      record.read =
          !commit.granted.Empty() || !commit.revoked.Empty() || !commit.failedRight.empty();
      break;
    default:
      record.read = true;
  }
  if (record.read)
    for (int ordinal = 0; ordinal < RightCount; ++ordinal)
      if (commit.before.Contains(static_cast<TvmPrivilege>(ordinal)))
        record.before.push_back(PolicyNames[ordinal]);
  for (int ordinal = 0; ordinal < RightCount; ++ordinal) {
    const TCellCode& code = codes[ordinal];
    if (code.Mark() != 'Y' && code.Mark() != 'N') continue;
    const auto right = static_cast<TvmPrivilege>(ordinal);
    TJournalWrite write;
    write.right = PolicyNames[ordinal];
    write.grant = code.Mark() == 'Y';
    const bool wrote = (write.grant ? commit.granted : commit.revoked).Contains(right);
    if (wrote) {
      write.result = "written";
    } else if (commit.failedRight == write.right) {
      write.result = "failed";
      write.code = commit.error;
      write.text = commit.errorText;
    } else if (record.read && commit.before.Contains(right) == write.grant &&
               commit.outcome != TCommitOutcome::Skipped) {
      write.result = "in force";
    } else {
      write.result = "not written";
    }
    record.writes.push_back(std::move(write));
  }
  return record;
}

std::string JournalLine(const TJournalRecord& r) {
  json writes = json::array();
  for (const TJournalWrite& w : r.writes) {
    json entry = {
        {"right", w.right}, {"action", w.grant ? "grant" : "revoke"}, {"result", w.result}};
    if (w.result == "failed") {
      entry["code"] = w.code;
      entry["error"] = w.text;
    }
    writes.push_back(std::move(entry));
  }
  json line = {{"time", r.time},
               {"pass", r.pass},
               {"user", r.user},
               {"logon", r.logon.empty() ? json() : json(r.logon)},
               {"network", r.network},
               {"computer", r.computer},
               {"sid", r.sid},
               {"account", r.account},
               {"outcome", r.outcome},
               {"writes", std::move(writes)},
               {"before", r.read ? json(r.before) : json()}};
  if (!r.undoes.empty()) line["undoes"] = r.undoes;
  if (!r.error.empty() || r.code != 0) {
    line["code"] = r.code;
    line["error"] = r.error;
  }
  // Names from the network may hold bytes that are not UTF-8: replaced, so
  // that the line stays JSON.
  return line.dump(-1, ' ', false, json::error_handler_t::replace);
}

TJournalRecord ParseJournalLine(const std::string& text) {
  json line;
  try {
    line = json::parse(text);
  } catch (const json::exception& e) {
    throw std::runtime_error(e.what());
  }
  if (!line.is_object() || !line.contains("pass") || !line.contains("computer"))
    throw std::runtime_error("not a journal record");
  const auto get = [&](const char* key) {
    return line.contains(key) && line[key].is_string() ? line[key].get<std::string>() : "";
  };
  TJournalRecord r;
  r.time = get("time");
  r.pass = get("pass");
  r.user = get("user");
  r.logon = get("logon");
  r.network = get("network");
  r.computer = get("computer");
  r.sid = get("sid");
  r.account = get("account");
  r.outcome = get("outcome");
  r.error = get("error");
  r.undoes = get("undoes");
  if (line.contains("code") && line["code"].is_number_unsigned()) r.code = line["code"];
  r.read = line.contains("before") && line["before"].is_array();
  if (r.read)
    for (const json& right : line["before"])
      if (right.is_string()) r.before.push_back(right);
  if (line.contains("writes") && line["writes"].is_array())
    for (const json& w : line["writes"]) {
      if (!w.is_object()) continue;
      TJournalWrite write;
      write.right = w.value("right", "");
      write.grant = w.value("action", "") == "grant";
      write.result = w.value("result", "");
      write.code = w.value("code", 0u);
      write.text = w.value("error", "");
      r.writes.push_back(std::move(write));
    }
  return r;
}

TJournal::TJournal(std::string path) : path_(path.empty() ? DefaultPath() : std::move(path)) {}

std::string TJournal::DefaultPath() {
#ifdef _WIN32
  std::string base = Environment("LOCALAPPDATA");
  if (base.empty()) base = Environment("APPDATA");
  return (fs::path(base) / "Tavrin" / "journal.jsonl").string();
#else
  std::string base = Environment("XDG_DATA_HOME");
  if (base.empty()) base = (fs::path(Environment("HOME")) / ".local" / "share").string();
  return (fs::path(base) / "tavrin" / "journal.jsonl").string();
#endif
}

std::string TJournal::CheckWritable() const {
  std::string why;
  const int fd = OpenForAppend(path_, why);
  if (fd >= 0) Close(fd);
  return why;
}

std::string TJournal::Append(const std::vector<TJournalRecord>& records) const {
  if (records.empty()) return {};
  std::string text;
  // A last line a crash left without its end: the first record starts a
  // line of its own rather than being read as part of the damaged one.
  if (std::ifstream last(path_, std::ios::binary | std::ios::ate); last && last.tellg() > 0) {
    last.seekg(-1, std::ios::end);
    if (last.get() != '\n') text = "\n";
  }
  for (const TJournalRecord& record : records) text += JournalLine(record) + "\n";
  std::string why;
  const int fd = OpenForAppend(path_, why);
  if (fd < 0) return why;
  size_t done = 0;
  while (done < text.size()) {
#ifdef _WIN32
    const int n = _write(fd, text.data() + done, static_cast<unsigned>(text.size() - done));
#else
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
#endif
    if (n <= 0) {
      why = "cannot write " + path_ + ": " + SystemText(errno);
      Close(fd);
      return why;
    }
    done += static_cast<size_t>(n);
  }
#ifdef _WIN32
  const bool flushed = _commit(fd) == 0;
#else
  const bool flushed = fsync(fd) == 0;
#endif
  if (!flushed) why = "cannot flush " + path_ + ": " + SystemText(errno);
  Close(fd);
  return why;
}

std::vector<TJournalRecord> TJournal::Read(std::vector<std::string>& warnings) const {
  std::vector<TJournalRecord> records;
  std::ifstream in(path_, std::ios::binary);
  std::string line;
  for (size_t number = 1; std::getline(in, line); ++number) {
    if (line.empty()) continue;
    try {
      records.push_back(ParseJournalLine(line));
    } catch (const std::exception& e) {
      warnings.push_back(path_ + ", line " + std::to_string(number) +
                         ": skipped, not a whole record (" + e.what() + ")");
    }
  }
  return records;
}
