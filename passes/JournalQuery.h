// The journal read back as history: which records a filter keeps, their
// passes newest first, and each right written as one line. The History
// window and `tavrin-cli history` ask the same question here, so that both
// show the same lines.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "passes/Journal.h"
#include "rights/Velmar_RightsCenter.h"

// What to keep; an empty member keeps everything.
struct TJournalFilter {
  std::string since;     // records from this UTC date ("2026-12-07") or time on
  std::string computer;  // one computer, as SameComputerName compares names
  // The account: its SID, DOMAIN\name or a bare name (letter case ignored).
  std::string account;
  std::optional<TvmPrivilege> right;  // the lines of this right only
};

// One line of the history: a right written on a computer in a pass, or the
// computer alone when nothing was written there.
struct THistoryLine {
  std::string time, pass, user;  // user: the operator, with the logon where there was one
  std::string computer, account, sid;
  std::string right;   // the constant; empty for a computer without writes
  std::string action;  // "grant", "revoke" or empty
  std::string result;  // "written", "in force", "failed: Access is denied (5)", ...
  // The record and its write the line stands for (no write: the computer
  // alone), within the records queried, which must outlive the line.
  const TJournalRecord* source = nullptr;
  const TJournalWrite* write = nullptr;
};

// The journal's record of a line narrowed to the line's right (no other
// writes).
TJournalRecord NarrowedRecord(const THistoryLine& line);

// A pass with the lines the filter kept, in the order they were written.
struct THistoryPass {
  std::string pass, time, user, account, sid;
  std::vector<std::string> computers;  // of the lines, each once
  std::string outcomes;                // "2 written, 1 failed" over those computers
  std::string undoes;                  // the pass it put back, when it is an undo
  std::vector<THistoryLine> lines;
};

// Whether the filter keeps a record (since, computer, account; the right is
// a matter of its lines).
bool JournalRecordWanted(const TJournalFilter& filter, const TJournalRecord& record);

// The passes of `records` (oldest first, as read) with any line the filter
// keeps, newest pass first. Their lines point into `records`.
std::vector<THistoryPass> QueryHistory(const std::vector<TJournalRecord>& records,
                                       const TJournalFilter& filter);

// The lines of the passes, in their order.
std::vector<THistoryLine> HistoryLines(const std::vector<THistoryPass>& passes);

// The lines as CSV, lines ended by CR LF: a header "time,pass,computer,
// account,right,action,result", then one line each, every field written by
// CsvField (guarded against spreadsheet formulas).
std::string HistoryCsv(const std::vector<THistoryLine>& lines);
