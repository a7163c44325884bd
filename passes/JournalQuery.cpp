#include "passes/JournalQuery.h"

#include <algorithm>
#include <unordered_map>

#include "passes/Export.h"
#include "passes/RowWork.h"
#include "platform/ComputerNames.h"
#include "platform/WideText.h"

namespace {

std::string Key(const std::string& text) { return tavrin::platform::text::UpperKey(text); }

bool WantedRight(const TJournalFilter& filter, const TJournalWrite* write) {
  if (!filter.right) return true;
  return write != nullptr && Key(write->right) == Key(PolicyNames[*filter.right]);
}

std::string Result(const TJournalRecord& r, const TJournalWrite* w) {
  if (w == nullptr)
    return r.error.empty() ? r.outcome : r.outcome + ": " + ErrorWithCode(r.error, r.code);
  if (w->result == "failed") return "failed: " + ErrorWithCode(w->text, w->code);
  // Rights of a row that was skipped or stopped: why.
  if (w->result == "not written" && !r.error.empty())
    return w->result + ": " + ErrorWithCode(r.error, r.code);
  return w->result;
}

THistoryLine Line(const TJournalRecord& r, const TJournalWrite* w) {
  THistoryLine line;
  line.time = r.time;
  line.pass = r.pass;
  line.user = r.logon.empty() || r.logon == r.user ? r.user : r.user + " (as " + r.logon + ")";
  line.computer = r.computer;
  line.account = r.account;
  line.sid = r.sid;
  if (w != nullptr) {
    line.right = w->right;
    line.action = w->grant ? "grant" : "revoke";
  }
  line.result = Result(r, w);
  line.source = &r;
  line.write = w;
  return line;
}

// "2 written, 1 failed": how many computers ended each way, in the order
// the outcomes first came.
std::string Outcomes(const std::vector<const TJournalRecord*>& records) {
  std::vector<std::pair<std::string, int>> counts;
  for (const TJournalRecord* record : records) {
    auto found = std::find_if(counts.begin(), counts.end(),
                              [&](const auto& count) { return count.first == record->outcome; });
    if (found == counts.end())
      counts.emplace_back(record->outcome, 1);
    else
      ++found->second;
  }
  std::string text;
  for (const auto& [outcome, count] : counts)
    text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + outcome;
  return text;
}

}  // namespace

TJournalRecord NarrowedRecord(const THistoryLine& line) {
  TJournalRecord record = *line.source;
  record.writes.clear();
  if (line.write != nullptr) record.writes.push_back(*line.write);
  return record;
}

bool JournalRecordWanted(const TJournalFilter& filter, const TJournalRecord& record) {
  // ISO 8601 times in UTC sort as texts.
  if (!filter.since.empty() && record.time.compare(0, filter.since.size(), filter.since) < 0)
    return false;
  if (!filter.computer.empty() && !tavrin::SameComputerName(filter.computer, record.computer))
    return false;
  if (!filter.account.empty()) {
    const std::string wanted = Key(filter.account);
    const std::string name = Key(record.account);
    const bool bare = filter.account.find('\\') == std::string::npos;
    const size_t slash = name.rfind('\\');
    if (wanted != Key(record.sid) && wanted != name &&
        !(bare && slash != std::string::npos && name.substr(slash + 1) == wanted))
      return false;
  }
  return true;
}

std::vector<THistoryPass> QueryHistory(const std::vector<TJournalRecord>& records,
                                       const TJournalFilter& filter) {
  // Newest pass first; a pass's records in the order they were written.
  std::vector<THistoryPass> passes;
  std::vector<std::vector<const TJournalRecord*>> kept;
  std::unordered_map<std::string, size_t> index;  // a pass's place in `passes`
  for (const TJournalRecord& record : records) {
    if (!JournalRecordWanted(filter, record)) continue;
    std::vector<THistoryLine> lines;
    if (record.writes.empty() && WantedRight(filter, nullptr))
      lines.push_back(Line(record, nullptr));
    for (const TJournalWrite& write : record.writes)
      if (WantedRight(filter, &write)) lines.push_back(Line(record, &write));
    if (lines.empty()) continue;
    const auto [place, added] = index.try_emplace(record.pass, passes.size());
    if (added) {
      THistoryPass& fresh = passes.emplace_back();
      fresh.pass = record.pass;
      fresh.time = record.time;
      fresh.user = lines.front().user;
      fresh.account = record.account;
      fresh.sid = record.sid;
      fresh.undoes = record.undoes;
      kept.emplace_back();
    }
    THistoryPass* pass = &passes[place->second];
    kept[place->second].push_back(&record);
    if (std::none_of(pass->computers.begin(), pass->computers.end(), [&](const std::string& name) {
          return tavrin::SameComputerName(name, record.computer);
        }))
      pass->computers.push_back(record.computer);
    for (THistoryLine& line : lines) pass->lines.push_back(std::move(line));
  }
  for (size_t i = 0; i < passes.size(); ++i) passes[i].outcomes = Outcomes(kept[i]);
  std::reverse(passes.begin(), passes.end());
  return passes;
}

std::vector<THistoryLine> HistoryLines(const std::vector<THistoryPass>& passes) {
  std::vector<THistoryLine> lines;
  for (const THistoryPass& pass : passes)
    lines.insert(lines.end(), pass.lines.begin(), pass.lines.end());
  return lines;
}

std::string HistoryCsv(const std::vector<THistoryLine>& lines) {
  std::string text = "time,pass,computer,account,right,action,result\r\n";
  for (const THistoryLine& line : lines) {
    bool first = true;
    for (const std::string* field : {&line.time, &line.pass, &line.computer, &line.account,
                                     &line.right, &line.action, &line.result}) {
      text += (first ? "" : ",") + CsvField(*field, false);
      first = false;
    }
    text += "\r\n";
  }
  return text;
}
