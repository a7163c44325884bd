// The image combo box both pickers are built on: a drop-down list (opening
// below the control, as on Windows) that cannot be typed into and draws its
// items itself, each with an image cell
// at its leading edge and the item's text after it. A subclass supplies the
// items (count, text, image) through virtual operations and asks the control
// to rebuild its shown texts; an attached image list replaces the
// subclass's own image drawing.
#pragma once

#include <QComboBox>
#include <QImage>
#include <QPointer>
#include <QStyle>
#include <functional>
#include <string>
#include <vector>

// A list of images of one size, drawn by number.
class TvmImageList : public QObject {
  Q_OBJECT
 public:
  TvmImageList(int width, int height, QObject* parent = nullptr);
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Count() const { return static_cast<int>(images_.size()); }
  void Add(const QImage& image) { images_.push_back(image); }
  // Draws image `index` with its top-left corner at (x, y); a disabled
  // image is drawn faded. A number outside the list draws nothing.
  void Draw(QPainter* painter, int x, int y, int index, bool enabled) const;

 private:
  int width_;
  int height_;
  std::vector<QImage> images_;
};

class TvmCustomComboBox : public QComboBox {
  Q_OBJECT
 public:
  // Draws the text part of an item in place of the control's own drawing.
  using DrawItemEvent = std::function<void(TvmCustomComboBox* control, QPainter* painter,
                                           int position, const QRect& rect, QStyle::State state)>;

  explicit TvmCustomComboBox(QWidget* parent = nullptr);
  ~TvmCustomComboBox() override;

  // The attached image list (not owned); none: the subclass draws.
  TvmImageList* Images() const { return images_; }
  void SetImages(TvmImageList* value);

  // The fixed height of every item, and the text height of the font.
  int ItemHeight() const { return itemHeight_; }
  int TextHeight() const { return textHeight_; }

  const DrawItemEvent& OnDrawItem() const { return onDrawItem_; }
  void SetOnDrawItem(DrawItemEvent value) { onDrawItem_ = std::move(value); }

  // Rebuilds the shown text of one item, or of all for -1. The selected
  // position is kept by number; no click (activated) follows.
  void RefreshItems(int position);

  // Ends the loading state: the form has been built and the subclass may
  // fill its list. Until then, and without a parent window, nothing fills.
  virtual void Loaded();
  bool Loading() const { return loading_; }

  // The draw-item request: the item rectangle is narrowed by the image
  // width at its leading edge, the canvas prepared (highlight colours for a
  // selected item), the item drawn and the focus rectangle added.
  void DrawItemRequest(QPainter* painter, int position, QRect rect, QStyle::State state);
  // The image cell just outside the leading edge of a (narrowed) item
  // rectangle, and where the item's text starts (its top-left corner).
  QRect ImageCell(const QRect& rect) const;
  QPoint TextOrigin(const QRect& rect) const;
  // The image width in use: the image list's, else the subclass's.
  int ImageWidth() const;

 protected:
  virtual bool GetItemEnabled(int position) const;
  virtual int GetItemCount() const;
  virtual int GetImageIndex(int position) const;
  virtual std::string GetItemText(int position) const;
  virtual int GetImageWidth() const;
  virtual int GetImageHeight() const;
  virtual void DrawImage(QPainter* painter, const QRect& cell, int position);
  // Draws one item into the narrowed rectangle: the image cell, then the
  // text (or OnDrawItem).
  virtual void DrawItem(QPainter* painter, int position, const QRect& rect, QStyle::State state);
  // The control was given a (new) parent window.
  virtual void ParentWindowChanged() {}

  // Recomputes the heights (font or images changed). Subclasses whose
  // image height differs from the base's call it from their constructor.
  void ComputeHeights();
  // Set by the destructors: nothing is rebuilt or filled from then on.
  void SetDestroying() { destroying_ = true; }
  bool Destroying() const { return destroying_; }

  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QPointer<TvmImageList> images_;
  QMetaObject::Connection imagesGone_;
  int itemHeight_ = 0;
  int textHeight_ = 0;
  DrawItemEvent onDrawItem_;
  bool loading_ = true;
  bool destroying_ = false;
};
