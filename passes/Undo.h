// Undoing a commit pass from the journal: the inverse of every right the
// pass wrote, on the computers where it wrote it. A right is put back only
// where it is still as the pass left it; one that has changed again since is
// shown with a note and left alone.
#pragma once

#include <string>
#include <vector>

#include "passes/CellCode.h"
#include "passes/Journal.h"

// One right the pass wrote on a computer, and what undoing it does.
struct TUndoRight {
  TvmPrivilege right{};
  bool grant = false;  // undo grants it (the pass revoked it), or revokes it
  // Empty while the right is as the pass left it (undo stages the inverse);
  // otherwise why it is left alone: "changed since: now held by a later
  // pass (ID)".
  std::string note;
};

struct TUndoComputer {
  std::string computer;
  std::vector<TUndoRight> rights;
  // What a fresh read of the computer found, once CheckUndo has seen it;
  // why it could not be read, once it could not.
  bool read = false;
  std::string problem;
  // The marks undo stages on the row: the rights as the pass left them.
  TvmPrivileges grant, revoke;
};

struct TUndoPlan {
  std::string pass;  // the pass's full id
  size_t last = 0;   // the index of its last record in the journal it was planned from
  std::string time, network, sid, account;
  std::vector<TUndoComputer> computers;  // where the pass wrote, in its order
};

// The undo of the pass whose id is `pass` (or starts with it, when only one
// does). Throws std::invalid_argument when no pass or more than one has
// such an id, when the pass wrote nothing that could be undone, and when it
// was made on another network than the one this program works on now (the
// account it logged on as aside): the same names there are other computers.
TUndoPlan PlanUndo(const std::vector<TJournalRecord>& journal, const std::string& pass);

// Compares what `computer` holds now (`held`, read afresh) with what the pass
// left: the rights still as it left them get the inverse staged (grant,
// revoke); the others get their note, naming the later pass of `journal`
// (the one the plan was made from) that changed them where there is one.
void CheckUndo(const TUndoPlan& plan, TUndoComputer& computer, TvmPrivileges held,
               const std::vector<TJournalRecord>& journal);

// The row's codes with the undo's marks staged on top of `codes`.
TRowCodes UndoMarks(const TUndoComputer& computer, const TRowCodes& codes);

// "left alone: SeDebugPrivilege (changed since: now held)": the rights of
// the computer that changed since the pass; empty when none did.
std::string UndoLeftAlone(const TUndoComputer& computer);

// What undo has staged, for the window: a headline ("Undo of pass ID: 3
// changes staged on 2 computers; 1 right changed since is left alone.
// Commit writes them.") and a line per computer.
struct TUndoReport {
  std::string headline, details;
  int changes = 0;
};
TUndoReport UndoReport(const TUndoPlan& plan);
