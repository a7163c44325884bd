#include "cli/CliUndo.h"

#include <stdexcept>

#include "cli/CliHistory.h"
#include "cli/CliRun.h"
#include "passes/Undo.h"
#include "platform/TextSafety.h"

namespace tavrin::cli {

namespace {

std::string Joined(std::string first, const std::string& second) {
  if (first.empty()) return second;
  return second.empty() ? first : first + "; " + second;
}

}  // namespace

int Undo(const TOptions& options, std::FILE* out, std::FILE* err) {
  const TJournal journal(options.journal);
  const std::vector<TJournalRecord> records = ReadJournal(journal, err);
  TUndoPlan plan;
  TResolvedAccount account;
  try {
    plan = PlanUndo(records, options.pass);
    account = ResolveAccount(plan.sid, {});
    account.given = plan.account;
  } catch (const std::exception& e) {
    std::fprintf(err, "tavrin-cli: %s\n", Shown(e.what()).c_str());
    return ExitUsage;
  }

  // What the computers hold now.
  std::vector<std::string> names;
  for (const TUndoComputer& computer : plan.computers) names.push_back(computer.computer);
  const std::vector<TRowResult> reads = RunPass(names, account.sid, TRowJobKind::Read, {}, err);
  bool incomplete = false;
  std::vector<std::string> lines(names.size());
  std::vector<std::string> toWrite;
  std::vector<TRowCodes> codes;
  std::vector<size_t> written;  // the plan's index of each computer written
  std::vector<TStagedRow> planned;
  for (size_t i = 0; i < names.size(); ++i) {
    TUndoComputer& computer = plan.computers[i];
    const TRowRead& read = reads[i].read;
    if (read.failed) {
      lines[i] = "not read: " + Shown(ErrorWithCode(read.errorText, read.error));
      incomplete = true;
      continue;
    }
    CheckUndo(plan, computer, read.rights, records);
    const std::string alone = UndoLeftAlone(computer);
    incomplete |= !alone.empty();
    if (computer.grant.Empty() && computer.revoke.Empty()) {
      lines[i] = Joined("nothing to undo", alone);
      continue;
    }
    if (options.dryRun) {
      TApplyLine line;
      line.granted = computer.grant;
      line.revoked = computer.revoke;
      lines[i] = Joined(ApplyText(line, true), alone);
      continue;
    }
    toWrite.push_back(names[i]);
    codes.push_back(UndoMarks(computer, CommittedRow(read.rights)));
    written.push_back(i);
    planned.push_back({names[i], computer.grant, computer.revoke, false});
  }

  if (!toWrite.empty()) {
    if (GuardRailsRefuse(options, account.sidString, planned, err)) return ExitUsage;
    if (JournalRefuses(journal, err)) return ExitUsage;
    TJournalPass pass = NewJournalPass(account.sidString, account.given);
    pass.undoes = plan.pass;
    std::vector<TJournalRecord> done;
    const std::vector<TRowResult> results =
        RunPass(toWrite, account.sid, TRowJobKind::Commit, codes, err);
    for (size_t k = 0; k < results.size(); ++k) {
      done.push_back(JournalRecord(pass, results[k], codes[k]));
      const TApplyLine line = ApplyLineOf(false, results[k], codes[k]);
      const std::string_view outcome = line.outcome;
      incomplete |= outcome != "written" && outcome != "in force";
      lines[written[k]] = Joined(ApplyText(line, false), UndoLeftAlone(plan.computers[written[k]]));
    }
    if (const std::string why = journal.Append(done); !why.empty()) {
      std::fprintf(err, "tavrin-cli: the changes were made but not journalled: %s\n",
                   EscapeControls(why).c_str());
      incomplete = true;
    }
  }
  std::fprintf(out, "Undo of pass %s (%s, %s):\n", plan.pass.c_str(), Shown(plan.account).c_str(),
               plan.time.c_str());
  for (size_t i = 0; i < names.size(); ++i)
    std::fprintf(out, "%s: %s\n", Shown(names[i]).c_str(), lines[i].c_str());
  return incomplete ? ExitSomeFailed : ExitDone;
}

}  // namespace tavrin::cli
