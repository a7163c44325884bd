// The window's journal of changes on the simulated network: the journal
// file it is told to use, and the History window reading it back.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/RightsGrid.h"
#include "app/fmTavrinMain.h"
#include "passes/Journal.h"
#include "tests/support/FormAccess.h"
#include "tests/support/SimFixture.h"

namespace {

using tavrin::test::Child;

bool WaitFor(const std::function<bool()>& done) {  // 20 s at most
  for (int i = 0; i < 10000 && !done(); ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return done();
}

// Accepts the next file dialog with `path` as its file name, as typing it
// and pressing the dialog's button does; a dialog that has not come after
// five seconds fails the test and closes whatever is modal.
void AcceptFileDialog(const QString& path) {
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, path] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    auto* name = dialog ? dialog->findChild<QLineEdit*>() : nullptr;
    if (name == nullptr && ++*tries <= 250) return;
    timer->stop();
    timer->deleteLater();
    if (name == nullptr) {
      ADD_FAILURE() << "no file dialog";
      if (modal) modal->close();
      return;
    }
    name->setText(path);
    static_cast<QDialog*>(dialog)->accept();  // as the dialog's button does
  });
  timer->start(20);
}

// The computers of the journal's records with a right written, in order.
std::vector<std::string> Written(const QString& path) {
  std::vector<std::string> warnings, names;
  for (const TJournalRecord& record : TJournal(path.toStdString()).Read(warnings))
    if (!record.writes.empty()) names.push_back(record.computer);
  return names;
}

using Names = std::vector<std::string>;

class History : public tavrin::test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    std::remove(TJournal().Path().c_str());  // the test's own data folder
    form = std::make_unique<TTavrinForm>();
    ASSERT_TRUE(WaitIdle());
  }
  void TearDown() override {
    form.reset();
    SimTest::TearDown();
  }
  bool WaitIdle() {
    return WaitFor([this] {
      return !Child<QTimer>(*form, "Timer")->isActive() &&
             !Child<QTimer>(*form, "AccountRest")->isActive() && !form->PassRunning() &&
             !Child<TvmUsersComboBox>(*form, "CBxUsers")->Filling();
    });
  }
  TRightsGrid& Grid() { return *Child<TRightsGrid>(*form, "GrRights"); }
  // Grants the first right on a computer and commits it.
  void Commit(const char* computer) {
    TRightsGrid& grid = Grid();
    const int row = grid.FindRow(QString::fromUtf8(computer));
    ASSERT_GT(row, 0);
    grid.setFocus();
    grid.SetSelection({1, row, 1, row});
    QTest::keyClick(&grid, grid.Code(1, row).State() == 'Y' ? Qt::Key_Delete : Qt::Key_Insert);
    Child<QAction>(*form, "aCommit")->trigger();
    ASSERT_TRUE(WaitIdle());
  }
  std::unique_ptr<TTavrinForm> form;
  tavrin::test::TAnswerer answers{{{"CommitQuestion", "Commit"}, {"CommitSummary", "OK"}}};
};

// The journal file chosen in the window is the one commits go to, kept
// with the settings for the next run, until the default is chosen again.
TEST_F(History, CommitsGoToTheChosenJournalFile) {
  QTemporaryDir dir;
  const QString shared = dir.filePath("shared/journal.jsonl");
  ASSERT_TRUE(QDir().mkpath(dir.filePath("shared")));
  EXPECT_FALSE(Child<QAction>(*form, "aDefaultJournal")->isEnabled());
  AcceptFileDialog(shared);
  Child<QAction>(*form, "aJournalFile")->trigger();
  EXPECT_TRUE(Child<QAction>(*form, "aDefaultJournal")->isEnabled());
  Commit("WS01");
  const QString standard = QString::fromStdString(TJournal().Path());
  EXPECT_EQ(Written(shared), Names{"WS01"});
  EXPECT_EQ(Written(standard), Names{});

  // A new window remembers it; going back to the default sends the next
  // commit there.
  form = std::make_unique<TTavrinForm>();
  ASSERT_TRUE(WaitIdle());
  Commit("SRV01");
  EXPECT_EQ(Written(shared), (Names{"WS01", "SRV01"}));
  Child<QAction>(*form, "aDefaultJournal")->trigger();
  EXPECT_FALSE(Child<QAction>(*form, "aDefaultJournal")->isEnabled());
  Commit("WS01");
  EXPECT_EQ(Written(shared), (Names{"WS01", "SRV01"}));
  EXPECT_EQ(Written(standard), Names{"WS01"});
}

}  // namespace
