#include "app/GridExport.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "app/RightsGrid.h"

namespace tavrin {

std::vector<TExportRow> GridRows(const TRightsGrid& grid) {
  std::vector<TExportRow> rows;
  for (int row = TRightsGrid::FixedRows; row < grid.RowCount() - 1; ++row) {
    TExportRow exported;
    exported.name = grid.Cells(0, row).toStdString();
    exported.codes = grid.Model()->RowCodes(row - TRightsGrid::FixedRows);
    // Why the row could not be read or written, as its tool tip says.
    exported.error = grid.Model()
                         ->RowProblem(row - TRightsGrid::FixedRows)
                         .replace(QLatin1Char('\n'), QStringLiteral("; "))
                         .toStdString();
    rows.push_back(std::move(exported));
  }
  return rows;
}

bool WriteGridExport(const TRightsGrid& grid, const QString& account, const QString& path,
                     ExportFormat format, QString& error) {
  const std::vector<TExportRow> rows = GridRows(grid);
  const std::string text =
      format == ExportFormat::Html
          ? ExportHtml(rows, account.toStdString(), grid.Model()->View())
          : ExportCsv(rows, format == ExportFormat::CsvExact, grid.Model()->View());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      file.write(text.data(), static_cast<qint64>(text.size())) !=
          static_cast<qint64>(text.size()) ||
      !file.flush()) {
    error = file.errorString();
    return false;
  }
  return true;
}

QString ExportGridWithDialog(QWidget* parent, const TRightsGrid& grid, const QString& account) {
  const QString csvFilter = QStringLiteral("CSV (*.csv)");
  const QString exactFilter = QStringLiteral("CSV, exact names (*.csv)");
  const QString htmlFilter = QStringLiteral("HTML report (*.html)");
  QString filter = csvFilter;
  QString path = QFileDialog::getSaveFileName(
      parent, QStringLiteral("Export"), QString(),
      csvFilter + QStringLiteral(";;") + exactFilter + QStringLiteral(";;") + htmlFilter, &filter);
  if (path.isEmpty()) return {};
  const bool html = filter == htmlFilter || QFileInfo(path).suffix().compare(
                                                QLatin1String("html"), Qt::CaseInsensitive) == 0;
  const ExportFormat format = html                    ? ExportFormat::Html
                              : filter == exactFilter ? ExportFormat::CsvExact
                                                      : ExportFormat::Csv;
  if (QFileInfo(path).suffix().isEmpty())
    path += html ? QStringLiteral(".html") : QStringLiteral(".csv");
  QString error;
  if (!WriteGridExport(grid, account, path, format, error))
    return QStringLiteral("Export failed: ") + error;
  return QStringLiteral("Exported to ") + QDir::toNativeSeparators(path);
}

}  // namespace tavrin
