// Export of the rights grid: its computers, the current states and the
// staged marks, as CSV or as a self-contained HTML report with the legend.
#pragma once

#include <QString>
#include <vector>

#include "passes/Export.h"

class QWidget;
class TRightsGrid;

namespace tavrin {

// Csv writes names that a spreadsheet would take for a formula with a
// leading "'"; CsvExact writes every name exactly as it is.
enum class ExportFormat { Csv, CsvExact, Html };

// The data rows of the grid (the spare row left out), names in UTF-8.
std::vector<TExportRow> GridRows(const TRightsGrid& grid);

// Writes the grid to `path`; `account` titles the HTML report. Answers
// false with `error` set when the file cannot be written.
bool WriteGridExport(const TRightsGrid& grid, const QString& account, const QString& path,
                     ExportFormat format, QString& error);

// Asks for a file ("CSV (*.csv)", "CSV, exact names (*.csv)" or "HTML
// report (*.html)") and writes the grid to it. Answers the status text to
// show: empty when the dialog was cancelled.
QString ExportGridWithDialog(QWidget* parent, const TRightsGrid& grid, const QString& account);

}  // namespace tavrin
