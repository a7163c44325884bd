// The image combo box (offscreen): item heights, image cell, text, refresh.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QPainter>
#include <QSignalSpy>
#include <memory>

#include "pickers/controls/Velmar_ComboBox.h"

namespace {

// Items and images of chosen sizes; records the image cells it was asked to draw.
class TestBox : public TvmCustomComboBox {
 public:
  TestBox(int fontPixels, std::vector<std::string> items, int imageWidth = 24, int imageHeight = 22)
      : texts(std::move(items)), imageWidth_(imageWidth), imageHeight_(imageHeight) {
    ComputeHeights();
    SetFontPixels(fontPixels);
    RefreshItems(-1);
  }
  void SetFontPixels(int pixels) {
    QFont f;
    f.setPixelSize(pixels);
    setFont(f);
  }
  std::vector<std::string> texts;
  std::vector<QRect> cells;

 protected:
  int GetItemCount() const override { return static_cast<int>(texts.size()); }
  std::string GetItemText(int position) const override { return texts.at(position); }
  int GetImageWidth() const override { return imageWidth_; }
  int GetImageHeight() const override { return imageHeight_; }
  int GetImageIndex(int position) const override { return position; }
  void DrawImage(QPainter*, const QRect& cell, int) override { cells.push_back(cell); }

 private:
  int imageWidth_, imageHeight_;
};

TEST(ComboBox, ItemHeightIsTheLargerOfTextAndImageAndRefreshTouchesChangedTexts) {
  TestBox box(8, {"one", "two"});
  EXPECT_EQ(box.ItemHeight(), 22);
  box.SetFontPixels(40);  // a font change recomputes the heights
  EXPECT_EQ(box.TextHeight(), QFontMetrics(box.font()).size(0, "Wg").height());
  EXPECT_GT(box.TextHeight(), 22);
  EXPECT_EQ(box.ItemHeight(), box.TextHeight());
  EXPECT_EQ(box.view()->sizeHintForRow(0), box.ItemHeight());  // the drop-down asks the control

  // An attached image list decides the image size; when it goes, the control recomputes.
  box.SetFontPixels(8);
  auto* images = new TvmImageList(16, 30);
  box.SetImages(images);
  EXPECT_EQ(box.ItemHeight(), 30);
  EXPECT_EQ(box.ImageWidth(), 16);
  delete images;
  EXPECT_EQ(box.Images(), nullptr);
  EXPECT_EQ(box.ItemHeight(), 22);

  // A refresh of one item touches it only when its text changed, and never clicks.
  QSignalSpy clicks(&box, &QComboBox::activated);
  QSignalSpy changes(box.model(), &QAbstractItemModel::dataChanged);
  box.RefreshItems(1);
  EXPECT_EQ(changes.count(), 0);
  box.texts[1] = "z";
  box.RefreshItems(1);
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(box.itemText(1), "z");
  EXPECT_EQ(clicks.count(), 0);
}

TEST(ComboBox, ImageCellLiesAtTheLeadingEdge) {
  TestBox box(10, {"alpha"});
  QRect textRect;
  box.SetOnDrawItem([&](TvmCustomComboBox*, QPainter*, int, const QRect& rect, QStyle::State) {
    textRect = rect;
  });
  QImage canvas(300, 60, QImage::Format_ARGB32);
  QPainter painter(&canvas);
  auto draw = [&](int position) {
    box.DrawItemRequest(&painter, position, QRect(10, 5, 200, 22), QStyle::State_None);
  };
  draw(0);
  EXPECT_EQ(textRect, QRect(34, 5, 176, 22));
  EXPECT_EQ(box.cells, std::vector<QRect>{QRect(10, 5, 24, 22)});
  EXPECT_EQ(box.TextOrigin(textRect), QPoint(36, 5 + (box.ItemHeight() - box.TextHeight()) / 2));
  // Right to left: the text keeps the left part, the cell is on the right.
  box.setLayoutDirection(Qt::RightToLeft);
  draw(0);
  EXPECT_EQ(textRect, QRect(10, 5, 176, 22));
  EXPECT_EQ(box.cells.back(), QRect(186, 5, 24, 22));
  // A negative position only fills the rectangle: no image, no text event.
  textRect = QRect();
  draw(-1);
  EXPECT_TRUE(textRect.isNull());
  EXPECT_EQ(box.cells.size(), 2u);

  // With an image list, the list draws at the cell's corner; the subclass is not asked.
  box.setLayoutDirection(Qt::LeftToRight);
  TvmImageList images(24, 22);
  QImage red(24, 22, QImage::Format_ARGB32);
  red.fill(Qt::red);
  images.Add(red);
  box.SetImages(&images);
  canvas.fill(Qt::white);
  draw(0);
  EXPECT_EQ(canvas.pixelColor(10, 5), QColor(Qt::red));
  EXPECT_EQ(canvas.pixelColor(33, 26), QColor(Qt::red));
  EXPECT_EQ(canvas.pixelColor(9, 5), QColor(Qt::white));
  EXPECT_EQ(box.cells.size(), 2u);
}

TEST(ComboBox, TextIsDrawnTwoPixelsRightOfTheEdgeWithoutImages) {
  TestBox box(14, {"|"}, 0, 0);
  EXPECT_EQ(box.ItemHeight(), box.TextHeight());
  QPalette palette = box.palette();
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::Text, Qt::black);
  box.setPalette(palette);
  // The base colour, the text two pixels in on its ascent's line; an image cell of no width.
  const QRect rect(20, 4, 60, box.ItemHeight());
  QImage canvas(100, 40, QImage::Format_ARGB32), expected = canvas;
  canvas.fill(Qt::gray);
  expected.fill(Qt::gray);
  box.DrawItemRequest(std::make_unique<QPainter>(&canvas).get(), 0, rect, QStyle::State_None);
  {
    QPainter painter(&expected);
    painter.fillRect(rect, Qt::white);
    painter.setFont(box.font());
    painter.drawText(QPoint(22, 4 + QFontMetrics(box.font()).ascent()), "|");
  }
  EXPECT_EQ(canvas, expected);
  EXPECT_EQ(box.cells.at(0).width(), 0);
}

}  // namespace
