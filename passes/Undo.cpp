#include "passes/Undo.h"

#include <bit>
#include <stdexcept>

#include "passes/RowWork.h"
#include "platform/ComputerNames.h"

namespace {

bool Matches(const TJournalRecord& record, const std::string& sid, const std::string& computer) {
  return record.sid == sid && tavrin::SameComputerName(record.computer, computer);
}

}  // namespace

TUndoPlan PlanUndo(const std::vector<TJournalRecord>& journal, const std::string& pass) {
  if (pass.empty()) throw std::invalid_argument("no pass was named");
  std::string id;
  for (const TJournalRecord& record : journal) {
    if (record.pass.compare(0, pass.size(), pass) != 0 || record.pass == id) continue;
    if (record.pass == pass) {  // an exact id wins over longer ones it starts
      id = pass;
      break;
    }
    if (!id.empty())
      throw std::invalid_argument("more than one pass has an id starting \"" + pass + "\"");
    id = record.pass;
  }
  if (id.empty()) throw std::invalid_argument("the journal has no pass \"" + pass + "\"");

  TUndoPlan plan;
  plan.pass = id;
  for (size_t index = 0; index < journal.size(); ++index) {
    const TJournalRecord& record = journal[index];
    if (record.pass != id) continue;
    plan.last = index;
    if (plan.time.empty()) {
      plan.time = record.time;
      plan.network = record.network;
      plan.sid = record.sid;
      plan.account = record.account;
    }
    TUndoComputer computer;
    computer.computer = record.computer;
    for (const TJournalWrite& write : record.writes) {
      const std::optional<TvmPrivilege> right = PrivilegeFromPolicyName(write.right);
      if (write.result != "written" || !right) continue;
      computer.rights.push_back({*right, !write.grant, {}});
    }
    if (!computer.rights.empty()) plan.computers.push_back(std::move(computer));
  }
  if (plan.computers.empty())
    throw std::invalid_argument("pass " + id + " wrote nothing that could be undone");
  const auto network = [](const std::string& text) { return text.substr(0, text.find(" as ")); };
  if (const std::string here = JournalNetwork(); network(plan.network) != network(here))
    throw std::invalid_argument("pass " + id + " was made on the " + plan.network +
                                ", not on the " + here);
  return plan;
}

void CheckUndo(const TUndoPlan& plan, TUndoComputer& computer, TvmPrivileges held,
               const std::vector<TJournalRecord>& journal) {
  computer.read = true;
  computer.grant = {};
  computer.revoke = {};
  for (TUndoRight& undo : computer.rights) {
    // The pass left the right held when undo revokes it.
    const bool left = !undo.grant;
    if (held.Contains(undo.right) == left) {
      undo.note.clear();
      (undo.grant ? computer.grant : computer.revoke).Include(undo.right);
      continue;
    }
    // Which later pass made it as it is now, the newest first.
    std::string later;
    for (size_t index = journal.size(); later.empty() && index-- > plan.last + 1;) {
      const TJournalRecord& r = journal[index];
      if (!Matches(r, plan.sid, computer.computer)) continue;
      for (const TJournalWrite& write : r.writes)
        if (write.result == "written" && write.grant == !left &&
            write.right == PolicyNames[undo.right])
          later = r.pass;
    }
    undo.note = std::string("changed since: ") + (left ? "no longer held" : "now held");
    if (!later.empty()) {
      if (left)
        undo.note = "changed since: revoked by a later pass (" + later + ")";
      else
        undo.note += " by a later pass (" + later + ")";
    }
  }
}

TRowCodes UndoMarks(const TUndoComputer& computer, const TRowCodes& codes) {
  TRowCodes marked = codes;
  for (int ordinal = 0; ordinal < RightCount; ++ordinal) {
    const auto right = static_cast<TvmPrivilege>(ordinal);
    if (computer.grant.Contains(right)) marked[ordinal] = WithMark(codes[ordinal], 'Y');
    if (computer.revoke.Contains(right)) marked[ordinal] = WithMark(codes[ordinal], 'N');
  }
  return marked;
}

std::string UndoLeftAlone(const TUndoComputer& computer) {
  std::string text;
  for (const TUndoRight& right : computer.rights)
    if (!right.note.empty())
      text += (text.empty() ? "left alone: " : ", ") + std::string(PolicyNames[right.right]) +
              " (" + right.note + ")";
  return text;
}

TUndoReport UndoReport(const TUndoPlan& plan) {
  TUndoReport report;
  int computers = 0, alone = 0, unread = 0;
  for (const TUndoComputer& computer : plan.computers) {
    std::string line = computer.computer + ": ";
    if (!computer.read) {
      ++unread;
      report.details += line + "not read: " + computer.problem + "\n";
      continue;
    }
    const int changes =
        std::popcount(computer.grant.Mask()) + std::popcount(computer.revoke.Mask());
    report.changes += changes;
    computers += changes > 0;
    std::string parts;
    const auto part = [&](const std::string& piece) {
      parts += (parts.empty() ? "" : "; ") + piece;
    };
    if (!computer.grant.Empty()) part("grant " + RightNames(computer.grant));
    if (!computer.revoke.Empty()) part("revoke " + RightNames(computer.revoke));
    if (const std::string left = UndoLeftAlone(computer); !left.empty()) {
      part(left);
      for (const TUndoRight& right : computer.rights) alone += !right.note.empty();
    }
    report.details += line + (parts.empty() ? "nothing to undo" : parts) + "\n";
  }
  const auto count = [](int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  std::string& text = report.headline;
  text = "Undo of pass " + plan.pass + ": ";
  if (report.changes > 0)
    text += count(report.changes, "change", "changes") + " staged on " +
            count(computers, "computer", "computers");
  else
    text += "nothing left to undo";
  if (alone > 0)
    text +=
        "; " + count(alone, "right changed since is", "rights changed since are") + " left alone";
  if (unread > 0) text += "; " + count(unread, "computer", "computers") + " could not be read";
  text += report.changes > 0 ? ". Commit writes them." : ".";
  return report;
}
