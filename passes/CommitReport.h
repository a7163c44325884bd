// What a commit is about to write, asked before it starts, and what it did,
// summed up after it: the texts the window shows around a commit.
#pragma once

#include <string>
#include <vector>

#include "passes/CellCode.h"
#include "passes/RowWork.h"

// The staged changes of one computer's row.
struct TStagedRow {
  std::string name;
  TvmPrivileges grants;
  TvmPrivileges revokes;
  // A cell shows the computer as unreadable: the commit skips the row.
  bool unreadable = false;
};

// The staged changes of the rows that have any.
class TStagedChanges {
 public:
  // Takes the row when it stages a change.
  void Add(const std::string& name, const TRowCodes& codes);
  bool Empty() const { return rows_.empty(); }
  const std::vector<TStagedRow>& Rows() const { return rows_; }

  // "Grant 3 and revoke 6 rights of CORP\svc-backup on 5 computers?",
  // counting the rows that can be written; rows the commit will skip are
  // named in a sentence of their own.
  std::string Question(const std::string& account) const;
  // One line per computer: "SRV01: grant A, B; revoke C".
  std::string Details() const;

 private:
  std::vector<TStagedRow> rows_;
};

// What a commit pass did to the rows that staged changes or went wrong.
class TCommitSummary {
 public:
  // `staged`: whether the row staged a change when its commit started.
  // Rows that staged nothing count only when they went wrong.
  void Add(const std::string& name, const TRowCommit& commit, bool staged);
  bool Empty() const { return written_.empty() && inForce_.empty() && problems_ == 0; }
  // Whether any row was skipped, failed, stopped or is not verified.
  bool AnyProblem() const { return problems_ > 0; }
  // "Written on 3 computers, already in force on 1, skipped 1 (unreadable),
  // failed 1."
  std::string Headline() const;
  // Each outcome with its computers and reasons, one computer a line.
  std::string Details() const;

 private:
  std::vector<std::string> written_, inForce_, skipped_, failed_, unverified_, cancelled_;
  int problems_ = 0;
};

// "1 computer", "5 computers": a count with its noun.
std::string Counted(size_t count, const char* noun);
