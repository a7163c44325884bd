// The source picker: this computer, then every domain whose controller
// answers; each item shows a computer or domain image and the name.
#pragma once

#include "pickers/Velmar_SidSourceComboBoxList.h"
#include "pickers/controls/Velmar_ComboBox.h"

class TvmSidSourceComboBox : public TvmCustomComboBox {
  Q_OBJECT
 public:
  using TvmSidSource = Velmar_SidSourceComboBox::TvmSidSource;

  explicit TvmSidSourceComboBox(QWidget* parent = nullptr);
  ~TvmSidSourceComboBox() override;

  void Loaded() override;

  // The source at a position; none outside the list.
  const TvmSidSource* Sources(int index) const { return list_.Sources(index); }
  // The failure texts of the last fill (a network browser that does not
  // answer, for instance).
  const std::vector<std::string>& Errors() const { return list_.Errors(); }

 protected:
  int GetItemCount() const override { return list_.Count(); }
  int GetImageIndex(int position) const override;
  std::string GetItemText(int position) const override;
  int GetImageWidth() const override { return 24; }
  int GetImageHeight() const override { return 22; }
  void DrawImage(QPainter* painter, const QRect& cell, int position) override;
  void ParentWindowChanged() override { UpdateList(); }

 private:
  // Fills the list (not while loading, without a parent window or while
  // the control is destroyed) and rebuilds the shown items.
  void UpdateList();

  Velmar_SidSourceComboBox::TvmSidSourceList list_;
};
