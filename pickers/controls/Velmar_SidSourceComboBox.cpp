#include "pickers/controls/Velmar_SidSourceComboBox.h"

#include "pickers/controls/Velmar_SidResBitmap.h"

TvmSidSourceComboBox::TvmSidSourceComboBox(QWidget* parent) : TvmCustomComboBox(parent) {
  // The images are loaded with the first picker.
  PickerBitmap("SID_SOURCE_COMPUTER");
  ComputeHeights();
}

TvmSidSourceComboBox::~TvmSidSourceComboBox() { SetDestroying(); }

void TvmSidSourceComboBox::Loaded() {
  TvmCustomComboBox::Loaded();
  UpdateList();
}

void TvmSidSourceComboBox::UpdateList() {
  if (parentWidget() == nullptr || Destroying() || Loading()) return;
  list_.Fill();
  RefreshItems(-1);
}

int TvmSidSourceComboBox::GetImageIndex(int position) const {
  const TvmSidSource* source = list_.Sources(position);
  return source != nullptr ? source->Kind() : -1;
}

std::string TvmSidSourceComboBox::GetItemText(int position) const {
  const TvmSidSource* source = list_.Sources(position);
  return source != nullptr ? source->Caption() : std::string();
}

void TvmSidSourceComboBox::DrawImage(QPainter* painter, const QRect& cell, int position) {
  const TvmSidSource* source = list_.Sources(position);
  if (source == nullptr) return;
  const char* name = source->Kind() == Velmar_SidSourceComboBox::kindComputer
                         ? "SID_SOURCE_COMPUTER"
                     : source->Kind() == Velmar_SidSourceComboBox::kindDomain ? "SID_SOURCE_DOMAIN"
                                                                              : nullptr;
  if (const QImage* bitmap = PickerBitmap(name)) DrawCentredBitmap(painter, cell, *bitmap);
}
