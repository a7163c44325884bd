#include "cli/CliHistory.h"

#include <algorithm>
#include <string>
#include <vector>

#include "cli/CliRun.h"
#include "passes/Export.h"
#include "passes/Journal.h"
#include "platform/ComputerNames.h"
#include "platform/TextSafety.h"
#include "platform/WideText.h"

namespace tavrin::cli {

namespace {

// One line of the history: a right of a computer of a pass.
struct THistoryLine {
  const TJournalRecord* record;
  const TJournalWrite* write;  // none: the computer had nothing written
};

bool Wanted(const TOptions& options, const TJournalRecord& record) {
  // ISO 8601 times in UTC sort as texts.
  if (!options.since.empty() && record.time.compare(0, options.since.size(), options.since) < 0)
    return false;
  if (!options.computer.empty() && !SameComputerName(options.computer, record.computer))
    return false;
  if (!options.account.empty()) {
    const auto key = [](const std::string& text) { return platform::text::UpperKey(text); };
    const std::string wanted = key(options.account);
    const std::string name = key(record.account);
    const bool bare = options.account.find('\\') == std::string::npos;
    const size_t slash = name.rfind('\\');
    if (wanted != key(record.sid) && wanted != name &&
        !(bare && slash != std::string::npos && name.substr(slash + 1) == wanted))
      return false;
  }
  return true;
}

std::string Action(const THistoryLine& line) {
  return line.write ? (line.write->grant ? "grant" : "revoke") : "";
}

std::string Result(const THistoryLine& line) {
  if (line.write == nullptr) {
    const TJournalRecord& r = *line.record;
    return r.error.empty() ? r.outcome : r.outcome + ": " + ErrorWithCode(r.error, r.code);
  }
  const TJournalWrite& w = *line.write;
  if (w.result == "failed") return "failed: " + ErrorWithCode(w.text, w.code);
  // Rights of a row that was skipped or stopped: why.
  const TJournalRecord& r = *line.record;
  if (w.result == "not written" && !r.error.empty())
    return w.result + ": " + ErrorWithCode(r.error, r.code);
  return w.result;
}

}  // namespace

int History(const TOptions& options, std::FILE* out, std::FILE* err) {
  const TJournal journal(options.journal);
  std::vector<std::string> warnings;
  const std::vector<TJournalRecord> records = journal.Read(warnings);
  for (const std::string& warning : warnings)
    std::fprintf(err, "tavrin-cli: %s\n", EscapeControls(warning).c_str());

  // Newest pass first; a pass's records in the order they were written.
  std::vector<std::string> passes;
  for (const TJournalRecord& record : records)
    if (Wanted(options, record) &&
        std::find(passes.begin(), passes.end(), record.pass) == passes.end())
      passes.push_back(record.pass);
  std::vector<THistoryLine> lines;
  for (auto pass = passes.rbegin(); pass != passes.rend(); ++pass)
    for (const TJournalRecord& record : records) {
      if (record.pass != *pass || !Wanted(options, record)) continue;
      if (record.writes.empty()) lines.push_back({&record, nullptr});
      for (const TJournalWrite& write : record.writes) lines.push_back({&record, &write});
    }

  const char* heads[] = {"time", "pass", "computer", "account", "right", "action", "result"};
  const auto fields = [](const THistoryLine& line) {
    const TJournalRecord& r = *line.record;
    return std::vector<std::string>{
        r.time,       r.pass,      r.computer, r.account, line.write ? line.write->right : "",
        Action(line), Result(line)};
  };
  switch (options.format) {
    case TFormat::Json: {
      std::fputs("[", out);
      for (size_t i = 0; i < lines.size(); ++i) {
        // The record as it stands in the journal, narrowed to the line's right.
        TJournalRecord record = *lines[i].record;
        record.writes.clear();
        if (lines[i].write) record.writes.push_back(*lines[i].write);
        std::fprintf(out, "%s\n  %s", i ? "," : "", JournalLine(record).c_str());
      }
      std::fputs("\n]\n", out);
      break;
    }
    case TFormat::Csv: {
      std::string text;
      for (const char* head : heads) text += std::string(text.empty() ? "" : ",") + head;
      std::fprintf(out, "%s\r\n", text.c_str());
      for (const THistoryLine& line : lines) {
        text.clear();
        for (const std::string& field : fields(line))
          text += (text.empty() ? "" : ",") + CsvField(field, false);
        std::fprintf(out, "%s\r\n", text.c_str());
      }
      break;
    }
    case TFormat::Table: {
      std::vector<std::vector<std::string>> rows;
      rows.emplace_back(std::begin(heads), std::end(heads));
      for (const THistoryLine& line : lines) {
        rows.push_back(fields(line));
        for (std::string& field : rows.back()) field = OneLine(field);
      }
      std::vector<size_t> widths(std::size(heads), 0);
      for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
      for (const auto& row : rows) {
        std::string text;
        for (size_t c = 0; c < row.size(); ++c) {
          text += row[c];
          if (c + 1 < row.size()) text += std::string(widths[c] - row[c].size() + 2, ' ');
        }
        std::fprintf(out, "%s\n", text.c_str());
      }
      break;
    }
  }
  return ExitDone;  // a damaged line is only warned about
}

}  // namespace tavrin::cli
