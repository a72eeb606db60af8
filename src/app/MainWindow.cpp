#include "app/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QShortcut>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>

#include "alarm/widgets/AlarmController.h"
#include "app/Autostart.h"
#include "app/CommandTable.h"
#include "app/ExternalPrograms.h"
#include "calendar/DateNavigation.h"
#include "calendar/Koyomi.h"
#include "calendar/widgets/DateDialog.h"
#include "calendar/widgets/DayListPanel.h"
#include "calendar/widgets/MonthGridPanel.h"
#include "calendar/widgets/TimerListPanel.h"
#include "dialogs/VersionInfo.h"
#include "dialogs/widgets/SearchWindow.h"
#include "dialogs/widgets/UsageHelpWindow.h"
#include "dialogs/widgets/VersionWindow.h"
#include "editor/widgets/EditorWindow.h"
#include "exchange/widgets/ExchangeCommands.h"
#include "exchange/widgets/SyncController.h"
#include "store/DataFileScan.h"
#include "store/Status.h"
#include "ui/Accessibility.h"
#include "ui/CaptionLabel.h"
#include "ui/SecondTicks.h"
#include "ui/UiSupport.h"

namespace {

// Sizes in twips.
constexpr int kClientWidth = 12375;
constexpr int kDesignWindowWidth = 12465;
constexpr int kFrameHeight = 660;  // caption, menu bar and borders of the design
constexpr int kStandardHeight = 10965;
constexpr int kCompactHeight = 4230;

// The kinds of the Japanese calendar's marks, in the order of their menu items.
constexpr std::array<int, 3> kMarkKinds{koyomi::Rokuyo, koyomi::LunisolarAndEra, koyomi::Seasons};

constexpr std::array<MenuTitle, 5> kMenus{{{"File", "ファイル"},
                                           {"hyouzi", "表示"},
                                           {"hennkou", "年月日変更"},
                                           {"kensaku", "検索"},
                                           {"help", "ヘルプ"}}};

}  // namespace

QList<Command> MainWindow::commandTable() {
  auto dateMove = [this](DateMove move) { return [this, move] { moveSelectedDate(move); }; };
  return {
      {"File", "new", "新規作成", "Ctrl+Q", [this] { newDataFileCommand(); }, false, 1, 1,
       "新しいデータファイルを作ります"},
      {"File", "open", "開く", "Ctrl+A", [this] { openDataFileCommand(); }, false, 2, 2,
       "既にあるデータファイルを開きます", "既存のデータを開く"},
      {"File", "tuika", "選択した日に予定を追加", "Ctrl+N", [this] { newScheduleEntry(); }, false,
       4, 3, "選択した日の予定を編集画面で追加します"},
      {"File", "S1", nullptr},
      {"File", "icalExport", "iCalendar に書き出す…", "", [this] { ExportCalendar(context_); }},
      {"File", "icalImport", "iCalendar を読み込む…", "",
       [this] { ImportCalendar(context_, *this, this); }},
      {"File", "S7", nullptr},
      {"File", "syncSetup", "同期の設定…", "", [this] { sync_->openSetup(this); }},
      {"File", "syncNow", "今すぐ同期", "", [this] { sync_->syncNow(); }},
      {"File", "S5", nullptr},
      // No key: every Ctrl+letter the menus could take is in use or spoken for.
      {"File", "autostart", "ログイン時に起動する", "",
       [this] { setStartAtLogin(startAtLogin_->isChecked()); }, true},
      {"File", "S6", nullptr},
      {"File", "end", "終了", "Ctrl+Z", [this] { close(); }},
      {"hyouzi", "hyo(0)", "コンパクト", "Ctrl+W", [this] { setDisplayMode(0); }, true},
      {"hyouzi", "hyo(1)", "標準", "Ctrl+S", [this] { setDisplayMode(1); }, true},
      {"hyouzi", "hyo(2)", "フル", "Ctrl+X", [this] { setDisplayMode(2); }, true},
      {"hyouzi", "S7", nullptr},
      // No keys: see ログイン時に起動する.
      {"hyouzi", "koyomi(0)", "六曜を表示", "", [this] { showMarks(koyomi::Rokuyo); }, true},
      {"hyouzi", "koyomi(1)", "旧暦と和暦を表示", "",
       [this] { showMarks(koyomi::LunisolarAndEra); }, true},
      {"hyouzi", "koyomi(2)", "二十四節気・雑節を表示", "", [this] { showMarks(koyomi::Seasons); },
       true},
      {"hennkou", "henka1", "一日前へ", "Ctrl+E", dateMove(DateMove::DayBack), false, 8, 6,
       "前の日を表示します"},
      {"hennkou", "henka2", "一日後へ", "Ctrl+R", dateMove(DateMove::DayForward), false, 10, 8,
       "次の日を表示します"},
      {"hennkou", "S2", nullptr},
      {"hennkou", "henka3", "一ヶ月前へ", "Ctrl+D", dateMove(DateMove::MonthBack), false, 7, 5,
       "一ヶ月前の同じ日を表示します"},
      {"hennkou", "henka4", "一ヵ月後へ", "Ctrl+F", dateMove(DateMove::MonthForward), false, 11, 9,
       "一ヵ月後の同じ日を表示します"},
      {"hennkou", "S3", nullptr},
      {"hennkou", "henka5", "一年前へ", "Ctrl+C", dateMove(DateMove::YearBack), false, 6, 4,
       "一年前の同じ日を表示します"},
      {"hennkou", "henka6", "一年後へ", "Ctrl+V", dateMove(DateMove::YearForward), false, 12, 10,
       "一年後の同じ日を表示します"},
      {"hennkou", "S4", nullptr},
      {"hennkou", "henka7", "年月日指定", "Ctrl+T", [this] { openDateDialog(); }, false, 9, 7,
       "年月日を指定して表示します"},
      {"kensaku", "kensa", "検索", "Ctrl+Y", [this] { openSearchWindow(); }, false, 14, 11,
       "予定を検索します"},
      {"help", "tu", "使い方", "Ctrl+U", [this] { UsageHelpWindow(context_, *this, this).exec(); }},
      {"help", "ver", "バージョン情報", "Ctrl+J",
       [this] { VersionWindow(context_, *this, this).exec(); }},
      {nullptr, nullptr, "テキストエディタを起動", "", [this] { startExternalProgram(0); }, false,
       16, 12, "テキストエディタを起動します"},
      {nullptr, nullptr, "ファイルブラウザを起動", "", [this] { startExternalProgram(1); }, false,
       17, 13, "ホームフォルダをファイルブラウザで開きます"},
      {nullptr, nullptr, "ペイントソフトを起動", "", [this] { startExternalProgram(2); }, false, 18,
       14, "ペイントソフトを起動します"},
  };
}

MainWindow::MainWindow(AppContext& context)
    : context_(context), fileDialogs_(context), commands_(commandTable()) {
  initResources();
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(mainWindowCaption());
  makeFixedWindow(this, true);

  sync_ = new SyncController(context_, *this, this);
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("Form2.client"));
  setCentralWidget(client_);
  createMenus();
  createToolbar();
  createPanels();

  // Load steps: centre horizontally on the design width, top at 15 twips, standard height.
  const QSize screen = context_.platform.screenSize();
  move((screen.width() - twips(kDesignWindowWidth)) / 2, twips(15));
  applyClientHeight(kStandardHeight);

  loadViews();
  updateStartAtLoginCheck();

  clockTimer_ = new QTimer(this);
  clockTimer_->setObjectName(QStringLiteral("Timer1"));
  clockTimer_->setInterval(1000);
  // Every tick rewrites the clock; the first tick of each minute scans the timers.
  alarms_ = new AlarmController(
      context_, *this, [this](const QString& text) { showClockText(text); }, this);
  connect(clockTimer_, &QTimer::timeout, alarms_, &AlarmController::tick);
  connect(clockTimer_, &QTimer::timeout, this, [this] { keepOnTheSecond(clockTimer_); });
  clockTimer_->setTimerType(Qt::PreciseTimer);
  clockTimer_->start();
  keepOnTheSecond(clockTimer_);
  alarms_->tick();
}

void MainWindow::createMenus() {
  addMenus(menuBar(), kMenus, commands_);
  announceMenus(menuBar());
  for (size_t i = 0; i < displayModes_.size(); ++i) {
    displayModes_[i] = findChild<QAction*>(QStringLiteral("hyo(%1)").arg(i));
  }
  displayModes_[1]->setChecked(true);
  for (size_t i = 0; i < markItems_.size(); ++i) {
    markItems_[i] = findChild<QAction*>(QStringLiteral("koyomi(%1)").arg(i));
    markItems_[i]->setChecked((context_.shownMarks & kMarkKinds[i]) != 0);
  }

  // Without vdirsyncer the sync's items say what to install.
  const QString missing = missingSyncPrograms();
  findChild<QAction*>(QStringLiteral("syncSetup"))->setText(syncui::setupCaption(missing));
  findChild<QAction*>(QStringLiteral("syncNow"))->setText(syncui::syncNowCaption(missing));

  startAtLogin_ = findChild<QAction*>(QStringLiteral("autostart"));
  startAtLogin_->setToolTip(QStringLiteral("ログインしたときにこのデータで Yotenna を起動します"));
  startAtLogin_->setStatusTip(startAtLogin_->toolTip());
  // The entry may change outside the program, and the data file with new and open.
  connect(findChild<QMenu*>(QStringLiteral("File")), &QMenu::aboutToShow, this,
          &MainWindow::updateStartAtLoginCheck);

  // F10 opens the first menu, as on other desktops; the arrow keys then reach every item,
  // also those without a key of their own.
  auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
  connect(menuKey, &QShortcut::activated, this,
          [this] { menuBar()->setActiveAction(menuBar()->actions().value(0)); });
}

void MainWindow::createToolbar() {
  toolbar_ = new QToolBar(client_);
  toolbar_->setObjectName(QStringLiteral("Toolbar1"));
  toolbar_->setToolTip(QStringLiteral("ツールバーです"));
  toolbar_->setAccessibleName(QStringLiteral("ツールバー"));
  toolbar_->setIconSize(QSize(16, 16));
  toolbar_->setMovable(false);
  toolbar_->setGeometry(0, 0, twips(kClientWidth), twips(420));

  addToolbarButtons(toolbar_, commands_, kToolbarButtons,
                    [this](int position) { toolbarButtonClicked(position); });
  // The button that shows the buttons a narrow toolbar has no room for.
  if (auto* more = toolbar_->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"))) {
    more->setToolTip(QStringLiteral("ツールバーに入りきらないボタンを出します"));
    setAccessible(more, QStringLiteral("ツールバーの残りのボタン"));
  }
}

void MainWindow::createPanels() {
  dayPanel_ = new DayListPanel(context_, client_, this);
  connect(dayPanel_, &DayListPanel::filterChanged, this, &MainWindow::refreshDayList);
  connect(dayPanel_, &DayListPanel::rowOpened, this, &MainWindow::openDayListRow);
  timerPanel_ = new TimerListPanel(client_, this);
  connect(timerPanel_, &TimerListPanel::rowOpened, this, &MainWindow::openTimerListRow);
  gridPanel_ = new MonthGridPanel(context_, client_, this);
  connect(gridPanel_, &MonthGridPanel::daySelected, this, &MainWindow::selectDay);
  connect(gridPanel_, &MonthGridPanel::newEntryRequested, this, &MainWindow::newScheduleEntry);
  createClock();
}

void MainWindow::createClock() {
  clock_ = new CaptionLabel(client_);
  clock_->setObjectName(QStringLiteral("Label3"));
  clock_->setGeometry(twipsRect(9240, 435, 3135, 515));
  clock_->setFont(japaneseFont(11.25, true));
  clock_->setWordWrap(true);
  clock_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  clock_->setToolTip(QStringLiteral("現在の日付け"));
  // Its name is the time it shows (see showClockText); the tip describes it.
  clock_->setAccessibleDescription(clock_->toolTip());
  // Between the heading and the day list, the order in which a screen reader reads them.
  clock_->stackUnder(dayPanel_->list());
}

void MainWindow::showClockText(const QString& text) {
  clock_->setText(text);
  // A screen reader hears of a new name at once: the name changes with the minute, not with
  // every second the label shows.
  const QString spoken = spokenClockText(text);
  if (clock_->accessibleName() != spoken) clock_->setAccessibleName(spoken);
}

void MainWindow::applyClientHeight(int windowHeightTwips) {
  const int clientHeight = twips(windowHeightTwips - kFrameHeight);
  client_->setFixedSize(twips(kClientWidth), clientHeight);
  setFixedSize(twips(kClientWidth), menuBar()->sizeHint().height() + clientHeight);
}

// --- view procedures ---------------------------------------------------------------------

void MainWindow::ShowDateHeading() {
  // Every change of the selected year or month is shown through here (the editor's add and
  // the search's included), so this is where a day beyond the new month's end is pulled back.
  clampSelectedDay();
  dayPanel_->showHeading();
  gridPanel_->showMonthLayout();
  if (context_.shownMarks != 0) marksAhead_.around(context_.state.SelYear);
}

void MainWindow::ShowDayHoliday() { dayPanel_->showHoliday(); }

void MainWindow::LoadDaySchedules() {
  noteFailure(dayPanel_->loadEntries());
  gridPanel_->markSelectedDay();
}

void MainWindow::RefreshMonthView() { noteFailure(gridPanel_->loadMonth()); }

void MainWindow::LoadTimerList() {
  noteFailure(timerPanel_->load(context_.state.CurrentDataFile));
  emit timerListLoaded();
}

// --- refresh sequences -------------------------------------------------------------------

void MainWindow::clampSelectedDay() {
  SharedState& state = context_.state;
  const CalendarDate clamped = clampDayToMonth({state.SelYear, state.SelMonth, state.SelDay});
  state.SelDay = clamped.day;
}

void MainWindow::loadDateViews() {
  // The views shown together pass over the file once between them.
  const ScanSession session;
  ShowDateHeading();
  ShowDayHoliday();
  LoadDaySchedules();
  RefreshMonthView();
}

void MainWindow::loadViews() {
  const ScanSession session;
  loadDateViews();
  LoadTimerList();
}

void MainWindow::refreshAllViews() {
  loadViews();
  reportFailure();
}

void MainWindow::refreshDateViews() {
  loadDateViews();
  reportFailure();
}

void MainWindow::refreshDayList() {
  ShowDayHoliday();
  LoadDaySchedules();
  reportFailure();
}

void MainWindow::noteFailure(const Status& status) {
  if (!status && pendingFailure_.isEmpty()) pendingFailure_ = status.message();
}

void MainWindow::reportFailure() {
  if (pendingFailure_.isEmpty()) return;
  const QString message = pendingFailure_;
  pendingFailure_.clear();
  warn(context_.platform, message);
}

// --- commands ----------------------------------------------------------------------------

void MainWindow::toolbarButtonClicked(int position) {
  if (const Command* command = commandOnButton(commands_, position)) command->run();
}

void MainWindow::moveSelectedDate(DateMove move) {
  SharedState& state = context_.state;
  const DateMoveResult result = moveDate({state.SelYear, state.SelMonth, state.SelDay}, move);
  if (result.refused()) warn(context_.platform, result.boundMessage, kDateBoundTitle);
  state.SelYear = result.date.year;
  state.SelMonth = result.date.month;
  state.SelDay = result.date.day;
  const bool dayMove = move == DateMove::DayBack || move == DateMove::DayForward;
  if (dayMove && !result.monthChanged) {
    refreshDayList();
    return;
  }
  if (dayMove) {
    // Only what depends on the month is rebuilt before the day list.
    ShowDateHeading();
    RefreshMonthView();
    refreshDayList();
    return;
  }
  refreshDateViews();
}

void MainWindow::openSearchWindow() {
  SearchWindow window(context_, *this, this);
  window.exec();
}

void MainWindow::openDateDialog() {
  DateDialog dialog(context_, *this, this);
  dialog.exec();
}

void MainWindow::showMarks(int kind) {
  const size_t item = static_cast<size_t>(std::find(kMarkKinds.begin(), kMarkKinds.end(), kind) -
                                          kMarkKinds.begin());
  context_.shownMarks =
      markItems_[item]->isChecked() ? context_.shownMarks | kind : context_.shownMarks & ~kind;
  if (context_.keepShownMarks) context_.keepShownMarks(context_.shownMarks);
  refreshDateViews();
}

void MainWindow::setDisplayMode(int mode) {
  for (QAction* action : displayModes_) action->setChecked(false);
  dayPanel_->setFull(mode == 2);
  applyClientHeight(mode == 0 ? kCompactHeight : kStandardHeight);
  displayModes_[static_cast<size_t>(mode)]->setChecked(true);
}

void MainWindow::newDataFileCommand() {
  if (!confirm(context_.platform, QStringLiteral("新規作成しますか？"))) return;
  NewDataFile(context_, fileDialog());
  refreshAllViews();
}

void MainWindow::openDataFileCommand() {
  if (!confirm(context_.platform, QStringLiteral("既存のデータを開きますか？"))) return;
  OpenDataFile(context_, fileDialog());
  QList<TimerRecord> missed;
  const Status purged = PurgeDataFile(context_, &missed);
  loadViews();
  if (!purged) {
    // One message for the whole command: the views would only repeat why the file is unreadable.
    clearPendingFailure();
    warn(context_.platform, purged.message());
  }
  reportFailure();
  alarms_->reportMissedTimers(missed);
}

void MainWindow::setStartAtLogin(bool start) {
  const QString& dataFile = context_.state.CurrentDataFile;
  const Status done = start ? writeAutostartEntry(QCoreApplication::applicationFilePath(), dataFile)
                            : removeAutostartEntry();
  if (!done) warn(context_.platform, done.message());
  updateStartAtLoginCheck();
}

void MainWindow::updateStartAtLoginCheck() {
  startAtLogin_->setChecked(autostartsWith(context_.state.CurrentDataFile));
}

void MainWindow::selectDay(int cellIndex) {
  context_.state.SelDay = cellIndex + 1;
  refreshDayList();
}

void MainWindow::startExternalProgram(int which) {
  startProgram(context_.platform, static_cast<ExternalProgram>(which));
}

void MainWindow::newScheduleEntry() {
  dayPanel_->showHeading();
  EditorWindow editor(context_, *this, this);
  editor.prepareNewEntry(dayPanel_->heading());
  editor.exec();
}

void MainWindow::openDayListRow(int row) {
  const QStringList columns = dayPanel_->row(row);
  if (columns.isEmpty()) return;
  EditorWindow editor(context_, *this, this);
  editor.openScheduleRow(dayPanel_->heading(), columns);
  editor.exec();
}

void MainWindow::openTimerListRow(int row) {
  const QStringList columns = timerPanel_->row(row);
  if (columns.isEmpty()) return;
  EditorWindow editor(context_, *this, this);
  if (editor.openTimerRow(columns)) editor.exec();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!confirm(context_.platform, QStringLiteral("終了しますか？"), QStringLiteral("確認"))) {
    event->ignore();
    return;
  }
  event->accept();
  if (context_.quit) context_.quit();
}
