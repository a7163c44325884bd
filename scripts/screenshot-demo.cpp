// Renders the main window with a few computers and staged cells into a PNG,
// and the about box into a second one, for the documentation. Run it under
// an X server (scripts/screenshot.sh starts one with xvfb-run):
//   tavrin_screenshot WINDOW.png [ABOUT.png]
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "app/RightsGrid.h"
#include "app/fmAbout.h"
#include "app/fmTavrinMain.h"

namespace {

struct DemoRow {
  const char* name;
  std::vector<const char*> held;                    // codes of the rights held
  std::vector<std::pair<const char*, char>> marks;  // staged marks
  bool unreadable = false;
};

int Column(const TRightsGrid& grid, const char* code) {
  for (int col = 1; col < grid.ColCount(); ++col)
    if (grid.Cells(col, 0) == QLatin1String(code)) return col;
  return -1;
}

void Stage(TRightsGrid& grid, const DemoRow& demo) {
  const int row = grid.AppendRow(QString::fromLatin1(demo.name));
  for (int col = 1; col < grid.ColCount(); ++col)
    grid.SetCode(col, row, TCellCode::Of(demo.unreadable ? 'E' : 'N', ' '));
  for (const char* code : demo.held) grid.SetCode(Column(grid, code), row, TCellCode::Of('Y', ' '));
  for (const auto& [code, mark] : demo.marks) {
    const int col = Column(grid, code);
    grid.SetCode(col, row, WithMark(grid.Code(col, row), mark));
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: tavrin_screenshot WINDOW.png [ABOUT.png]\n");
    return 2;
  }
  TTavrinForm form;
  // The pickers are filled from the built-in network; show the local
  // Administrators alias, as an administrator usually starts.
  const int admins = form.CBxUsers->findText(QStringLiteral("Administrators"));
  if (admins >= 0) form.CBxUsers->setCurrentIndex(admins);
  const std::vector<const char*> admin = {"PS", "SY", "TO", "LD", "SP", "ST", "PR",
                                          "IP", "PG", "BK", "RE", "SH", "DG", "SE",
                                          "CN", "RS", "IL", "NL", "BJ", "IQ"};
  const DemoRow rows[] = {
      {"OKT-DC01", admin, {{"LS", 'Y'}, {"DG", 'N'}}},
      {"OKT-WS01", admin, {{"LM", 'Y'}, {"TO", 'N'}, {"DG", 'N'}}},
      {"OKT-FS01", {"BK", "RE", "IL", "NL", "CN"}, {{"SH", 'Y'}, {"RS", 'Y'}, {"SE", 'E'}}},
      {"OKT-WS03", {"IL", "NL", "CN", "SH"}, {}},
      {"OKT-WS04", {}, {{"BK", 'Y'}}, true},
      {"OKT-WS02", {"IL", "NL", "CN", "SH", "BK"}, {{"BK", 'N'}, {"MA", 'Y'}}},
  };
  for (const DemoRow& row : rows) Stage(*form.GrRights, row);
  form.aCommit->setEnabled(true);
  form.aDiscard->setEnabled(true);

  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) return 1;
  form.activateWindow();
  form.GrRights->setFocus(Qt::TabFocusReason);
  form.GrRights->SetSelection({Column(*form.GrRights, "SH"), 3, Column(*form.GrRights, "SH"), 3});
  form.GrRightsClick();
  QTest::qWait(300);
  if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) return 1;

  if (argc > 2) {
    auto* about = new TAboutForm();
    about->show();
    if (!QTest::qWaitForWindowExposed(about)) return 1;
    QTest::qWait(200);
    if (!about->grab().save(QString::fromLocal8Bit(argv[2]))) return 1;
    about->close();
  }
  return 0;
}
