// The main window: the rights grid with its legend, the pickers of the
// account, the menus, the tool bar and the status bar.
#pragma once

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

#include "passes/CommitReport.h"
#include "passes/Journal.h"
#include "passes/PassEngine.h"
#include "passes/Undo.h"
#include "pickers/controls/Velmar_SidSourceComboBox.h"
#include "pickers/controls/Velmar_UsersComboBox.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QStatusBar;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;
class TClickLabel;
class TComponent;
class TComputerList;
class THistoryDialog;
class THoldersGridModel;
class TRightsGrid;
class TUiHandOver;
class TvmAccountRigthsCenter;
class TvmSidCenter;

class TTavrinForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TTavrinForm(QWidget* parent = nullptr);
  ~TTavrinForm() override;

  // The designed size and the smallest size of the window.
  static constexpr QSize DesignedSize{661, 480};
  static constexpr QSize SmallestSize{660, 350};
  static constexpr int StatusPanelCount = 3;
  // How long a choice of account rests before its rights are read.
  static constexpr int AccountRestMilliseconds = 300;
  static constexpr const char* FillingAccountsText = "Filling the list of accounts...";

  // The status bar's panels: 0 the staged change of the selected cell, 1 its
  // current state, 2 the rights of the selected columns or the progress of a
  // long pass.
  QString StatusText(int panel) const;
  void SetStatusText(int panel, const QString& text);

  // The hint of an action, shown as the tool tip of its tool-bar button.
  QString Hint(const QAction* action) const { return hints_.value(action); }

  // While a pass over the computers (reads, a commit) runs, the commands
  // that would change its rows or re-point the components it uses are
  // disabled; staging cells stays possible.
  bool PassRunning() const { return pass_ != nullptr; }

  // How many computers a pass reads or commits at once (16 unless set).
  void SetPassWorkers(int workers) { PassWorkers = workers; }
  // The computers the last scan found.
  const TComputerList& ScannedComputers() const { return *Computers; }
  // Reads the chosen account's rights on one computer into its row (a new
  // row for a name no row holds), as a pass of one row.
  void GetRights(const QString& Name);

  // Stages the undo of a pass of the journal: selects the pass's account,
  // reads its computers (adding rows for those the grid lacks) and marks
  // the inverse of each right the pass wrote where it is still as the pass
  // left it; a summary names the rights that changed since. The marks are
  // committed as any are.
  void UndoPass(const QString& pass);

  // The picker's entry of the account with this SID text; -1 when it does
  // not list it.
  int AccountIndex(const std::string& sid) const;

  // The commands of the menus and the tool bar, in their design order.
  const QList<QAction*>& Commands() const { return Actions; }
  // The controls, the actions and the timer are found by their object names
  // ("GrRights", "CBxUsers", "aCommit", "Timer", ...).

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Closing during a pass ends the pass at its next safe point, then closes.
  void closeEvent(QCloseEvent* event) override;

 private:
  // ------------------------------------------------------------- controls
  QToolBar* ToolBar1 = nullptr;
  QToolButton* BnAdd = nullptr;
  QToolButton* BnRemove = nullptr;
  QToolButton* BnUpdate = nullptr;
  QToolButton* BnRefresh = nullptr;
  QToolButton* BnSave = nullptr;
  QToolButton* BnDiscard = nullptr;
  QToolButton* BnContents = nullptr;
  QToolButton* BnHome = nullptr;
  QToolButton* BnAbout = nullptr;
  QToolButton* BnStop = nullptr;
  TClickLabel* ImgVelmar = nullptr;
  QLabel* Label2 = nullptr;
  TClickLabel* LbVelmar = nullptr;
  QLabel* ImgLogo = nullptr;
  QLabel* Label1 = nullptr;
  TvmSidSourceComboBox* CBxSidSource = nullptr;
  QLabel* Label3 = nullptr;
  TvmUsersComboBox* CBxUsers = nullptr;
  QListWidget* LBxLegend = nullptr;
  QLabel* Label4 = nullptr;
  TRightsGrid* GrRights = nullptr;
  QStatusBar* StatusBar = nullptr;
  QTimer* Timer = nullptr;
  QMenu* MI_View = nullptr;
  QAction* aClassicRights = nullptr;
  QAction* aAllRights = nullptr;

  // The progress of a pass over the computers ("Computer 3 of 14"), shown
  // at the right of the status bar while a pass runs.
  TClickLabel* PassProgress = nullptr;
  // Which network the window works on, at the right end of the status bar
  // (off Windows only, where it is a choice).
  QLabel* NetworkLabel = nullptr;

  // ----------------------------------------------------- core components
  // The account whose rights the grid shows, and its rights on one computer.
  TvmSidCenter* SC = nullptr;
  TvmAccountRigthsCenter* ARC = nullptr;
  // The computers of the network, filled by a background scan.
  TComputerList* Computers = nullptr;

  QMenuBar* MM_Main = nullptr;
  QMenu* MI_Computer = nullptr;
  QMenu* MI_Policy = nullptr;
  QMenu* MI_Help = nullptr;

  // -------------------------------------------------------------- actions
  QList<QAction*> Actions;
  QAction* aAdd = nullptr;
  QAction* aRemove = nullptr;
  QAction* aUpdate = nullptr;
  QAction* aRefresh = nullptr;
  QAction* aCommit = nullptr;
  QAction* aDiscard = nullptr;
  QAction* aContents = nullptr;
  QAction* aHome = nullptr;
  QAction* aAbout = nullptr;
  // Ends a pass over the computers early (Escape): rows not yet started
  // keep their codes and marks, rows under way finish.
  QAction* aStop = nullptr;
  // Computer menu, after Update: writes the grid to a CSV file or an HTML
  // report.
  QAction* aExport = nullptr;
  // Computer menu: reads the computers named in a list file, as
  // tavrin-cli's --computers-file does.
  QAction* aOpenList = nullptr;
  // Policy menu (and a click on the pass counter): the computers the last
  // pass could not read or write, each with its reason.
  QAction* aFailures = nullptr;

  // How many computers a pass reads or commits at once.
  int PassWorkers = 16;

  // The account whose rights the grid shows (or is about to read), and its
  // name for questions and titles. A change of account counts up
  // accountGeneration_; a pass keeps the generation it started under, and
  // reads of an earlier one are never shown.
  TSid shownAccount_;
  QString shownAccountName_;
  std::string shownAccountSid_;  // its SID text
  int accountGeneration_ = 0;
  int passGeneration_ = 0;
  // Lets a choice of account rest before the computers are read, so that
  // scrolling through the picker does not start a pass per step.
  QTimer* AccountRest = nullptr;
  bool readAfterPass_ = false;  // the chosen account is read once the pass ends
  // The account or source chosen while marks were committed, taken once
  // the commit has ended; -1 for none.
  int accountAfterCommit_ = -1;
  int sourceAfterCommit_ = -1;
  QString scanReport_;           // shown once the pass after a failed scan ends
  int shownSource_ = -1;         // the source the account list was filled from
  bool askBeforeCommit_ = true;  // false: "Don't ask again until Tavrin closes"
  // The last pass's failures (computer, reason), and for a commit pass the
  // summary of what became of its rows.
  QList<std::pair<QString, QString>> failures_;
  std::unique_ptr<TCommitSummary> summary_;
  // The commit pass's journal records, appended once the pass has ended;
  // the marks each row was committed with.
  TJournalPass journalPass_;
  std::vector<TJournalRecord> journalRecords_;
  QHash<int, TRowCodes> committedCodes_;
  // An undo waiting for its computers to be read for the account generation
  // it chose, with the journal it was planned from; the pass whose undo the
  // marks stage (journalled with the commit); an undo asked for while marks
  // were committed.
  std::unique_ptr<TUndoPlan> undo_;
  std::vector<TJournalRecord> undoJournal_;
  int undoGeneration_ = -1;
  bool undoReading_ = false;
  std::string stagedUndo_;
  QString undoAfterCommit_;
  // Stages the undo on a row just read, and sums it up once every computer
  // of the undo has been read.
  void StageUndo(int row, const TRowResult& result);
  void FinishUndo();

  // ------------------------------------------------------------- handlers
  void aAddExecute();
  void aRemoveExecute();
  void aUpdateExecute();
  void aRefreshExecute();
  void aCommitExecute();
  void aDiscardExecute();
  void aContentsExecute();
  void aHomeExecute();
  void aAboutExecute();
  void LbVelmarClick();
  void aStopExecute();
  void aExportExecute();

  void GrRightsClick();
  void GrRightsDblClick();
  void GrRightsKeyDown(int virtualKey);
  void GrRightsExit();

  void CBxSidSourceClick();
  void CBxUsersClick();
  void TimerTimer();
  void aOpenListExecute();
  void aFailuresExecute();

  // What to do with staged marks before they would be lost.
  enum class TMarksAnswer { Commit, Discard, Cancel };
  TMarksAnswer AskAboutMarks(const QString& before);
  // The account picker has filled: a selection other than the shown
  // account is a change of account.
  void AccountsFilled();
  // The grid stands for the account now selected: any reading pass stops,
  // every row shows "not read yet", and the computers are read once the
  // choice has rested.
  void SwitchAccount();
  void ReadChosenAccount();
  // Commit and Discard are enabled while any mark remains.
  void UpdateMarkActions();
  // Starts a commit pass, after asking unless the asking is off.
  void StartCommit();
  void ShowCommitSummary();
  // What to say after a scan that failed or found nothing; empty after one
  // that found computers.
  QString ScanReport(bool foundNone) const;
  // Writes a row's result into the grid and notes its failure.
  void TakeResult(const TRowResult& result);
  // What waits for the end of a pass: the commit's summary, a change of
  // account or source, the reading of a new account, a close.
  void AfterPass();

  void CreateActions();
  void CreateMenus();
  // The View menu: the classic rights or all of current Windows, the choice
  // kept between runs (fmTavrinMainView.cpp).
  void CreateViewMenu();
  void ChooseRightsView(TRightsView view);
  // Shows the view's rights: the grid's columns and headers, the legend
  // with its tool tips.
  void ShowRights(TRightsView view);
  // After the commit's question: the guard rails the staged changes would
  // break, asked about again (No by default). True to go on.
  bool GuardRailsAllow(const TStagedChanges& staged);
  void CreateExportAction();
  void CreateToolBar();
  void CreateControls();
  void CreateStatusBar();
  void FormCreate();
  // Any change of a cell's code enables Commit and Discard.
  void CellsChanged();
  // Sets whether a command may run; while a pass runs, the commands it
  // blocks stay disabled and take this state when it ends.
  void SetActionEnabled(QAction* action, bool enabled);
  // A pass: its rows are named by `names`, dispatched in that order to the
  // workers, and their results written into their rows as they arrive.
  void StartPass(TRowJobKind kind, const QStringList& names);
  // While the account picker fills, runs `command` once it has filled and
  // answers true; otherwise answers false.
  bool AfterAccountsFilled(const std::function<void()>& command);
  bool PrepareRow(TRowJob& job);
  void PumpPass();
  void FinishPass();

  std::array<QLabel*, StatusPanelCount> panels_{};
  // Owns the window's core components (Computers); destroyed with the window.
  std::unique_ptr<TComponent> components_;
  QHash<const QAction*, QString> hints_;
  // What the commands a pass blocks will be once it ends.
  QHash<QAction*, bool> wanted_;
  // The pass running, and the names it goes through; its workers' news
  // comes through passNews_.
  std::unique_ptr<TPassEngine> pass_;
  TUiHandOver* passNews_ = nullptr;
  QStringList passNames_;
  bool passResetsCursor_ = false;  // the pass that ends an Update
  bool closeAsked_ = false;

  // ------------------------------------------------- desktop conventions
  // Computer > Exit (Ctrl+Q, Alt+F4) closes the window.
  QAction* aExit = nullptr;
  // F5 refreshes, F1 opens the help, Ctrl+S commits, Ctrl+Q quits.
  void CreateDesktopCommands();
  // Widens the window, within the screen, until the grid shows every column
  // and the whole name column; never once the geometry came from the
  // settings, where the administrator's own size wins.
  void FitGridWidth();
  // What the window remembers between runs: its geometry, the source of the
  // accounts and the computers of the grid (shown at once, read after the
  // first scan with what it finds).
  int RememberedSource() const;
  void RestoreSettings();
  void SaveSettings() const;
  // The remembered computers not among `found`, once.
  QStringList TakeRemembered(const QStringList& found);
  QStringList remembered_;
  bool geometryRestored_ = false;

  // ------------------------------------------- the journal (fmTavrinMainHistory.cpp)
  // Policy > History... (Ctrl+H): the History window, one at a time,
  // modeless, read again after each commit. Policy > Journal file...:
  // another journal to append to and read (a shared one, say), kept with
  // the settings; Policy > Default journal file goes back to the one in the
  // user's data folder.
  QAction* aHistory = nullptr;
  QAction* aJournalFile = nullptr;
  QAction* aDefaultJournal = nullptr;
  QPointer<THistoryDialog> history_;
  void CreateJournalCommands();
  void aHistoryExecute();
  void aJournalFileExecute();
  void aDefaultJournalExecute();
  void ShowJournalFile();
  // ------------------------------------------ By right (fmTavrinMainByRight.cpp)
  // "By right" beside the account picker: a right is picked instead of an
  // account, and the grid of who holds it on every computer stands in for
  // the rights grid; the commands of the marks are disabled meanwhile.
  void CreateByRightMode();
  void ShowByRight(bool shown);
  bool ByRightBlocks(const QAction* action) const;
  void ReadHolders();
  void TakeHolders();
  // Back to the account mode with the column's account chosen.
  void HolderHeadDblClick(int column);
  QCheckBox* CBxByRight = nullptr;
  QComboBox* CBxRight = nullptr;
  QTableView* GrHolders = nullptr;
  THoldersGridModel* holdersModel_ = nullptr;
  std::unique_ptr<TPassEngine> holdersPass_;
  std::vector<std::unique_ptr<TPassEngine>> holdersRetiring_;  // stopped, not yet ended
  TUiHandOver* holdersNews_ = nullptr;
  bool byRightShown_ = false;
};
