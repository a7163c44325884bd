#include "passes/CommitReport.h"

#include <cctype>

namespace {

void AddPart(std::string& text, const std::string& part, const char* separator) {
  if (part.empty()) return;
  text += (text.empty() ? "" : separator) + part;
}

int CountOf(TvmPrivileges rights) {
  int count = 0;
  for (int ordinal = 0; ordinal < RightCount; ++ordinal)
    if (rights.Contains(static_cast<TvmPrivilege>(ordinal))) ++count;
  return count;
}

void AddSection(std::string& text, const char* title, const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  if (!text.empty()) text += "\n";
  text += title;
  text += ":\n";
  for (const std::string& line : lines) text += "  " + line + "\n";
}

}  // namespace

std::string Counted(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

void TStagedChanges::Add(const std::string& name, const TRowCodes& codes) {
  TStagedRow row{name, {}, {}, false};
  for (int ordinal = 0; ordinal < RightCount; ++ordinal) {
    const TCellCode& code = codes[ordinal];
    if (code.State() == 'E') row.unreadable = true;
    if (!IsStagedChange(code)) continue;
    (code.Mark() == 'Y' ? row.grants : row.revokes).Include(static_cast<TvmPrivilege>(ordinal));
  }
  if (!row.grants.Empty() || !row.revokes.Empty()) rows_.push_back(std::move(row));
}

std::string TStagedChanges::Question(const std::string& account) const {
  int grants = 0, revokes = 0;
  size_t computers = 0, unreadable = 0;
  for (const TStagedRow& row : rows_) {
    if (row.unreadable) {
      ++unreadable;
      continue;
    }
    grants += CountOf(row.grants);
    revokes += CountOf(row.revokes);
    ++computers;
  }
  std::string text;
  if (computers > 0) {
    std::string what;
    if (grants > 0) what = "Grant " + std::to_string(grants);
    if (revokes > 0) what += (what.empty() ? "Revoke " : " and revoke ") + std::to_string(revokes);
    text = what + (grants + revokes == 1 ? " right" : " rights") + " of " + account + " on " +
           Counted(computers, "computer") + "?";
  }
  if (unreadable > 0) {
    AddPart(text,
            Counted(unreadable, "computer") + (unreadable == 1 ? " was" : " were") +
                " not read and will be skipped; " + (unreadable == 1 ? "its" : "their") +
                " marks stay.",
            " ");
    if (computers == 0) text += " Go on?";
  }
  return text;
}

std::string TStagedChanges::Details() const {
  std::string text;
  for (const TStagedRow& row : rows_) {
    std::string line;
    if (!row.grants.Empty()) AddPart(line, "grant " + RightNames(row.grants), "; ");
    if (!row.revokes.Empty()) AddPart(line, "revoke " + RightNames(row.revokes), "; ");
    if (row.unreadable) line += " (not read: skipped)";
    text += row.name + ": " + line + "\n";
  }
  return text;
}

void TCommitSummary::Add(const std::string& name, const TRowCommit& commit, bool staged) {
  const std::string problem = CommitProblem(commit);
  switch (commit.outcome) {
    case TCommitOutcome::Written: {
      std::string line;
      if (!commit.granted.Empty()) AddPart(line, "granted " + RightNames(commit.granted), "; ");
      if (!commit.revoked.Empty()) AddPart(line, "revoked " + RightNames(commit.revoked), "; ");
      written_.push_back(name + (line.empty() ? "" : ": " + line));
      return;
    }
    case TCommitOutcome::InForce:
      if (staged) inForce_.push_back(name);
      return;
    case TCommitOutcome::Skipped:
      skipped_.push_back(name + ": " + problem);
      break;
    case TCommitOutcome::Failed:
      failed_.push_back(name + ": " + problem);
      break;
    case TCommitOutcome::Unverified:
      unverified_.push_back(name + ": " + problem);
      break;
    case TCommitOutcome::Cancelled:
      if (!staged) return;  // stopped before a row that had nothing to write
      cancelled_.push_back(name);
      break;
  }
  ++problems_;
}

std::string TCommitSummary::Headline() const {
  std::string text;
  if (!written_.empty()) AddPart(text, "Written on " + Counted(written_.size(), "computer"), ", ");
  if (!inForce_.empty())
    AddPart(text, "already in force on " + std::to_string(inForce_.size()), ", ");
  if (!unverified_.empty())
    AddPart(text, "written but not verified on " + std::to_string(unverified_.size()), ", ");
  if (!skipped_.empty())
    AddPart(text, "skipped " + std::to_string(skipped_.size()) + " (unreadable)", ", ");
  if (!failed_.empty()) AddPart(text, "failed " + std::to_string(failed_.size()), ", ");
  if (!cancelled_.empty())
    AddPart(text, "not started " + std::to_string(cancelled_.size()) + " (stopped)", ", ");
  if (text.empty()) return "Nothing to write.";
  text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text + ".";
}

std::string TCommitSummary::Details() const {
  std::string text;
  AddSection(text, "Written", written_);
  AddSection(text, "Already in force", inForce_);
  AddSection(text, "Written, not verified", unverified_);
  AddSection(text, "Skipped (unreadable)", skipped_);
  AddSection(text, "Failed", failed_);
  AddSection(text, "Not started (stopped)", cancelled_);
  return text;
}
