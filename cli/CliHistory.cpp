#include "cli/CliHistory.h"

#include <algorithm>
#include <string>
#include <vector>

#include "cli/CliRun.h"
#include "passes/JournalQuery.h"
#include "platform/TextSafety.h"

namespace tavrin::cli {

std::vector<TJournalRecord> ReadJournal(const TJournal& journal, std::FILE* err) {
  std::vector<std::string> warnings;
  std::vector<TJournalRecord> records = journal.Read(warnings);
  for (const std::string& warning : warnings)
    std::fprintf(err, "tavrin-cli: %s\n", EscapeControls(warning).c_str());
  return records;
}

int History(const TOptions& options, std::FILE* out, std::FILE* err) {
  const std::vector<TJournalRecord> records = ReadJournal(TJournal(options.journal), err);

  TJournalFilter filter;
  filter.since = options.since;
  filter.computer = options.computer;
  filter.account = options.account;
  filter.right = options.right;
  const std::vector<THistoryLine> lines = HistoryLines(QueryHistory(records, filter));

  switch (options.format) {
    case TFormat::Json:
      // Each line as its record stands in the journal, narrowed to its right.
      std::fputs("[", out);
      for (size_t i = 0; i < lines.size(); ++i)
        std::fprintf(out, "%s\n  %s", i ? "," : "", JournalLine(NarrowedRecord(lines[i])).c_str());
      std::fputs("\n]\n", out);
      break;
    case TFormat::Csv:
      std::fputs(HistoryCsv(lines).c_str(), out);
      break;
    case TFormat::Table: {
      std::vector<std::vector<std::string>> rows;
      rows.push_back({"time", "pass", "computer", "account", "right", "action", "result"});
      for (const THistoryLine& line : lines) {
        rows.push_back({line.time, line.pass, line.computer, line.account, line.right, line.action,
                        line.result});
        for (std::string& field : rows.back()) field = OneLine(field);
      }
      std::vector<size_t> widths(rows.front().size(), 0);
      for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Width(row[c]));
      for (const auto& row : rows) {
        std::string text;
        for (size_t c = 0; c < row.size(); ++c) {
          text += row[c];
          if (c + 1 < row.size()) text += std::string(widths[c] - Width(row[c]) + 2, ' ');
        }
        std::fprintf(out, "%s\n", text.c_str());
      }
      break;
    }
  }
  return ExitDone;  // a damaged line is only warned about
}

}  // namespace tavrin::cli
