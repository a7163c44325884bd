// The account picker: the accounts of one computer or domain (well-known
// accounts, users, local groups, global groups), each with the image of its
// kind and its name, optionally preceded by its domain.
//
// The list can be searched: typing while the picker has the focus or its
// list is open shows only the accounts whose shown names contain the typed
// text, in any letter case, under a first line that says what is searched
// (Backspace takes a letter back). Choosing an entry ends the search with
// that entry chosen; closing the list otherwise ends it with the entry
// chosen before. Positions (currentIndex, UserInfo) count the lines shown.
//
// The list fills on a thread of its own: until it is complete the control
// shows "Filling..." as its only item, which cannot be chosen, and no SID is
// selected; then it shows the accounts, selects the position selected before
// the fill (by number) and signals Filled. A fill started while another runs
// replaces it; the older result is dropped.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "pickers/Velmar_UsersComboBoxList.h"
#include "pickers/controls/Velmar_ComboBox.h"

class TUiHandOver;

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

  // Starts filling the list (not while loading, without a parent window or
  // while the control is destroyed).
  void UpdateList();
  // Whether a fill is under way.
  bool Filling() const { return fill_ != nullptr; }
  // The text of the only item while a fill is under way.
  static const char* FillingText() { return "Filling..."; }
  // How long destroying the control waits at most for a fill's thread.
  static constexpr int FillLingerMilliseconds = 1000;
  void Loaded() override;

  // The SID of the selected entry (owned by the entry, valid until the
  // next fill), or none when nothing is selected.
  PSID SelectedSid() const;
  // The entry shown at a position; none for the search line or outside.
  const TvmUserInfo* UserInfo(int position) const { return list_.UserInfo(EntryAt(position)); }

  // The text searched for; empty: every account is shown. Setting it shows
  // the matches (not while filling); the first match becomes current
  // without a click, and the entry chosen before is kept for the end.
  const QString& SearchText() const { return search_; }
  void SetSearchText(const QString& text);
  // Ends a search: every account is shown again, with `chosen` (an entry of
  // the list) current, or the entry chosen before the search for -1.
  void EndSearch(int chosen = -1);
  // The list entry at a position of the control, or -1.
  int EntryAt(int position) const;
  // Closing the list ends a search (see above).
  void hidePopup() override;
  const std::vector<std::string>& Errors() const { return list_.Errors(); }
  const TvmUserList& List() const { return list_; }

 signals:
  // A fill has ended and its accounts are shown.
  void Filled();

 protected:
  int GetItemCount() const override;
  int GetImageIndex(int position) const override;
  std::string GetItemText(int position) const override;
  int GetImageWidth() const override { return 24; }
  int GetImageHeight() const override { return 22; }
  void DrawImage(QPainter* painter, const QRect& cell, int position) override;
  void ParentWindowChanged() override { UpdateList(); }
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Applies a key to the search; whether it was one of the search's keys.
  bool SearchKey(const QKeyEvent* event);
  // Shows the entries of the search (all without one) with `entry` current.
  void ShowEntries(int entry);
  // Takes what a fill's thread left in the mailbox.
  void TakeMailbox();

 private:
  // Shows the accounts of a fill that ended (none: list_ holds them already),
  // unless a later fill replaced it.
  void TakeFill(unsigned generation, TvmUserList* filled);

  TvmUserList list_;
  std::unique_ptr<TvmUserListFill> fill_;
  unsigned generation_ = 0;  // of the latest fill started
  int selectedBefore_ = -1;  // the position selected when the fills began
  // A fill's thread leaves its list here and asks the event loop to take it.
  TUiHandOver* fillNews_ = nullptr;  // brings the fill's notice to this thread
  std::mutex mailboxLock_;
  std::unique_ptr<TvmUserList> mailbox_;
  unsigned mailboxGeneration_ = 0;

  QStringList texts_;       // the shown text of every entry
  QStringList names_;       // the name of every entry, as searched
  QString search_;          // the text searched for
  std::vector<int> shown_;  // the entries that match it, in list order
  int chosenBefore_ = -1;   // the entry chosen when the search began
  bool chosenInSearch_ = false;
};
