// The account picker: the accounts of one computer or domain (well-known
// accounts, users, local groups, global groups), each with the image of its
// kind and its name, optionally preceded by its domain.
#pragma once

#include "pickers/Velmar_ComboBox.h"
#include "pickers/Velmar_UsersComboBoxList.h"

class TvmUsersComboBox : public TvmCustomComboBox {
  Q_OBJECT
 public:
  explicit TvmUsersComboBox(QWidget* parent = nullptr);
  ~TvmUsersComboBox() override;

  // Each write fills the list again (the same value too).
  const std::string& Domain() const { return list_.Domain(); }
  void SetDomain(const std::string& value);
  const std::string& Server() const { return list_.Server(); }
  void SetServer(const std::string& value);
  TvmSidTypes Filter() const { return list_.Filter(); }
  void SetFilter(TvmSidTypes value);
  // A change rebuilds the shown texts only; the entries and the selected
  // position stay.
  bool ShowFullName() const { return list_.ShowFullName(); }
  void SetShowFullName(bool value);

  // Fills the list now (not while loading, without a parent window or
  // while the control is destroyed).
  void UpdateList();
  void Loaded() override;

  // The SID of the selected entry (owned by the entry, valid until the
  // next fill), or none when nothing is selected.
  PSID SelectedSid() const;
  const TvmUserInfo* UserInfo(int index) const { return list_.UserInfo(index); }
  const std::vector<std::string>& Errors() const { return list_.Errors(); }
  const TvmUserList& List() const { return list_; }

 protected:
  int GetItemCount() const override;
  int GetImageIndex(int position) const override;
  std::string GetItemText(int position) const override;
  int GetImageWidth() const override { return 24; }
  int GetImageHeight() const override { return 22; }
  void DrawImage(QPainter* painter, const QRect& cell, int position) override;
  void ParentWindowChanged() override { UpdateList(); }

 private:
  TvmUserList list_;
};
