// The main window driven through many random steps on the simulated network,
// with faults injected, against what the administrator must be able to rely
// on after every step:
// - a row shows only states read for the account chosen now (or none yet);
// - every staged change can be seen in its cell;
// - no computer was written anything that was not staged for it and for the
//   account the marks were staged under;
// - every unreadable row and every failed change carries its reason.
// TAVRIN_SOAK_STEPS and TAVRIN_SOAK_SEED choose the length and the seed
// (scripts/soak.sh runs a long one); a failure names both.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "app/RightsGrid.h"
#include "app/RightsGridModel.h"
#include "app/fmTavrinMain.h"
#include "platform/sim/SimNetwork.h"
#include "tests/support/FormAccess.h"
#include "tests/support/SimFixture.h"

namespace {

using tavrin::test::Child;
using tavrin::test::SidText;

unsigned long FromEnvironment(const char* name, unsigned long fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != 0 ? std::strtoul(text, nullptr, 10) : fallback;
}

// What a cell with `code` looks like, drawn by a grid of its own.
class TCellLooks {
 public:
  TCellLooks() {
    grid_.resize(400, 80);
    grid_.Reset();
    row_ = grid_.AppendRow(QStringLiteral("PROBE"));
  }
  QImage Of(const TCellCode& code) {
    const std::string key = code.Text();
    if (auto it = looks_.find(key); it != looks_.end()) return it->second;
    grid_.SetCode(1, row_, code);
    grid_.SetSelection({3, row_, 3, row_});
    const QImage shot = grid_.viewport()->grab().toImage();
    const QRect cell = grid_.CellRect(1, row_);
    return looks_[key] = shot.copy(QRect(cell.topLeft() * shot.devicePixelRatio(), cell.size()));
  }

 private:
  TRightsGrid grid_;
  int row_ = 0;
  std::map<std::string, QImage> looks_;
};

class Soak : public tavrin::test::SimTest {
 protected:
  void TearDown() override {
    form.reset();
    SimTest::TearDown();
  }
  TRightsGrid& Grid() { return *Child<TRightsGrid>(*form, "GrRights"); }
  TvmUsersComboBox& Users() { return *Child<TvmUsersComboBox>(*form, "CBxUsers"); }
  QAction& Action(const char* name) { return *Child<QAction>(*form, name); }
  bool WaitIdle() { return tavrin::test::WaitIdle(*form); }
  std::vector<std::string> Computers() {
    std::vector<std::string> names;
    for (int row = 1; row < Grid().RowCount() - 1; ++row)
      names.push_back(Grid().Cells(0, row).toStdString());
    return names;
  }
  // The catalogue rights `sid` holds on `computer`, as Y and N.
  static std::string Held(const std::string& computer, const std::string& sid) {
    const std::vector<std::string> held = sim::RightsOf(computer, sid);
    std::string text;
    for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal)  // the classic view's columns
      text += std::find(held.begin(), held.end(), PolicyNames[ordinal]) != held.end() ? 'Y' : 'N';
    return text;
  }
  // Notes what every computer holds for the shown account now: the states
  // a row may show until the account changes.
  void NoteHeld() {
    const std::string now = SidText(Users().SelectedSid());
    if (now != shown) {
      shown = now;
      seen.clear();
    }
    if (shown.empty()) return;
    for (const std::string& computer : Computers()) seen[computer].insert(Held(computer, shown));
  }
  // The staged changes now: "Add|Rem COMPUTER RIGHT".
  std::set<std::string> Staged() {
    std::set<std::string> staged;
    for (int row = 1; row < Grid().RowCount() - 1; ++row)
      for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal) {
        const TCellCode code = Grid().Code(ordinal + 1, row);
        if (IsStagedChange(code))
          staged.insert(std::string(code.Mark() == 'Y' ? "Add " : "Rem ") +
                        Grid().Cells(0, row).toUpper().toStdString() + " " + PolicyNames[ordinal]);
      }
    return staged;
  }

  void Check(const std::set<std::string>& stagedBefore, const std::string& accountBefore) {
    // No write that was not staged, for the computer and the account.
    for (const sim::Call& call : sim::Calls()) {
      const bool add = call.function == "LsaAddAccountRights";
      if (!add && call.function != "LsaRemoveAccountRights") continue;
      const size_t space = call.argument.find(' ');
      EXPECT_EQ(call.argument.substr(0, space), accountBefore) << call.argument;
      const std::string write =
          std::string(add ? "Add " : "Rem ") + call.target + " " + call.argument.substr(space + 1);
      EXPECT_TRUE(stagedBefore.count(write)) << "not staged: " << write;
    }
    CheckStates();
  }

  void CheckStates() {
    NoteHeld();
    const TRightsGridModel& model = *Grid().Model();
    for (int row = 1; row < Grid().RowCount() - 1; ++row) {
      const std::string computer = Grid().Cells(0, row).toStdString();
      std::string states;
      bool marked = false;
      for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal) {
        const TCellCode code = Grid().Code(ordinal + 1, row);
        states += code.length == 2 ? code.State() : ' ';
        marked |= code.Mark() == 'E';
        // Every staged change is seen.
        if (IsStagedChange(code)) {
          EXPECT_NE(looks.Of(code), looks.Of(WithMark(code, ' ')))
              << computer << " " << code.Text();
        }
      }
      // States read for the shown account, or none yet.
      const bool unread = states == std::string(PrivilegeCount, ' ');
      const bool unreadable = states == std::string(PrivilegeCount, 'E');
      if (!unread && !unreadable) {
        EXPECT_TRUE(seen[computer].count(states)) << computer << " shows " << states;
      }
      // Every failure with its reason.
      if (unreadable) {
        EXPECT_FALSE(model.ReadProblem(row - 1).isEmpty()) << computer;
      }
      if (marked) {
        EXPECT_FALSE(model.WriteProblem(row - 1).isEmpty()) << computer;
      }
    }
  }

  std::unique_ptr<TTavrinForm> form;
  tavrin::test::TAnswerer answers{
      {{"CommitQuestion", "Commit"}, {"MarksQuestion", "Discard"}, {"CommitSummary", "OK"}}};
  TCellLooks looks;
  std::string shown;
  std::map<std::string, std::set<std::string>> seen;
};

TEST_F(Soak, RandomStepsKeepTheGridTrue) {
  const unsigned long seed = FromEnvironment("TAVRIN_SOAK_SEED", 20261207);
  const unsigned long steps = FromEnvironment("TAVRIN_SOAK_STEPS", 250);
  std::mt19937 random(seed);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  form = std::make_unique<TTavrinForm>();
  form->SetPassWorkers(4);
  ASSERT_TRUE(WaitIdle());
  const std::vector<std::string> network = Computers();
  ASSERT_GE(network.size(), 4u);
  NoteHeld();
  const QStringList answersToMarks = {"Commit", "Discard", "Cancel"};

  for (unsigned long step = 0; step < steps && !HasFailure(); ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", step " + std::to_string(step));
    const std::set<std::string> staged = Staged();
    const std::string account = shown;
    sim::ClearCalls();
    answers.Set("MarksQuestion", answersToMarks[pick(3)]);
    answers.Set("CommitQuestion", pick(5) == 0 ? "Cancel" : "Commit");
    const int rows = Grid().RowCount() - 2;
    switch (pick(12)) {
      case 0:
      case 1: {  // choose an account, now and then by choosing a source
        if (pick(6) == 0) {
          auto& sources = *Child<TvmSidSourceComboBox>(*form, "CBxSidSource");
          sources.setCurrentIndex(pick(std::max(sources.count(), 1)));
          tavrin::test::ChooseSource(*form);
          break;
        }
        if (Users().count() == 0) break;  // a source without accounts
        Users().setCurrentIndex(pick(std::min(Users().count(), 12)));
        tavrin::test::ChooseAccount(*form);
        // At once, before anything is read: nothing of another account.
        CheckStates();
        break;
      }
      case 2:
      case 3:
      case 4: {  // stage over a block
        if (rows == 0) break;
        const int top = 1 + pick(rows), left = 1 + pick(PrivilegeCount);
        Grid().setFocus();
        Grid().SetSelection(
            {left, top, std::min(left + pick(4), PrivilegeCount), std::min(top + pick(3), rows)});
        const Qt::Key keys[] = {Qt::Key_Insert, Qt::Key_Delete, Qt::Key_Space, Qt::Key_Return};
        if (pick(4) == 0)
          emit Grid().DblClick();
        else
          QTest::keyClick(&Grid(), keys[pick(4)]);
        break;
      }
      case 5:
        Action("aCommit").trigger();
        break;
      case 6:
        Action("aDiscard").trigger();
        break;
      case 7:
        Action(pick(4) == 0 ? "aUpdate" : "aRefresh").trigger();
        break;
      case 8: {  // a pass stopped half-way
        sim::SetLatency(std::chrono::milliseconds(3));
        Action(pick(2) == 0 ? "aCommit" : "aRefresh").trigger();
        QTest::qWait(pick(15));
        Action("aStop").trigger();
        break;
      }
      case 9: {  // remove a row
        if (rows < 3) break;
        const int row = 1 + pick(rows);
        Grid().SetSelection({1, row, 1, row});
        Action("aRemove").trigger();
        break;
      }
      default: {  // a fault on one computer, or none any more
        const std::string& computer = network[pick(static_cast<int>(network.size()))];
        switch (pick(5)) {
          case 0:
            sim::SetAnswers(computer, pick(2) == 0);
            break;
          case 1:
            sim::SetPolicyDenied(computer, pick(2) == 0);
            break;
          case 2:
            sim::FailWrite(1 + pick(2), static_cast<int32_t>(0xC0000022), computer);
            break;
          default:
            sim::ClearFaults();
            break;
        }
      }
    }
    ASSERT_TRUE(WaitIdle());
    sim::SetLatency({});
    Check(staged, account);
  }
}

}  // namespace
