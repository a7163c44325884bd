// The main window's desktop conventions: the shortcuts of its commands and
// Computer > Exit, a width that shows the whole grid, and what it remembers
// between runs.
#include <QAction>
#include <QMenu>
#include <QScreen>
#include <QSet>
#include <algorithm>
#include <utility>

#include "app/RightsGrid.h"
#include "app/WindowSettings.h"
#include "app/fmTavrinMain.h"
#include "platform/ComputerNames.h"

namespace {

// The grid's margins in the window as placed: 8 pixels left, 9 right.
constexpr int kGridMargins = 17;

const QString kGeometry = QStringLiteral("window/geometry");
const QString kSource = QStringLiteral("accounts/source");
const QString kComputers = QStringLiteral("computers/names");

}  // namespace

void TTavrinForm::CreateDesktopCommands() {
  aRefresh->setShortcut(QKeySequence(Qt::Key_F5));
  aContents->setShortcut(QKeySequence(Qt::Key_F1));
  aCommit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  aExit = new QAction(QStringLiteral("E&xit"), this);
  aExit->setObjectName(QStringLiteral("aExit"));
  aExit->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Q), QKeySequence(Qt::ALT | Qt::Key_F4)});
  connect(aExit, &QAction::triggered, this, &QWidget::close);
  MI_Computer->addSeparator();
  MI_Computer->addAction(aExit);
  // The shortcuts work wherever the focus is in the window; the menus show them.
  for (QAction* action : {aRefresh, aContents, aCommit, aExit}) {
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
  }
  connect(GrRights, &TRightsGrid::NameColumnResized, this, &TTavrinForm::FitGridWidth);
}

void TTavrinForm::FitGridWidth() {
  if (geometryRestored_ || isMaximized() || isFullScreen()) return;
  const int wanted = GrRights->FullWidth() + kGridMargins;
  if (wanted <= width()) return;
  int room = wanted;
  if (const QScreen* shownOn = screen())
    room = shownOn->availableGeometry().width() - (frameGeometry().width() - width());
  resize(std::max(width(), std::min(wanted, room)), height());
}

int TTavrinForm::RememberedSource() const {
  const QString source = tavrin::OpenWindowSettings()->value(kSource).toString();
  const int found = source.isEmpty() ? -1 : CBxSidSource->findText(source);
  return std::max(found, 0);
}

void TTavrinForm::RestoreSettings() {
  const auto settings = tavrin::OpenWindowSettings();
  // A list edited by hand keeps only the names a list file would accept.
  for (const QString& name : settings->value(kComputers).toStringList()) {
    const std::string text = name.toLocal8Bit().toStdString();
    if (!name.isEmpty() && tavrin::ComputerNameProblem(text).empty()) remembered_ << name;
  }
  for (const QString& name : remembered_)
    if (GrRights->FindRow(name) < 0) GrRights->AppendRow(name);
  geometryRestored_ = restoreGeometry(settings->value(kGeometry).toByteArray());
  FitGridWidth();
}

void TTavrinForm::SaveSettings() const {
  const auto settings = tavrin::OpenWindowSettings();
  settings->setValue(kGeometry, saveGeometry());
  settings->setValue(kSource, CBxSidSource->currentText());
  QStringList names;
  for (int row = 1; row <= GrRights->RowCount() - 2; ++row) names << GrRights->Cells(0, row);
  settings->setValue(kComputers, names);
}

QStringList TTavrinForm::TakeRemembered(const QStringList& found) {
  QSet<QString> known;
  for (const QString& name : found) known.insert(name.toUpper());
  QStringList more;
  for (const QString& name : std::exchange(remembered_, {}))
    if (!known.contains(name.toUpper())) {
      known.insert(name.toUpper());
      more << name;
    }
  return more;
}
