#include "pickers/controls/Velmar_UsersComboBox.h"

#include <QKeyEvent>
#include <QListView>
#include <QStandardItemModel>
#include <QTimer>
#include <algorithm>
#include <system_error>

#include "app/UiHandOver.h"
#include "pickers/controls/Velmar_SidResBitmap.h"

TvmUsersComboBox::TvmUsersComboBox(QWidget* parent) : TvmCustomComboBox(parent) {
  ComputeHeights();
  fillNews_ = new TUiHandOver([this] { TakeMailbox(); }, this);
  // Every line is as high as the next: ten thousand accounts lay out at once.
  if (auto* list = qobject_cast<QListView*>(view())) list->setUniformItemSizes(true);
  view()->installEventFilter(this);
  connect(this, &QComboBox::activated, this, [this] {
    if (!search_.isEmpty()) chosenInSearch_ = true;
  });
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
  EndSearch();
  list_.SetShowFullName(value);
  texts_.clear();
  for (int i = 0; i < list_.Count(); ++i)
    texts_.push_back(QString::fromLocal8Bit(list_.ItemText(i)));
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
  texts_.clear();
  names_.clear();
  search_.clear();
  shown_.clear();
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
  texts_.clear();
  names_.clear();
  search_.clear();
  shown_.clear();
  for (int i = 0; i < list_.Count(); ++i) {
    texts_.push_back(QString::fromLocal8Bit(list_.ItemText(i)));
    names_.push_back(QString::fromLocal8Bit(list_.UserInfo(i)->Name()));
  }
  {
    const QSignalBlocker quiet(this);
    clear();
    addItems(texts_);
  }
  // The position selected before the fill, restored by number as a refill
  // always has; no click follows.
  setCurrentIndex(selectedBefore_ < count() ? selectedBefore_ : -1);
  emit Filled();
}

PSID TvmUsersComboBox::SelectedSid() const {
  const TvmUserInfo* entry = UserInfo(currentIndex());
  return entry != nullptr ? entry->Sid() : nullptr;
}

// ------------------------------------------------------------------ search

int TvmUsersComboBox::EntryAt(int position) const {
  if (search_.isEmpty()) return position >= 0 && position < list_.Count() ? position : -1;
  // Position 0 is the line that says what is searched.
  return position >= 1 && position <= static_cast<int>(shown_.size()) ? shown_[position - 1] : -1;
}

void TvmUsersComboBox::SetSearchText(const QString& text) {
  if (Filling() || text == search_) return;
  if (text.isEmpty()) return EndSearch();
  if (search_.isEmpty()) {
    chosenBefore_ = EntryAt(currentIndex());
    chosenInSearch_ = false;
  }
  search_ = text;
  shown_.clear();
  // The names are matched, not the domains shown before some of them.
  for (int i = 0; i < names_.size(); ++i)
    if (names_[i].contains(text, Qt::CaseInsensitive)) shown_.push_back(i);
  ShowEntries(shown_.empty() ? -1 : shown_.front());
}

void TvmUsersComboBox::EndSearch(int chosen) {
  if (search_.isEmpty()) return;
  search_.clear();
  shown_.clear();
  ShowEntries(chosen >= 0 ? chosen : chosenBefore_);
}

void TvmUsersComboBox::ShowEntries(int entry) {
  QStringList texts;
  int current = -1;
  if (search_.isEmpty()) {
    texts = texts_;
    current = entry;
  } else {
    texts.reserve(static_cast<int>(shown_.size()) + 1);
    texts.push_back(QString::fromLocal8Bit(GetItemText(0)));
    for (int i : shown_) texts.push_back(texts_.value(i));
    const auto at = std::lower_bound(shown_.begin(), shown_.end(), entry);
    if (at != shown_.end() && *at == entry) current = static_cast<int>(at - shown_.begin()) + 1;
  }
  {
    const QSignalBlocker quiet(this);
    clear();
    addItems(texts);
    if (!search_.isEmpty())
      if (auto* items = qobject_cast<QStandardItemModel*>(model()))
        items->item(0)->setFlags(Qt::NoItemFlags);
    setCurrentIndex(current < count() ? current : -1);
  }
  if (view()->isVisible()) {
    view()->setCurrentIndex(model()->index(currentIndex(), 0));
    showPopup();  // as high as the lines it now holds
  }
  update();
}

bool TvmUsersComboBox::SearchKey(const QKeyEvent* event) {
  if (Filling()) return false;
  if (event->key() == Qt::Key_Backspace) {
    if (search_.isEmpty()) return false;
    SetSearchText(search_.chopped(1));
    return true;
  }
  const QString text = event->text();
  if (text.isEmpty() || (search_.isEmpty() && text == QLatin1String(" ")) ||
      (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
    return false;
  for (const QChar c : text)
    if (!c.isPrint()) return false;
  SetSearchText(search_ + text);
  return true;
}

void TvmUsersComboBox::keyPressEvent(QKeyEvent* event) {
  if (!SearchKey(event)) return TvmCustomComboBox::keyPressEvent(event);
  if (!search_.isEmpty() && !view()->isVisible()) showPopup();
}

bool TvmUsersComboBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view() && event->type() == QEvent::KeyPress &&
      SearchKey(static_cast<QKeyEvent*>(event)))
    return true;
  return TvmCustomComboBox::eventFilter(watched, event);
}

void TvmUsersComboBox::hidePopup() {
  TvmCustomComboBox::hidePopup();
  if (search_.isEmpty()) return;
  // An entry chosen in the list is made current after the list has closed:
  // the search ends once that is done.
  QTimer::singleShot(0, this,
                     [this] { EndSearch(chosenInSearch_ ? EntryAt(currentIndex()) : -1); });
}

// ------------------------------------------------------------------ items

int TvmUsersComboBox::GetItemCount() const {
  return search_.isEmpty() ? list_.Count() : static_cast<int>(shown_.size()) + 1;
}

int TvmUsersComboBox::GetImageIndex(int position) const {
  return list_.ImageIndex(EntryAt(position));
}

std::string TvmUsersComboBox::GetItemText(int position) const {
  if (!search_.isEmpty() && position == 0)
    return QStringLiteral("Search \"%1\": %2 found")
        .arg(search_)
        .arg(shown_.size())
        .toLocal8Bit()
        .toStdString();
  return list_.ItemText(EntryAt(position));
}

void TvmUsersComboBox::DrawImage(QPainter* painter, const QRect& cell, int position) {
  const TvmUserInfo* entry = list_.UserInfo(EntryAt(position));
  if (entry == nullptr) return;
  if (const QImage* bitmap = GetSidBitmap(entry->WellKnown(), entry->SidType()))
    DrawCentredBitmap(painter, cell, *bitmap);
}
