#include "pickers/controls/Velmar_UsersComboBox.h"

#include <QStandardItemModel>
#include <system_error>

#include "app/UiHandOver.h"
#include "pickers/controls/Velmar_SidResBitmap.h"

TvmUsersComboBox::TvmUsersComboBox(QWidget* parent) : TvmCustomComboBox(parent) {
  ComputeHeights();
  fillNews_ = new TUiHandOver([this] { TakeMailbox(); }, this);
}

// A fill under way is cancelled: its result is never delivered here. Its
// thread is given a moment to end (it stops before its next remote call), so
// that a window closed during a fill does not leave it running as the
// program ends; the window never waits longer than that.
TvmUsersComboBox::~TvmUsersComboBox() {
  SetDestroying();
  if (fill_ != nullptr) {
    fill_->Cancel();
    fill_->WaitEnded(FillLingerMilliseconds);
  }
}

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
  if (!Filling()) RefreshItems(-1);
}

void TvmUsersComboBox::Loaded() {
  TvmCustomComboBox::Loaded();
  UpdateList();
}

void TvmUsersComboBox::UpdateList() {
  if (parentWidget() == nullptr || Destroying() || Loading()) return;
  if (!Filling()) selectedBefore_ = currentIndex();
  fill_.reset();
  list_.Clear();
  const unsigned generation = ++generation_;
  try {
    // The result comes on the fill's thread, which never calls back once
    // the fill is cancelled (as the destructor does); it is shown from the
    // event loop, and a control destroyed meanwhile takes its notice with it.
    fill_ = std::make_unique<TvmUserListFill>(
        list_, [this, generation](std::unique_ptr<TvmUserList> filled) {
          {
            const std::lock_guard<std::mutex> hold(mailboxLock_);
            mailbox_ = std::move(filled);
            mailboxGeneration_ = generation;
          }
          fillNews_->Notify();
        });
  } catch (const std::system_error&) {
    // No thread to be had: the fill runs here.
    list_.Fill();
    TakeFill(generation, nullptr);
    return;
  }
  const QSignalBlocker quiet(this);
  clear();
  addItem(QString::fromLatin1(FillingText()));
  if (auto* items = qobject_cast<QStandardItemModel*>(model()))
    items->item(0)->setFlags(Qt::NoItemFlags);
  setCurrentIndex(0);
}

void TvmUsersComboBox::TakeMailbox() {
  std::unique_ptr<TvmUserList> filled;
  unsigned generation = 0;
  {
    const std::lock_guard<std::mutex> hold(mailboxLock_);
    filled = std::move(mailbox_);
    generation = mailboxGeneration_;
  }
  if (filled != nullptr) TakeFill(generation, filled.get());
}

void TvmUsersComboBox::TakeFill(unsigned generation, TvmUserList* filled) {
  if (generation != generation_ || Destroying()) return;
  fill_.reset();
  if (filled != nullptr) list_.TakeFill(*filled);
  QStringList texts;
  for (int i = 0; i < list_.Count(); ++i) texts.push_back(QString::fromLocal8Bit(GetItemText(i)));
  {
    const QSignalBlocker quiet(this);
    clear();
    addItems(texts);
  }
  // The position selected before the fill, restored by number as a refill
  // always has; no click follows.
  setCurrentIndex(selectedBefore_ < count() ? selectedBefore_ : -1);
  emit Filled();
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
