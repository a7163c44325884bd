// The rights grid on its own: rows, drawing, mouse and keyboard events.
#include <gtest/gtest.h>

#include <QPainter>
#include <QtTest>

#include "app/ImageLists.h"
#include "app/RightsGrid.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

TCellCode Code(const char* text) { return TCellCode::FromText(text); }

// The grid, shown, with computers WS01, SRV01 and DC01 holding "N " everywhere.
class Grid : public ::testing::Test {
 protected:
  void SetUp() override {
    grid.resize(636, 245);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    for (const char* name : {"WS01", "SRV01", "DC01"}) {
      const int row = grid.AppendRow(name);
      for (int col = 1; col < grid.ColCount(); ++col) grid.SetCode(col, row, Code("N "));
    }
  }
  QPoint Centre(int col, int row) const { return grid.CellRect(col, row).center(); }
  std::vector<int> Found(std::initializer_list<const char*> names) const {
    std::vector<int> rows;
    for (const char* name : names) rows.push_back(grid.FindRow(name));
    return rows;
  }

  TRightsGrid grid;
  TRightsGridModel& model = *grid.Model();
  QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(Grid, RowsFoundIgnoringCaseFirstWinningAcrossRenamesAndRemovals) {
  // The selection starts on the first cell and stays there as rows come.
  EXPECT_EQ(grid.Selection(), (TGridRect{1, 1, 1, 1}));
  EXPECT_EQ(grid.AppendRow("srv01"), 4);
  EXPECT_EQ(grid.Selection(), (TGridRect{1, 1, 1, 1}));
  EXPECT_TRUE(grid.IsSpareRow(5));
  EXPECT_EQ(model.headerData(1, Qt::Vertical).toString(), "SRV01");
  EXPECT_EQ(model.headerData(4, Qt::Vertical).toString(), "");
  grid.SetCells(1, 0, "CT");
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "CT");
  EXPECT_EQ(Found({"ws01", "Srv01", "GHOST"}), (std::vector<int>{1, 2, -1}));
  grid.SetCells(0, 2, "Srv01");
  EXPECT_EQ(grid.FindRow("SRV01"), 2);
  grid.SetCells(0, 2, "FS01");
  EXPECT_EQ(Found({"srv01", "fs01"}), (std::vector<int>{4, 2}));

  // Rows below move up with their codes; the spare row's cells hold two blanks, never found.
  grid.SetCode(5, 4, Code("YN"));
  grid.SetCode(5, 5, Code("NY"));
  grid.SetSelection({1, 3, 3, 4});
  grid.RemoveRows(2, 3);
  ASSERT_EQ(grid.RowCount(), 4);
  EXPECT_EQ(Found({"srv01", "fs01", "  "}), (std::vector<int>{2, -1, -1}));
  EXPECT_EQ(grid.Cells(5, 1) + grid.Cells(5, 2), "N YN");
  for (int col = 0; col < grid.ColCount(); ++col) EXPECT_EQ(grid.Cells(col, 3), "  ") << col;
  EXPECT_TRUE(grid.Selection().Top >= 1 && grid.Selection().Bottom <= 3);
  // The spare row is never removed: a range of only it removes nothing.
  grid.RemoveRows(3, 6);
  EXPECT_EQ(grid.RowCount(), 4);
  grid.RemoveRows(2, 8);
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Cells(0, 1), "WS01");
  grid.Reset();
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.FindRow("ws01"), -1);
}

TEST_F(Grid, BlockAndRowChangesSendOneNoticeAndSkipTheSpareRow) {
  QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
  EXPECT_TRUE(grid.ChangeBlock({4, 2, 6, 4}, [](const TCellCode& c) { return WithMark(c, 'N'); }));
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes[0][0].toModelIndex(), model.index(1, 3));
  EXPECT_EQ(changes[0][1].toModelIndex(), model.index(2, 5));
  int marked = 0;
  for (int row = 1; row < grid.RowCount(); ++row)
    for (int col = 1; col < grid.ColCount(); ++col) marked += grid.Cells(col, row) == "NN";
  EXPECT_EQ(marked, 6);
  EXPECT_EQ(grid.Cells(4, 4), "");
  // Writing what is there, or only to the spare row, changes nothing and says so.
  changes.clear();
  EXPECT_FALSE(grid.ChangeBlock({4, 1, 6, 3}, [](const TCellCode& code) { return code; }));
  EXPECT_EQ(changes.count(), 0);
  EXPECT_FALSE(grid.ChangeBlock({1, 4, 27, 4}, [](const TCellCode&) { return Code("NY"); }));
  // A whole row in one notice; the spare row never asks for an image.
  TRowCodes codes;
  codes.fill(Code("Y "));
  model.SetRowCodes(0, codes);
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes[0][1].toModelIndex(), model.index(0, PrivilegeCount - 1));
  EXPECT_EQ(model.data(model.index(0, 26), TRightsGridModel::StateImageRole).toInt(), 3);
  grid.SetCode(1, 4, Code("NY"));
  EXPECT_EQ(model.data(model.index(3, 0), TRightsGridModel::StateImageRole).toInt(), -1);
}

TEST_F(Grid, CellsDrawTheirStateImagesCentred) {
  const char* codes[] = {"NY", "YN", "EY", "YY", "N "};  // images 0, 1, 2, 3, none
  for (int i = 0; i < 5; ++i) grid.SetCode(2 + i, 1, Code(codes[i]));
  grid.SetSelection({1, 3, 1, 3});  // away from the cells looked at
  const QImage shot = grid.viewport()->grab().toImage();
  // What a cell shows, and what it should: the image centred on the cell's colour.
  auto shown = [&](int col, int row) {
    const QRect cell = grid.CellRect(col, row);
    return shot.copy(QRect(cell.topLeft() * shot.devicePixelRatio(), cell.size()))
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  };
  auto expected = [&](int image) {
    QImage picture(grid.CellRect(2, 1).size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(grid.palette().color(QPalette::Active, QPalette::Base));
    QPainter painter(&picture);
    if (image >= 0)
      painter.drawPixmap(2, 0, tavrin::StateImage(image));  // (20 - 16) / 2, (17 - 16) / 2
    // A grant staged on an unreadable row shows beside the error sign.
    if (image == 2)
      painter.drawPixmap(QRect(picture.width() - 11, picture.height() - 11, 10, 10),
                         tavrin::StateImage(0));
    return picture;
  };
  for (int i = 0; i < 5; ++i) EXPECT_EQ(shown(2 + i, 1), expected(i < 4 ? i : -1)) << i;
}

TEST_F(Grid, MouseSelectsOnCellsOnlyAndDoubleClicksAnywhere) {
  QSignalSpy clicks(&grid, &TRightsGrid::Click);
  QSignalSpy doubles(&grid, &TRightsGrid::DblClick);
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, Centre(3, 2));
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_EQ(grid.Selection(), (TGridRect{3, 2, 3, 2}));
  QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, Centre(2, 1));
  QTest::mouseMove(grid.viewport(), Centre(4, 3));
  EXPECT_EQ(clicks.count(), 1);
  QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, Centre(4, 3));
  EXPECT_EQ(clicks.count(), 2);
  EXPECT_EQ(grid.Selection(), (TGridRect{2, 1, 4, 3}));
  // Off the cells a click selects nothing; a left double-click acts on the selection.
  const int below = grid.viewport()->height() - 3;
  const std::pair<QWidget*, QPoint> elsewhere[] = {
      {grid.viewport(), QPoint(Centre(2, 4).x(), below)},
      {grid.verticalHeader()->viewport(), QPoint(10, Centre(1, 2).y())},
      {grid.verticalHeader()->viewport(), QPoint(10, below)},
      {grid.horizontalHeader()->viewport(), QPoint(Centre(5, 1).x(), 9)}};
  for (const auto& [widget, at] : elsewhere) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::RightButton, {}, at);
  }
  EXPECT_EQ(grid.Selection(), (TGridRect{2, 1, 4, 3}));
  EXPECT_EQ(clicks.count(), 2);
  EXPECT_EQ(doubles.count(), 4);
  // On a cell the press makes it the selection first.
  QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, Centre(7, 2));
  EXPECT_EQ(doubles.count(), 5);
  EXPECT_EQ(grid.Selection(), (TGridRect{7, 2, 7, 2}));
}

}  // namespace
