// Export of the grid to CSV and to a self-contained HTML report.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/AppHelp.h"
#include "app/GridExport.h"
#include "app/RightsGrid.h"
#include "tests/support/FileDialog.h"

namespace {

QString Read(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  return QString::fromUtf8(file.readAll());
}

TEST(GridExport, FilesMatchTheGrid) {
  TRightsGrid grid;
  const char* const rows[][4] = {
      {"WS01", "Y ", "NY", "YN"}, {"Ёлка, \"s\"", "E ", "EY", "N "}, {"SRV01", "", "N ", "YY"}};
  for (const auto& row : rows) {
    const int r = grid.AppendRow(QString::fromUtf8(row[0]));
    for (int col = 1; col < grid.ColCount(); ++col)
      grid.SetCode(col, r, TCellCode::FromText(col <= 3 ? row[col] : "N "));
  }

  QTemporaryDir dir;
  QString error;
  ASSERT_TRUE(tavrin::WriteGridExport(grid, "Administrators", dir.filePath("g.csv"),
                                      tavrin::ExportFormat::Csv, error));
  QStringList lines = Read(dir.filePath("g.csv")).split("\r\n");
  ASSERT_EQ(lines.takeLast(), "");
  ASSERT_EQ(lines.size(), grid.RowCount() - 1);  // the header, no spare row
  EXPECT_TRUE(lines[0].startsWith("Computer,CT,PT,LM,")) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].endsWith(",LS,Error"));
  const QStringList expected = {"WS01,Y,NY,YN,", "\"Ёлка, \"\"s\"\"\",E,EY,N,", "SRV01,,N,YY,"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(lines[i + 1].startsWith(expected[i])) << lines[i + 1].toStdString();
    EXPECT_EQ(lines[i + 1].count(','), 28 + 1 * (i == 1));  // the comma inside the name
  }

  ASSERT_TRUE(tavrin::WriteGridExport(grid, "Administrators", dir.filePath("g.html"),
                                      tavrin::ExportFormat::Html, error));
  const QString html = Read(dir.filePath("g.html"));
  EXPECT_TRUE(html.contains("Ёлка, &quot;s&quot;") &&
              html.contains("User rights of Administrators"));
  for (const char* line : PrivilegeLegend) EXPECT_TRUE(html.contains(line)) << line;
  EXPECT_EQ(html.count("<tr>"), 4);
  EXPECT_FALSE(html.contains("src=") || html.contains("href="));  // nothing outside the file

  EXPECT_FALSE(tavrin::WriteGridExport(grid, "x", dir.filePath("no/such/dir.csv"),
                                       tavrin::ExportFormat::Csv, error));
  EXPECT_FALSE(error.isEmpty());
}

// The Export command's dialog: the plain CSV filter writes a formula-like
// name with a leading "'", the exact-names filter writes it as it is.
TEST(GridExport, DialogChoosesDefendedOrExactNames) {
  TRightsGrid grid;
  const int r = grid.AppendRow("=SUM(A1)");  // the other prefixes: ExportTest
  for (int col = 1; col < grid.ColCount(); ++col) grid.SetCode(col, r, TCellCode::FromText("Y "));
  QTemporaryDir dir;
  const auto exportAs = [&](const QString& filter, const QString& file) {
    tavrin::test::AcceptFileDialog(dir.filePath(file), filter);
    return tavrin::ExportGridWithDialog(nullptr, grid, QStringLiteral("Everyone"));
  };

  EXPECT_EQ(exportAs({}, "plain"),
            "Exported to " + QDir::toNativeSeparators(dir.filePath("plain.csv")));
  EXPECT_TRUE(Read(dir.filePath("plain.csv")).contains("\r\n'=SUM(A1),Y,Y,"));

  EXPECT_FALSE(exportAs(QStringLiteral("CSV, exact names (*.csv)"), "exact.csv").isEmpty());
  EXPECT_TRUE(Read(dir.filePath("exact.csv")).contains("\r\n=SUM(A1),Y,Y,"));

  EXPECT_FALSE(exportAs(QStringLiteral("HTML report (*.html)"), "r").isEmpty());
  EXPECT_TRUE(Read(dir.filePath("r.html")).contains("<td class=\"name\">=SUM(A1)</td>"));
}

// Installed, the program is in bin/ and its manual in share/tavrin/manual.
TEST(GridExport, HelpFindsTheInstalledManual) {
  QTemporaryDir dir;
  const auto page = [&](const QString& folder) {
    return tavrin::HelpContextUrl(dir.filePath(folder + "/tavrin.hlp"), tavrin::HelpContextContents)
        .toLocalFile();
  };
  ASSERT_TRUE(QDir(dir.path()).mkpath("usr/share/tavrin/manual"));
  ASSERT_TRUE(QDir(dir.path()).mkpath("usr/bin"));
  EXPECT_EQ(page("usr/bin"), dir.filePath("usr/share/tavrin/manual/index.html"));
  ASSERT_TRUE(QDir(dir.path()).mkpath("usr/bin/manual"));
  EXPECT_EQ(page("usr/bin"), dir.filePath("usr/bin/manual/index.html"));
}

}  // namespace
