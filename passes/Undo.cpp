#include "passes/Undo.h"

#include <algorithm>
#include <stdexcept>

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
  for (const TJournalRecord& record : journal) {
    if (record.pass != id) continue;
    if (plan.time.empty()) {
      plan.time = record.time;
      plan.network = record.network;
      plan.sid = record.sid;
      plan.account = record.account;
    }
    TUndoComputer computer{record.computer, {}, false, {}, {}};
    for (const TJournalWrite& write : record.writes) {
      const std::optional<TvmPrivilege> right = PrivilegeFromPolicyName(write.right);
      if (write.result != "written" || !right) continue;
      computer.rights.push_back({*right, !write.grant, {}});
    }
    if (!computer.rights.empty()) plan.computers.push_back(std::move(computer));
  }
  if (plan.computers.empty())
    throw std::invalid_argument("pass " + id + " wrote nothing that could be undone");
  return plan;
}

bool SameJournalNetwork(const std::string& recorded, const std::string& current) {
  const auto network = [](const std::string& text) { return text.substr(0, text.find(" as ")); };
  return network(recorded) == network(current);
}

void CheckUndo(const TUndoPlan& plan, TUndoComputer& computer, TvmPrivileges held,
               const std::vector<TJournalRecord>& journal) {
  computer.read = true;
  computer.grant = {};
  computer.revoke = {};
  // The records written after the pass, for this account on this computer.
  const auto last = std::find_if(journal.rbegin(), journal.rend(),
                                 [&](const TJournalRecord& r) { return r.pass == plan.pass; });
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
    for (auto r = journal.rbegin(); r != last && later.empty(); ++r) {
      if (!Matches(*r, plan.sid, computer.computer)) continue;
      for (const TJournalWrite& write : r->writes)
        if (write.result == "written" && write.grant == !left &&
            write.right == PolicyNames[undo.right])
          later = r->pass;
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
