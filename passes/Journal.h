// The journal of changes: every commit, from the window or tavrin-cli, adds
// one record per computer of its pass to a JSON Lines file that is only ever
// appended to. It answers "what did we change, where, when, and did it
// take?" long after the grid has moved on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "passes/CellCode.h"
#include "passes/PassEngine.h"

// One right a commit asked for on one computer, and what became of it.
struct TJournalWrite {
  std::string right;   // the constant, "SeBackupPrivilege"
  bool grant = true;   // grant, or revoke
  std::string result;  // "written", "in force", "failed", "not written"
  uint32_t code = 0;   // the system error code of a failure
  std::string text;    // and its text
};

// One computer of one commit pass.
struct TJournalRecord {
  std::string time;      // UTC, ISO 8601: "2026-12-07T19:04:14Z"
  std::string pass;      // the pass's id, shared by its records
  std::string user;      // the local user who ran the program
  std::string logon;     // on the real network, the account it logged on as
  std::string network;   // "simulated network", "real network: DC01 as ...", "windows"
  std::string computer;  // as the row names it
  std::string sid;       // the account's SID text
  std::string account;   // and its name, as shown
  std::string outcome;   // "written", "in force", "unverified", "failed", "skipped", "stopped"
  uint32_t code = 0;     // why the row went wrong, where it did
  std::string error;
  bool read = false;                // whether `before` was read
  std::vector<std::string> before;  // the rights held just before the write
  std::vector<TJournalWrite> writes;
  std::string undoes;  // the pass this one puts back, when it is an undo
};

// Who and where a pass runs, the same for each of its records.
struct TJournalPass {
  std::string time, pass, user, logon, network, sid, account;
  std::string undoes;  // the pass this one puts back, when it is an undo
};

// The network this program works on, as the journal names it: "simulated
// network", "real network: DC01 as CORP\admin", "windows".
std::string JournalNetwork();

// A new pass: its id and time, the local user and the network.
TJournalPass NewJournalPass(const std::string& sid, const std::string& account);

// The record of a commit row: `codes` are the marks the row was committed
// with.
TJournalRecord JournalRecord(const TJournalPass& pass, const TRowResult& result,
                             const TRowCodes& codes);

class TJournal {
 public:
  // The journal at `path`; empty: DefaultPath().
  explicit TJournal(std::string path = {});
  const std::string& Path() const { return path_; }

  // The journal in the per-user data folder: %LOCALAPPDATA%\Tavrin on
  // Windows, $XDG_DATA_HOME/tavrin (or ~/.local/share/tavrin) elsewhere.
  static std::string DefaultPath();

  // Makes sure records can be appended: creates the folder and the file
  // (readable and writable by their owner only, where the system has such
  // modes) and opens it for appending. Empty when it can, else why not.
  std::string CheckWritable() const;
  // Appends the records and flushes them to the disk before answering.
  // Empty when they were written, else why not.
  std::string Append(const std::vector<TJournalRecord>& records) const;
  // Every record, oldest first. A line that cannot be read (a crash in the
  // middle of a write leaves a damaged last line) is skipped, with a
  // warning naming its line. A journal that does not exist is empty.
  std::vector<TJournalRecord> Read(std::vector<std::string>& warnings) const;

 private:
  std::string path_;
};

// The record as one line of JSON (no line end), and back. Parsing throws
// std::runtime_error for a line that is not such a record.
std::string JournalLine(const TJournalRecord& record);
TJournalRecord ParseJournalLine(const std::string& line);
