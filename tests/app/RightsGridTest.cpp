// The rights grid on its own: cell codes and their images, the staging
// tables, the rows of computers, the drawing, and the events the grid
// raises for mouse and keyboard.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "app/ImageLists.h"
#include "app/RightsGrid.h"

namespace {

TCellCode Code(const char* text) { return TCellCode::FromText(text); }

// ------------------------------------------------------------ code tables

TEST(CodeTables, StateImageFollowsTheCode) {
  const struct {
    const char* code;
    int image;
  } cases[] = {{"NY", 0},  {"YN", 1},                                                // staged
               {"E ", 2},  {"EY", 2},  {"EN", 2},  {"EE", 2}, {"NE", 2}, {"YE", 2},  // 'E' anywhere
               {"Y ", 3},  {"YY", 3},  // other 'Y' codes
               {"N ", -1}, {"NN", -1}, {"  ", -1}, {"", -1},  {"Y", -1}, {"E", -1}};  // no image
  for (const auto& c : cases) EXPECT_EQ(StateImageIndex(Code(c.code)), c.image) << c.code;
}

TEST(CodeTables, DoubleClickFlipsReadableCellsAndCyclesOthers) {
  const char* cases[] = {"N Y", "NEY", "NY ", "NN ", "Y N", "YYN", "YEN", "YN ",
                         "E Y", "EEY", "EYN", "EN ", "  Y", " YN", " N "};  // state, before, after
  for (const char* c : cases)
    EXPECT_EQ(MarkAfterDoubleClick(c[0], c[1]), c[2])
        << "state '" << c[0] << "' mark '" << c[1] << "'";
}

TEST(CodeTables, MarkReplacesTheSecondCharacterAndPadsShortCodes) {
  EXPECT_EQ(WithMark(Code("Y "), 'N').Text(), "YN");
  EXPECT_EQ(WithMark(Code("EE"), ' ').Text(), "E ");
  EXPECT_EQ(WithMark(Code(""), 'Y').Text(), " Y");
  EXPECT_EQ(WithMark(Code("N"), 'Y').Text(), " Y");
  EXPECT_EQ(Code("NYX").Text(), "NY");
}

// ------------------------------------------------------------------ model

class GridModel : public ::testing::Test {
 protected:
  void AddRows(std::initializer_list<const char*> names) {
    for (const char* name : names) model.AppendRow(name);
  }
  TRightsGridModel model;
  QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(GridModel, RowsAndNamesFoundIgnoringCaseFirstRowWinning) {
  EXPECT_EQ(model.rowCount(), 1);
  EXPECT_EQ(model.AppendRow("WS01"), 0);
  EXPECT_EQ(model.AppendRow("Srv01"), 1);
  EXPECT_EQ(model.AppendRow("srv01"), 2);  // a second row of the same name in other case
  EXPECT_EQ(model.rowCount(), 4);
  EXPECT_TRUE(model.IsSpareRow(3));
  EXPECT_EQ(model.headerData(1, Qt::Vertical).toString(), "Srv01");
  EXPECT_EQ(model.headerData(3, Qt::Vertical).toString(), "");
  model.SetHeaderText(0, "CT");
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "CT");
  EXPECT_EQ(model.FindRow("ws01"), 0);
  EXPECT_EQ(model.FindRow("SRV01"), 1);
  EXPECT_EQ(model.FindRow("GHOST"), -1);

  // Renaming keeps the index right, in the same case and in another.
  model.SetName(1, "SRV01");
  EXPECT_EQ(model.FindRow("srv01"), 1);
  model.SetName(1, "FS01");
  EXPECT_EQ(model.FindRow("srv01"), 2);
  EXPECT_EQ(model.FindRow("fs01"), 1);

  // Removing moves the rows below up, and the index follows.
  model.RemoveRows(0, 0);
  EXPECT_EQ(model.FindRow("fs01"), 0);
  EXPECT_EQ(model.FindRow("SRV01"), 1);
  EXPECT_EQ(model.FindRow("ws01"), -1);
  // The spare row, now named with two blanks, is never found.
  EXPECT_EQ(model.Name(model.SpareRow()), "  ");
  EXPECT_EQ(model.FindRow("  "), -1);
}

TEST_F(GridModel, RemovingKeepsOrderStatesAndMarksAndBlanksTheSpareRow) {
  AddRows({"A", "B", "C", "D"});
  for (int row = 0; row < 4; ++row) model.SetCode(5, row, TCellCode::Of('Y', "YNE "[row]));
  model.SetCode(5, model.SpareRow(), Code("NY"));

  model.RemoveRows(1, 2);
  ASSERT_EQ(model.DataRowCount(), 2);
  EXPECT_EQ(model.Name(1), "D");
  EXPECT_EQ(model.Code(5, 0).Text(), "YY");
  EXPECT_EQ(model.Code(5, 1).Text(), "Y ");
  for (int col = 0; col < PrivilegeCount; ++col)
    EXPECT_EQ(model.Code(col, model.SpareRow()).Text(), "  ");

  // The spare row is never removed; a range of only it removes nothing.
  model.RemoveRows(2, 5);
  EXPECT_EQ(model.DataRowCount(), 2);
  model.RemoveRows(1, 7);
  EXPECT_EQ(model.DataRowCount(), 1);
  EXPECT_EQ(model.Name(0), "A");
}

TEST_F(GridModel, BlockAndRowChangesSendOneNoticeAndSkipTheSpareRow) {
  AddRows({"A", "B"});
  for (int row = 0; row < 2; ++row)
    for (int col = 0; col < PrivilegeCount; ++col) model.SetCode(col, row, Code("N "));
  QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);

  EXPECT_TRUE(model.ChangeBlock({3, 0, 5, 2}, [](const TCellCode& c) { return WithMark(c, 'N'); }));
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes[0][0].toModelIndex(), model.index(0, 3));
  EXPECT_EQ(changes[0][1].toModelIndex(), model.index(1, 5));
  int marked = 0;
  for (int row = 0; row < model.rowCount(); ++row)
    for (int col = 0; col < PrivilegeCount; ++col) marked += model.Code(col, row).Text() == "NN";
  EXPECT_EQ(marked, 6);
  EXPECT_EQ(model.Code(3, model.SpareRow()).Text(), "");

  // Writing what is there already changes nothing and says so; so does a
  // block of only the spare row.
  changes.clear();
  EXPECT_FALSE(model.ChangeBlock({3, 0, 5, 1}, [](const TCellCode& code) { return code; }));
  EXPECT_EQ(changes.count(), 0);
  EXPECT_FALSE(model.ChangeBlock({0, 2, 26, 2}, [](const TCellCode&) { return Code("NY"); }));

  // A whole row in one notice; the spare row never asks for an image.
  std::array<TCellCode, PrivilegeCount> codes;
  codes.fill(Code("Y "));
  model.SetRowCodes(0, codes);
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes[0][1].toModelIndex(), model.index(0, PrivilegeCount - 1));
  EXPECT_EQ(model.data(model.index(0, 26), TRightsGridModel::StateImageRole).toInt(), 3);
  model.SetCode(0, model.SpareRow(), Code("NY"));
  EXPECT_EQ(model.data(model.index(model.SpareRow(), 0), TRightsGridModel::StateImageRole).toInt(),
            -1);
  model.Clear();
  EXPECT_EQ(model.rowCount(), 1);
  EXPECT_EQ(model.FindRow("A"), -1);
}

// ------------------------------------------------------------------- view

class GridView : public ::testing::Test {
 protected:
  void SetUp() override {
    grid.resize(636, 245);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
  }
  // The grid with three computers: states "N " everywhere.
  void AddThreeRows() {
    for (const char* name : {"WS01", "SRV01", "DC01"}) {
      const int row = grid.AppendRow(name);
      for (int col = 1; col < grid.ColCount(); ++col) grid.SetCode(col, row, Code("N "));
    }
  }
  QPoint Centre(int col, int row) const { return grid.CellRect(col, row).center(); }

  TRightsGrid grid;
  QAbstractItemModelTester tester{grid.Model(),
                                  QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(GridView, RowsTakeTheSpareRowsPlaceAndTheSelectionStays) {
  EXPECT_EQ(grid.verticalHeader()->width(), 100);
  EXPECT_EQ(grid.horizontalHeader()->height(), 18);
  EXPECT_EQ(grid.RowHeights(1), 18);
  // The selection starts on the spare row's first cell, and stays there.
  EXPECT_EQ(grid.Selection(), (TGridRect{1, 1, 1, 1}));
  EXPECT_EQ(grid.AppendRow("WS01"), 1);
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Cells(0, 1), "WS01");
  EXPECT_EQ(grid.Selection(), (TGridRect{1, 1, 1, 1}));
  EXPECT_EQ(grid.FindRow("ws01"), 1);

  AddThreeRows();
  grid.SetSelection({1, 3, 3, 4});
  grid.RemoveRows(3, 4);
  EXPECT_EQ(grid.RowCount(), 4);
  EXPECT_EQ(grid.Cells(0, 2), "WS01");
  EXPECT_EQ(grid.Cells(0, 3), "  ");
  const TGridRect selection = grid.Selection();
  EXPECT_GE(selection.Top, 1);
  EXPECT_LE(selection.Bottom, grid.RowCount() - 1);
}

TEST_F(GridView, CellsDrawTheirStateImagesCentred) {
  AddThreeRows();
  const char* codes[] = {"NY", "YN", "EY", "YY", "N "};  // images 0, 1, 2, 3, none
  for (int i = 0; i < 5; ++i) grid.SetCode(2 + i, 1, Code(codes[i]));
  grid.SetCode(2, 4, Code("NY"));   // the spare row: never an image
  grid.SetSelection({1, 3, 1, 3});  // away from the cells looked at
  const QImage shot = grid.viewport()->grab().toImage();
  const QColor base = grid.palette().color(QPalette::Active, QPalette::Base);

  // What a cell of the given image shows: the image centred on the cell's colour.
  auto expected = [&](int col, int row, int image) {
    const QRect cell = grid.CellRect(col, row);
    QImage picture(cell.size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(base);
    QPainter painter(&picture);
    if (image >= 0)
      painter.drawPixmap((cell.width() - 16) / 2, (cell.height() - 16) / 2,
                         tavrin::StateImage(image));
    return picture;
  };
  auto shown = [&](int col, int row) {
    const QRect cell = grid.CellRect(col, row);
    return shot.copy(QRect(cell.topLeft() * shot.devicePixelRatio(), cell.size()))
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  };
  EXPECT_EQ(grid.CellRect(2, 1).size(), QSize(20, 17));  // 21 x 18 less the grid line
  for (int i = 0; i < 5; ++i) EXPECT_EQ(shown(2 + i, 1), expected(2 + i, 1, i < 4 ? i : -1)) << i;
  EXPECT_NE(shown(2, 4), expected(2, 4, 0));
}

TEST_F(GridView, MouseSelectsBlocksAndRaisesClickOnReleaseAndDblClick) {
  AddThreeRows();
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

  // Below the last row and on the fixed cells nothing is selected.
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                    QPoint(Centre(2, 4).x(), grid.viewport()->height() - 3));
  QTest::mouseClick(grid.horizontalHeader()->viewport(), Qt::LeftButton, {},
                    QPoint(Centre(5, 1).x(), 9));
  EXPECT_EQ(grid.Selection(), (TGridRect{2, 1, 4, 3}));
  EXPECT_EQ(clicks.count(), 2);

  QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, Centre(7, 2));
  EXPECT_EQ(doubles.count(), 1);
  EXPECT_EQ(grid.Selection(), (TGridRect{7, 2, 7, 2}));
}

TEST_F(GridView, ArrowsMoveTheSelectionAndRaiseClick) {
  AddThreeRows();
  grid.setFocus();
  QSignalSpy clicks(&grid, &TRightsGrid::Click);
  grid.SetSelection({2, 1, 2, 1});
  QTest::keyClick(&grid, Qt::Key_Right);
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_EQ(grid.Selection(), (TGridRect{3, 1, 3, 1}));
  QTest::keyClick(&grid, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(clicks.count(), 2);
  EXPECT_EQ(grid.Selection(), (TGridRect{3, 1, 3, 2}));
  // A key that cannot move the current cell, or that only stages, raises nothing.
  grid.SetSelection({2, 1, 2, 1});
  QTest::keyClick(&grid, Qt::Key_Up);
  QTest::keyClick(&grid, Qt::Key_Insert);
  EXPECT_EQ(clicks.count(), 2);
}

}  // namespace
