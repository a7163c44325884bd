#include "pickers/Velmar_UsersComboBox.h"

#include "pickers/Velmar_SidResBitmap.h"

TvmUsersComboBox::TvmUsersComboBox(QWidget* parent) : TvmCustomComboBox(parent) {
  ComputeHeights();
}

TvmUsersComboBox::~TvmUsersComboBox() { SetDestroying(); }

void TvmUsersComboBox::SetDomain(const std::string& value) {
  list_.SetDomain(value);
  UpdateList();
}

void TvmUsersComboBox::SetServer(const std::string& value) {
  list_.SetServer(value);
  UpdateList();
}

void TvmUsersComboBox::SetFilter(TvmSidTypes value) {
  list_.SetFilter(value);
  UpdateList();
}

void TvmUsersComboBox::SetShowFullName(bool value) {
  if (value == list_.ShowFullName()) return;
  list_.SetShowFullName(value);
  RefreshItems(-1);
}

void TvmUsersComboBox::Loaded() {
  TvmCustomComboBox::Loaded();
  UpdateList();
}

void TvmUsersComboBox::UpdateList() {
  if (parentWidget() == nullptr || Destroying() || Loading()) return;
  list_.Fill();
  RefreshItems(-1);
}

PSID TvmUsersComboBox::SelectedSid() const {
  const TvmUserInfo* entry = list_.UserInfo(currentIndex());
  return entry != nullptr ? entry->Sid() : nullptr;
}

int TvmUsersComboBox::GetItemCount() const { return list_.Count(); }

int TvmUsersComboBox::GetImageIndex(int position) const { return list_.ImageIndex(position); }

std::string TvmUsersComboBox::GetItemText(int position) const { return list_.ItemText(position); }

void TvmUsersComboBox::DrawImage(QPainter* painter, const QRect& cell, int position) {
  const TvmUserInfo* entry = list_.UserInfo(position);
  if (entry == nullptr) return;
  if (const QImage* bitmap = GetSidBitmap(entry->WellKnown(), entry->SidType()))
    DrawCentredBitmap(painter, cell, *bitmap);
}
