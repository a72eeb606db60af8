#include "app/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QRadioButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

#include "alarm/widgets/AlarmController.h"
#include "app/Autostart.h"
#include "app/DataFileCommands.h"
#include "app/DateDialog.h"
#include "app/ExternalPrograms.h"
#include "app/StartupWindow.h"
#include "calendar/DateNavigation.h"
#include "calendar/DayView.h"
#include "calendar/MonthGrid.h"
#include "calendar/TimerList.h"
#include "dialogs/widgets/SearchWindow.h"
#include "dialogs/widgets/UsageHelpWindow.h"
#include "dialogs/widgets/VersionWindow.h"
#include "editor/widgets/EditorWindow.h"
#include "exchange/widgets/ExchangeCommands.h"
#include "ui/Accessibility.h"
#include "ui/CaptionLabel.h"
#include "ui/ColumnWidths.h"
#include "ui/ListDelegates.h"
#include "ui/Pictures.h"
#include "ui/UiSupport.h"

namespace {

// Sizes in twips.
constexpr int kClientWidth = 12375;
constexpr int kDesignWindowWidth = 12465;
constexpr int kFrameHeight = 660;  // caption, menu bar and borders of the design
constexpr int kStandardHeight = 10965;
constexpr int kCompactHeight = 4230;
constexpr int kDayListHeight = 2620;
constexpr int kFullDayListHeight = 9340;
constexpr int kCellLabelLeft = 0, kCellListLeft = 720, kCellTop = 3580;
constexpr int kCellLabelWidth = 735, kCellListWidth = 2960, kCellHeight = 420;

const char* const kDayIndexProperty = "dayCellIndex";
const char* const kDayNameProperty = "spokenDay";

// A day cell is read by its date, then its subjects: the cell has the focus, not a subject.
void nameDayCell(QListWidget* list) {
  QString name = list->property(kDayNameProperty).toString();
  for (int row = 0; row < list->count(); ++row) {
    name += QStringLiteral("、") + spokenText(list->item(row)->text());
  }
  list->setAccessibleName(name);
}
constexpr int kTimerTitleColumn = 0, kTimerPictureColumn = 4;

QColor toColor(const Rgb& rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

void setColors(QWidget* widget, QPalette::ColorRole backgroundRole, const Rgb& background,
               const Rgb* text = nullptr) {
  QPalette palette = widget->palette();
  palette.setColor(backgroundRole, toColor(background));
  if (text) {
    palette.setColor(QPalette::WindowText, toColor(*text));
    palette.setColor(QPalette::Text, toColor(*text));
  }
  widget->setPalette(palette);
}

void setTextColor(QWidget* widget, const Rgb& text) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, toColor(text));
  widget->setPalette(palette);
}

QTreeWidget* makeReportList(QWidget* parent, const char* name, const QStringList& headers,
                            const QList<int>& widthsInTwips) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QLatin1String(name));
  list->setColumnCount(static_cast<int>(headers.size()));
  list->setHeaderLabels(headers);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setFont(japaneseFont(12));
  list->header()->setStretchLastSection(false);
  list->header()->setSectionsMovable(false);
  // The style's least section width (about 50 pixels at 12 pt) would widen the narrow columns
  // of the design past the list and bring up a scroll bar; a caption too long ends in "…".
  list->header()->setMinimumSectionSize(1);
  auto* captions = new ElidedCaptions;
  captions->setParent(list->header());
  list->header()->setStyle(captions);
  for (int i = 0; i < widthsInTwips.size(); ++i) {
    list->header()->resizeSection(i, twips(widthsInTwips[i]));
  }
  return list;
}

}  // namespace

MainWindow::MainWindow(AppContext& context) : context_(context) {
  initResources();
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Yotenna Version 1.1.5"));
  makeFixedWindow(this, true);

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("Form2.client"));
  setCentralWidget(client_);
  createMenus();
  createToolbar();
  createControls();

  // Load steps: centre horizontally on the design width, top at 15 twips, standard height.
  const QSize screen = context_.platform.screenSize();
  move((screen.width() - twips(kDesignWindowWidth)) / 2, twips(15));
  applyClientHeight(kStandardHeight);

  SharedState& state = context_.state;
  static constexpr std::array<int, 12> kMonthLengths{31, 28, 31, 30, 31, 30,
                                                     31, 31, 30, 31, 30, 31};
  for (int month = 1; month <= 12; ++month) {
    state.MonthDays[static_cast<size_t>(month)] = kMonthLengths[static_cast<size_t>(month - 1)];
  }
  createDayCells();
  loadViews();
  updateStartAtLoginCheck();

  clockTimer_ = new QTimer(this);
  clockTimer_->setObjectName(QStringLiteral("Timer1"));
  clockTimer_->setInterval(1000);
  // Every tick rewrites the clock; the first tick of each minute scans the timers.
  alarms_ = new AlarmController(
      context_, *this, [this](const QString& text) { showClockText(text); }, this);
  connect(clockTimer_, &QTimer::timeout, alarms_, &AlarmController::tick);
  clockTimer_->start();
  alarms_->tick();
}

void MainWindow::showClockText(const QString& text) {
  clock_->setText(text);
  // A screen reader hears of a new name at once: the name changes with the minute, not with
  // every second the label shows.
  const QString spoken = spokenClockText(text);
  if (clock_->accessibleName() != spoken) clock_->setAccessibleName(spoken);
}

void MainWindow::createMenus() {
  auto addMenu = [this](const char* name, const QString& title) {
    QMenu* menu = menuBar()->addMenu(title);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    return menu;
  };
  auto addItem = [this](QMenu* menu, const char* name, const QString& caption, const char* key,
                        auto handler) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(QKeySequence(QLatin1String(key)));
    connect(action, &QAction::triggered, this, handler);
    return action;
  };
  auto addSeparator = [](QMenu* menu, const char* name) {
    menu->addSeparator()->setObjectName(QLatin1String(name));
  };

  QMenu* file = addMenu("File", QStringLiteral("ファイル"));
  addItem(file, "new", QStringLiteral("新規作成"), "Ctrl+Q", [this] { newDataFileCommand(); });
  addItem(file, "open", QStringLiteral("開く"), "Ctrl+A", [this] { openDataFileCommand(); });
  // Toolbar button 4 from the keyboard.
  addItem(file, "tuika", QStringLiteral("選択した日に予定を追加"), "Ctrl+N",
          [this] { newScheduleEntry(); });
  addSeparator(file, "S1");
  addItem(file, "icalExport", QStringLiteral("iCalendar に書き出す…"), "",
          [this] { ExportCalendar(context_); });
  addItem(file, "icalImport", QStringLiteral("iCalendar を読み込む…"), "",
          [this] { ImportCalendar(context_, *this, this); });
  addSeparator(file, "S5");
  // No shortcut: every Ctrl+letter the menus could take is in use or spoken for.
  startAtLogin_ = file->addAction(QStringLiteral("ログイン時に起動する"));
  startAtLogin_->setObjectName(QStringLiteral("autostart"));
  startAtLogin_->setCheckable(true);
  startAtLogin_->setToolTip(QStringLiteral("ログインしたときにこのデータで Yotenna を起動します"));
  startAtLogin_->setStatusTip(startAtLogin_->toolTip());
  connect(startAtLogin_, &QAction::triggered, this, &MainWindow::setStartAtLogin);
  // The entry may change outside the program, and the data file with new and open.
  connect(file, &QMenu::aboutToShow, this, &MainWindow::updateStartAtLoginCheck);
  addSeparator(file, "S6");
  addItem(file, "end", QStringLiteral("終了"), "Ctrl+Z", [this] { close(); });

  QMenu* view = addMenu("hyouzi", QStringLiteral("表示"));
  const std::array<QString, 3> modes{QStringLiteral("コンパクト"), QStringLiteral("標準"),
                                     QStringLiteral("フル")};
  const std::array<const char*, 3> modeKeys{"Ctrl+W", "Ctrl+S", "Ctrl+X"};
  for (int i = 0; i < 3; ++i) {
    const QByteArray name = "hyo(" + QByteArray::number(i) + ")";
    QAction* action = addItem(view, name.constData(), modes[static_cast<size_t>(i)],
                              modeKeys[static_cast<size_t>(i)], [this, i] { setDisplayMode(i); });
    action->setCheckable(true);
    displayModes_[static_cast<size_t>(i)] = action;
  }
  displayModes_[1]->setChecked(true);

  QMenu* dates = addMenu("hennkou", QStringLiteral("年月日変更"));
  addItem(dates, "henka1", QStringLiteral("一日前へ"), "Ctrl+E",
          [this] { moveSelectedDate(DateMove::DayBack); });
  addItem(dates, "henka2", QStringLiteral("一日後へ"), "Ctrl+R",
          [this] { moveSelectedDate(DateMove::DayForward); });
  addSeparator(dates, "S2");
  addItem(dates, "henka3", QStringLiteral("一ヶ月前へ"), "Ctrl+D",
          [this] { moveSelectedDate(DateMove::MonthBack); });
  addItem(dates, "henka4", QStringLiteral("一ヵ月後へ"), "Ctrl+F",
          [this] { moveSelectedDate(DateMove::MonthForward); });
  addSeparator(dates, "S3");
  addItem(dates, "henka5", QStringLiteral("一年前へ"), "Ctrl+C",
          [this] { moveSelectedDate(DateMove::YearBack); });
  addItem(dates, "henka6", QStringLiteral("一年後へ"), "Ctrl+V",
          [this] { moveSelectedDate(DateMove::YearForward); });
  addSeparator(dates, "S4");
  addItem(dates, "henka7", QStringLiteral("年月日指定"), "Ctrl+T", [this] { openDateDialog(); });

  QMenu* search = addMenu("kensaku", QStringLiteral("検索"));
  addItem(search, "kensa", QStringLiteral("検索"), "Ctrl+Y", [this] { openSearchWindow(); });

  QMenu* help = addMenu("help", QStringLiteral("ヘルプ"));
  addItem(help, "tu", QStringLiteral("使い方"), "Ctrl+U", [this] {
    UsageHelpWindow window(context_, *this, this);
    window.exec();
  });
  addItem(help, "ver", QStringLiteral("バージョン情報"), "Ctrl+J", [this] {
    VersionWindow window(context_, *this, this);
    window.exec();
  });

  announceMenus(menuBar());

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

  // Position -> picture number (0 for a separator), what the button does (its name for screen
  // readers) and its tip, which says a little more and names the key that does the same.
  struct Button {
    int picture;
    const char* name;
    const char* tip;
  };
  static constexpr std::array<Button, kToolbarButtons> kButtons{{
      {1, "新規作成", "新しいデータファイルを作ります（Ctrl+Q）"},
      {2, "既存のデータを開く", "既にあるデータファイルを開きます（Ctrl+A）"},
      {0, nullptr, nullptr},
      {3, "選択した日に予定を追加", "選択した日の予定を編集画面で追加します（Ctrl+N）"},
      {0, nullptr, nullptr},
      {4, "一年前へ", "一年前の同じ日を表示します（Ctrl+C）"},
      {5, "一ヶ月前へ", "一ヶ月前の同じ日を表示します（Ctrl+D）"},
      {6, "一日前へ", "前の日を表示します（Ctrl+E）"},
      {7, "年月日指定", "年月日を指定して表示します（Ctrl+T）"},
      {8, "一日後へ", "次の日を表示します（Ctrl+R）"},
      {9, "一ヵ月後へ", "一ヵ月後の同じ日を表示します（Ctrl+F）"},
      {10, "一年後へ", "一年後の同じ日を表示します（Ctrl+V）"},
      {0, nullptr, nullptr},
      {11, "検索", "予定を検索します（Ctrl+Y）"},
      {0, nullptr, nullptr},
      {12, "テキストエディタを起動", "テキストエディタを起動します"},
      {13, "ファイルブラウザを起動", "ホームフォルダをファイルブラウザで開きます"},
      {14, "ペイントソフトを起動", "ペイントソフトを起動します"},
  }};
  for (int position = 1; position <= kToolbarButtons; ++position) {
    const Button& button = kButtons[static_cast<size_t>(position - 1)];
    QAction* action = nullptr;
    if (button.picture == 0) {
      action = toolbar_->addSeparator();
    } else {
      action = toolbar_->addAction(toolbarPicture(button.picture), QString());
      // The buttons show pictures only; the name is for screen readers.
      action->setIconText(QString::fromUtf8(button.name));
      action->setToolTip(QString::fromUtf8(button.tip));
      connect(action, &QAction::triggered, this,
              [this, position] { toolbarButtonClicked(position); });
    }
    action->setObjectName(QStringLiteral("Toolbar1(%1)").arg(position));
    toolbarActions_[static_cast<size_t>(position)] = action;
    QWidget* widget = toolbar_->widgetForAction(action);
    if (widget && button.name) {
      widget->setObjectName(action->objectName());
      setAccessible(widget, QString::fromUtf8(button.name));
    }
  }
  // The button that shows the buttons a narrow toolbar has no room for.
  if (auto* more = toolbar_->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"))) {
    more->setToolTip(QStringLiteral("ツールバーに入りきらないボタンを出します"));
    setAccessible(more, QStringLiteral("ツールバーの残りのボタン"));
  }
}

void MainWindow::createControls() {
  const std::array<QString, 3> filterCaptions{
      QStringLiteral("まだ"), QStringLiteral("終了したもの"), QStringLiteral("全部")};
  // The design's widths suit its 9 pt font; each button may take the room up to the next one,
  // so that its caption is not cut by the wider radio marks of today's styles.
  const std::array<QRect, 3> filterGeometry{
      twipsRect(0, 720, 840, 180), twipsRect(840, 720, 1440, 180), twipsRect(2280, 720, 735, 180)};
  for (size_t i = 0; i < 3; ++i) {
    auto* button = new QRadioButton(filterCaptions[i], client_);
    button->setObjectName(QStringLiteral("Option1(%1)").arg(i));
    button->setGeometry(filterGeometry[i].adjusted(0, -3, 0, 3));
    setAccessible(button, QStringLiteral("絞り込み ") + filterCaptions[i]);
    filterButtons_[i] = button;
  }
  filterButtons_[0]->setChecked(true);
  makeOneTabStop({filterButtons_.begin(), filterButtons_.end()});
  // However a button comes to be checked (a click, an arrow key, a screen reader's "toggle"),
  // the day list follows it. An unchecked button says nothing: its partner says it.
  for (QRadioButton* button : filterButtons_) {
    connect(button, &QRadioButton::toggled, this, [this](bool checked) {
      if (checked) filterChanged();
    });
  }

  heading_ = new CaptionLabel(client_);
  heading_->setObjectName(QStringLiteral("Label2"));
  heading_->setGeometry(twipsRect(2760, 440, 6495, 525));
  heading_->setAlignment(Qt::AlignCenter);
  heading_->setFont(japaneseFont(27.75, true));
  heading_->setToolTip(QStringLiteral("年月日"));

  clock_ = new CaptionLabel(client_);
  clock_->setObjectName(QStringLiteral("Label3"));
  clock_->setGeometry(twipsRect(9240, 435, 3135, 515));
  clock_->setFont(japaneseFont(11.25, true));
  clock_->setWordWrap(true);
  clock_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  clock_->setToolTip(QStringLiteral("現在の日付け"));
  // Its name is the time it shows (see showClockText); the tip describes it.
  clock_->setAccessibleDescription(clock_->toolTip());

  dayList_ = makeReportList(client_, "ListView1",
                            {QStringLiteral("件名"), QStringLiteral("内容"), QStringLiteral("終了"),
                             QStringLiteral("削除")},
                            {3880, 7000, 700, 700});
  dayList_->setGeometry(twipsRect(0, 960, 12390, kDayListHeight));
  dayList_->setToolTip(QStringLiteral("予定が表示されます、データをクリックすると編集できます"));
  setAccessible(dayList_, QStringLiteral("選択した日の予定"));
  makeSpokenReportList(dayList_);
  connect(dayList_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { openDayListRow(dayList_->indexOfTopLevelItem(item)); });
  dayList_->installEventFilter(this);

  timerList_ =
      makeReportList(client_, "ListView2",
                     {QStringLiteral("題名"), QStringLiteral("種類"), QStringLiteral("いつ？"),
                      QStringLiteral("時間"), QStringLiteral("画像データ")},
                     {1500, 680, 1770, 700, 310});
  timerList_->setGeometry(twipsRect(7320, 3565, 5055, 6750));
  timerList_->setToolTip(QStringLiteral("タイマーのデータが表示されます"));
  setAccessible(timerList_, QStringLiteral("タイマーの一覧"));
  makeSpokenReportList(timerList_);
  // The columns are fitted to the texts (fitTimerColumns); a shortened cell ends in "…", a
  // picture path at its start so that the file name stays in sight.
  timerList_->setItemDelegate(new ElidedCells(Qt::ElideRight, timerList_));
  timerList_->setItemDelegateForColumn(kTimerPictureColumn,
                                       new ElidedCells(Qt::ElideLeft, timerList_));
  timerList_->viewport()->installEventFilter(this);
  connect(timerList_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
    openTimerListRow(timerList_->indexOfTopLevelItem(item));
  });
  timerList_->installEventFilter(this);
}

void MainWindow::createDayCells() {
  // Element 0 holds the design; elements 1-30 copy it: days 1-15 in the left column,
  // 16-31 in the right one (labels 5 label widths, lists 1.243 list widths to the right).
  auto* rows = new GlyphHeightRows(client_);
  for (int k = 0; k < kDayCells; ++k) {
    double labelLeft = kCellLabelLeft;
    double listLeft = kCellListLeft;
    int row = k;
    if (k >= 15) {
      labelLeft += 5.0 * kCellLabelWidth;
      listLeft += 1.243 * kCellListWidth - kCellListWidth + kCellListWidth;
      listLeft = kCellListLeft + 1.243 * kCellListWidth;
      row = k - 15;
    }
    auto* label = new QLabel(client_);
    label->setObjectName(QStringLiteral("Label1(%1)").arg(k));
    label->setGeometry(
        twipsRect(labelLeft, kCellTop + row * kCellHeight, kCellLabelWidth, kCellHeight));
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    label->setFont(japaneseFont(12, true));
    label->setToolTip(QStringLiteral("クリックすると予定が表示されます"));
    label->setProperty(kDayIndexProperty, k);
    label->installEventFilter(this);
    label->setVisible(k == 0);

    auto* list = new QListWidget(client_);
    list->setObjectName(QStringLiteral("List1(%1)").arg(k));
    list->setGeometry(
        twipsRect(listLeft, kCellTop + row * kCellHeight, kCellListWidth, kCellHeight));
    list->setToolTip(QStringLiteral("件名が表示されます"));
    list->setAccessibleDescription(list->toolTip());
    // Two subjects fit in the cell's height; more scroll. A long subject ends in "…".
    list->setItemDelegate(rows);
    list->setUniformItemSizes(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setProperty(kDayIndexProperty, k);
    list->viewport()->setProperty(kDayIndexProperty, k);
    list->viewport()->installEventFilter(this);
    // The grid is one stop of the Tab key, the selected day's cell (see markSelectedDayCell);
    // the arrow keys move the selected day from there.
    list->setFocusPolicy(Qt::NoFocus);
    list->installEventFilter(this);
    list->setVisible(k == 0);

    dayLabels_[static_cast<size_t>(k)] = label;
    dayLists_[static_cast<size_t>(k)] = list;
  }
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
  SharedState& state = context_.state;
  const QDate selected(state.SelYear, state.SelMonth, state.SelDay);
  heading_->setText(dayHeading(selected));
  const QDate today = context_.platform.now().date();
  const MonthGrid layout = monthGridLayout(state.SelYear, state.SelMonth, today);
  state.MonthDays[2] = layout.februaryLength;
  for (size_t i = 0; i < static_cast<size_t>(kDayCells); ++i) {
    const DayCell& cell = layout.cells[i];
    QLabel* label = dayLabels_[i];
    QListWidget* list = dayLists_[i];
    label->setVisible(cell.visible);
    list->setVisible(cell.visible);
    if (!cell.visible) continue;
    label->setText(cell.caption);
    const int day = static_cast<int>(i) + 1;
    // Today is marked by its colour on the screen and by its name for a screen reader.
    QString dayName =
        QStringLiteral("%1月%2日 %3曜日").arg(state.SelMonth).arg(day).arg(cell.caption.right(1));
    if (QDate(state.SelYear, state.SelMonth, day) == today) dayName += QStringLiteral(" 今日");
    label->setAccessibleName(dayName);
    list->setProperty(kDayNameProperty, dayName);
    nameDayCell(list);
  }
  PaintMonthCalendar(layout);
}

void MainWindow::ShowDayHoliday() {
  const SharedState& state = context_.state;
  const QDate selected(state.SelYear, state.SelMonth, state.SelDay);
  dayList_->clear();
  setTextColor(heading_, dayHeadingColor(selected));
  if (const std::optional<DayListRow> row = holidayRow(selected)) AddScheduleRow(*row);
}

void MainWindow::LoadDaySchedules() {
  const SharedState& state = context_.state;
  const QDate selected(state.SelYear, state.SelMonth, state.SelDay);
  heading_->setText(dayHeading(selected));
  const DayEntries entries =
      loadDayEntries(state.CurrentDataFile, selected, static_cast<DayFilter>(dayFilter()));
  for (const DayListRow& row : entries.rows) AddScheduleRow(row);
  if (!entries.status) noteFailure(entries.status.message());
  markSelectedDayCell();
}

void MainWindow::markSelectedDayCell() {
  const SharedState& state = context_.state;
  const bool gridHasFocus = std::any_of(dayLists_.begin(), dayLists_.end(),
                                        [](const QListWidget* list) { return list->hasFocus(); });
  const size_t selected = static_cast<size_t>(std::clamp(state.SelDay, 1, kDayCells) - 1);
  for (size_t i = 0; i < dayLists_.size(); ++i) {
    dayLists_[i]->setFocusPolicy(i == selected ? Qt::StrongFocus : Qt::NoFocus);
  }
  // The focus follows the selected day while it is in the grid.
  if (gridHasFocus) dayLists_[selected]->setFocus(Qt::OtherFocusReason);
}

void MainWindow::AddScheduleRow(const DayListRow& row) {
  dayList_->addTopLevelItem(new QTreeWidgetItem(row.columns()));
}

void MainWindow::RefreshMonthView() {
  const SharedState& state = context_.state;
  for (int i = 0; i < state.MonthDays[static_cast<size_t>(state.SelMonth)]; ++i) {
    dayLists_[static_cast<size_t>(i)]->clear();
  }
  const MonthGrid grid = loadMonthGrid(state.CurrentDataFile, state.SelYear, state.SelMonth,
                                       context_.platform.now().date());
  PaintMonthCalendar(grid);
  for (size_t i = 0; i < static_cast<size_t>(kDayCells); ++i) {
    if (!grid.cells[i].visible) continue;
    dayLists_[i]->addItems(grid.cells[i].items);
    nameDayCell(dayLists_[i]);
  }
  if (!grid.status) noteFailure(grid.status.message());
}

void MainWindow::PaintMonthCalendar(const MonthGrid& grid) {
  for (size_t i = 0; i < static_cast<size_t>(kDayCells); ++i) {
    const DayCell& cell = grid.cells[i];
    if (!cell.visible) continue;
    setColors(dayLabels_[i], QPalette::Window, cell.labelBackground, &cell.labelText);
    setColors(dayLists_[i], QPalette::Base, cell.listBackground);
  }
}

void MainWindow::LoadTimerList() {
  timerList_->clear();
  const TimerList timers = loadTimerList(context_.state.CurrentDataFile);
  QList<QTreeWidgetItem*> items;
  items.reserve(timers.rows.size());
  for (const TimerListRow& row : timers.rows) items.append(new QTreeWidgetItem(row.columns()));
  timerList_->addTopLevelItems(items);
  fitTimerColumns();
  if (!timers.status) noteFailure(timers.status.message());
  emit timerListLoaded();
}

void MainWindow::fitTimerColumns() {
  QTreeWidget* list = timerList_;
  QHeaderView* header = list->header();
  const QFontMetricsF cellFont(list->font());
  const QFontMetricsF captionFont(header->font());
  // What the style keeps free around a cell's text and around a caption.
  const int cellMargins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
  const int captionMargins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin);
  // The list is rebuilt at every refresh, mostly with the same texts: their widths are kept.
  static QHash<QString, int> knownWidths;
  static QString knownFont;
  if (knownFont != list->font().key() || knownWidths.size() > 20000) {
    knownWidths.clear();
    knownFont = list->font().key();
  }
  auto cellWidth = [&](const QString& text) {
    auto known = knownWidths.constFind(text);
    if (known == knownWidths.cend()) {
      known =
          knownWidths.insert(text, static_cast<int>(std::ceil(cellFont.horizontalAdvance(text))));
    }
    return *known + cellMargins;
  };

  const int columns = list->columnCount();
  QList<ColumnNeed> needs(columns);
  for (int column = 0; column < columns; ++column) {
    needs[column].whole = static_cast<int>(std::ceil(
                              captionFont.horizontalAdvance(list->headerItem()->text(column)))) +
                          captionMargins;
  }
  int fileName = 0;  // "…" and the longest file name
  for (int row = 0; row < list->topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = list->topLevelItem(row);
    for (int column = 0; column < columns; ++column) {
      needs[column].whole = std::max(needs[column].whole, cellWidth(item->text(column)));
    }
    const QString picture = item->text(kTimerPictureColumn);
    if (!picture.isEmpty()) {
      fileName = std::max(fileName, cellWidth(QChar(0x2026) + QFileInfo(picture).fileName()));
    }
  }
  // Kind, when and time always show in full; the title and the picture path share the rest,
  // the path by its file name.
  needs[kTimerTitleColumn].share = needs[kTimerTitleColumn].whole;
  needs[kTimerPictureColumn].share = std::max(fileName, needs[kTimerPictureColumn].whole / 2);
  const QList<int> widths = fitColumns(needs, list->viewport()->width());
  for (int column = 0; column < columns; ++column) header->resizeSection(column, widths[column]);
}

// --- refresh sequences -------------------------------------------------------------------

void MainWindow::clampSelectedDay() {
  SharedState& state = context_.state;
  const CalendarDate clamped = clampDayToMonth({state.SelYear, state.SelMonth, state.SelDay});
  state.SelDay = clamped.day;
}

void MainWindow::loadDateViews() {
  ShowDateHeading();
  ShowDayHoliday();
  LoadDaySchedules();
  RefreshMonthView();
}

void MainWindow::loadViews() {
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

void MainWindow::noteFailure(const QString& message) {
  if (pendingFailure_.isEmpty()) pendingFailure_ = message;
}

void MainWindow::reportFailure() {
  if (pendingFailure_.isEmpty()) return;
  const QString message = pendingFailure_;
  pendingFailure_.clear();
  warn(context_.platform, message);
}

// --- commands ----------------------------------------------------------------------------

void MainWindow::toolbarButtonClicked(int position) {
  switch (position) {
    case 1:
      newDataFileCommand();
      break;
    case 2:
      openDataFileCommand();
      break;
    case 4:
      newScheduleEntry();
      break;
    case 6:
      moveSelectedDate(DateMove::YearBack);
      break;
    case 7:
      moveSelectedDate(DateMove::MonthBack);
      break;
    case 8:
      moveSelectedDate(DateMove::DayBack);
      break;
    case 9:
      openDateDialog();
      break;
    case 10:
      moveSelectedDate(DateMove::DayForward);
      break;
    case 11:
      moveSelectedDate(DateMove::MonthForward);
      break;
    case 12:
      moveSelectedDate(DateMove::YearForward);
      break;
    case 14:
      openSearchWindow();
      break;
    case 16:
    case 17:
    case 18:
      startExternalProgram(position - 16);
      break;
    default:
      // Separators (3, 5, 13, 15) do nothing.
      break;
  }
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

void MainWindow::setDisplayMode(int mode) {
  for (QAction* action : displayModes_) action->setChecked(false);
  const int windowHeight = mode == 0 ? kCompactHeight : kStandardHeight;
  const int dayListHeight = mode == 2 ? kFullDayListHeight : kDayListHeight;
  dayList_->setFixedHeight(twips(dayListHeight));
  // In フル the day list lies over the month grid and the timer list.
  dayList_->raise();
  applyClientHeight(windowHeight);
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

FileDialogState& MainWindow::fileDialog() {
  if (!dialogHost_) {
    dialogHost_ = new StartupWindow(context_);
    dialogHost_->load();
  }
  return dialogHost_->dialogState();
}

MainWindow::~MainWindow() { delete dialogHost_.data(); }

StartupWindow* MainWindow::dialogHost() const { return dialogHost_; }

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

void MainWindow::filterChanged() { refreshDayList(); }

namespace {

QStringList rowTexts(const QTreeWidget* list, int row) {
  QStringList texts;
  const QTreeWidgetItem* item = list->topLevelItem(row);
  if (!item) return texts;
  for (int column = 0; column < list->columnCount(); ++column) texts.append(item->text(column));
  return texts;
}

}  // namespace

void MainWindow::startExternalProgram(int which) {
  const LaunchPlan plan = planLaunch(
      static_cast<ExternalProgram>(which),
      [](const QString& name) { return QStandardPaths::findExecutable(name); }, QDir::homePath(),
      queryDefaultTextEditor);
  if (plan.program.isEmpty()) {
    warn(context_.platform, plan.missingMessage);
    return;
  }
  if (!context_.platform.startProgram(plan.program, plan.arguments)) {
    warn(context_.platform, startFailedMessage(plan.program));
  }
}

void MainWindow::newScheduleEntry() {
  const SharedState& state = context_.state;
  heading_->setText(dayHeading(QDate(state.SelYear, state.SelMonth, state.SelDay)));
  EditorWindow editor(context_, *this, this);
  editor.prepareNewEntry(heading_->text());
  editor.exec();
}

void MainWindow::openDayListRow(int row) {
  const QStringList columns = rowTexts(dayList_, row);
  if (columns.isEmpty()) return;
  EditorWindow editor(context_, *this, this);
  editor.openScheduleRow(heading_->text(), columns);
  editor.exec();
}

void MainWindow::openTimerListRow(int row) {
  const QStringList columns = rowTexts(timerList_, row);
  if (columns.isEmpty()) return;
  EditorWindow editor(context_, *this, this);
  if (editor.openTimerRow(columns)) editor.exec();
}

int MainWindow::dayFilter() const {
  for (int i = 0; i < 3; ++i) {
    if (filterButtons_[static_cast<size_t>(i)]->isChecked()) return i;
  }
  return 0;
}

// --- events ------------------------------------------------------------------------------

bool MainWindow::listKeyPressed(const QKeyEvent& key) {
  if (key.modifiers() & ~(Qt::KeypadModifier)) return false;
  if (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter && key.key() != Qt::Key_Space) {
    return false;
  }
  // Enter or Space opens the current row as a click does.
  if (dayList_->hasFocus()) {
    if (QTreeWidgetItem* item = dayList_->currentItem()) {
      openDayListRow(dayList_->indexOfTopLevelItem(item));
    }
  } else if (timerList_->hasFocus()) {
    if (QTreeWidgetItem* item = timerList_->currentItem()) {
      openTimerListRow(timerList_->indexOfTopLevelItem(item));
    }
  }
  return true;
}

bool MainWindow::dayCellKeyPressed(const QKeyEvent& key) {
  if (key.modifiers() & ~(Qt::KeypadModifier)) return false;
  const int day = context_.state.SelDay;
  const int monthLength = context_.state.MonthDays[static_cast<size_t>(context_.state.SelMonth)];
  // Days 1-15 stand in the left column, 16-31 in the right one, a row apart each.
  int target = 0;
  switch (key.key()) {
    case Qt::Key_Up:
      target = day - 1;
      break;
    case Qt::Key_Down:
      target = day + 1;
      break;
    case Qt::Key_Left:
      target = day >= 16 && day <= 30 ? day - 15 : 0;
      break;
    case Qt::Key_Right:
      target = day <= 15 ? day + 15 : 0;
      break;
    case Qt::Key_Home:
      target = 1;
      break;
    case Qt::Key_End:
      target = monthLength;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      newScheduleEntry();
      return true;
    default:
      return false;
  }
  if (target >= 1 && target <= monthLength && target != day) selectDay(target - 1);
  return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // The vertical scroll bar comes and goes with the number of timers.
  if (event->type() == QEvent::Resize && timerList_ && watched == timerList_->viewport()) {
    fitTimerColumns();
  }
  if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
    const QVariant index = watched->property(kDayIndexProperty);
    if (index.isValid() && qobject_cast<QListWidget*>(watched)) {
      // The focus's faint frame inside a small cell is easily missed: the day's number is
      // framed while its cell has the keyboard.
      QLabel* label = dayLabels_[static_cast<size_t>(index.toInt())];
      label->setFrameStyle(event->type() == QEvent::FocusIn ? QFrame::Box | QFrame::Plain
                                                            : QFrame::NoFrame);
      label->setLineWidth(2);
    }
  }
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == dayList_ || watched == timerList_) return listKeyPressed(*key);
    const QVariant index = watched->property(kDayIndexProperty);
    if (index.isValid() && qobject_cast<QListWidget*>(watched)) return dayCellKeyPressed(*key);
  }
  if (event->type() == QEvent::MouseButtonPress) {
    const QVariant index = watched->property(kDayIndexProperty);
    if (index.isValid() && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      selectDay(index.toInt());
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!confirm(context_.platform, QStringLiteral("終了しますか？"), QStringLiteral("確認"))) {
    event->ignore();
    return;
  }
  event->accept();
  if (context_.quit) context_.quit();
}
