#include "dialogs/widgets/SearchWindow.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

#include "calendar/TimerList.h"
#include "dialogs/Search.h"
#include "editor/widgets/EditorWindow.h"
#include "ui/Accessibility.h"
#include "ui/Contrast.h"
#include "ui/UiSupport.h"

namespace {

const QString kKindGroup = QStringLiteral("検索したい項目");

struct Column {
  QString heading;
  int width;  // twips
};
const std::array<Column, 5> kColumns{{{QStringLiteral("日付け"), 1700},
                                      {QStringLiteral("件名"), 3300},
                                      {QStringLiteral("内容"), 5860},
                                      {QStringLiteral("終了"), 700},
                                      {QStringLiteral("削除"), 700}}};

}  // namespace

SearchWindow::SearchWindow(AppContext& context, MainViews& views, QWidget* parent)
    : QDialog(parent), context_(context), views_(views) {
  setObjectName(QStringLiteral("Form6"));
  context.openWindows.search = this;
  setWindowTitle(QStringLiteral("検索しま～す"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(twips(12345), twips(9555));

  createResultList(createSearchControls());

  setTabOrder(searchText_, kinds_[0]);
  for (size_t i = 1; i < kinds_.size(); ++i) setTabOrder(kinds_[i - 1], kinds_[i]);
  setTabOrder(kinds_[3], start_);
  setTabOrder(start_, close_);
  setTabOrder(close_, results_);

  kinds_[0]->setChecked(true);
  searchText_->setFocus();

  const QRect main = views_.mainWindowGeometry();
  move(main.left(), main.top() + twips(1000));
}

int SearchWindow::createSearchControls() {
  auto* heading = new QLabel(QStringLiteral("検索したい文字を入力してください"), this);
  heading->setObjectName(QStringLiteral("Label1"));
  heading->setGeometry(twipsRect(0, 0, 12305, 835));
  heading->setAlignment(Qt::AlignCenter);
  heading->setAutoFillBackground(true);
  // A fixed white band: its text is black under any palette.
  setFixedGround(heading, Qt::white);
  heading->setFont(popFont(36));

  auto* frame = new QGroupBox(QStringLiteral("検索したい項目を選択してください"), this);
  frame->setObjectName(QStringLiteral("Frame1"));
  frame->setGeometry(twipsRect(0, 890, 8415, 735));
  frame->setFont(japaneseFont(12, true));

  struct Kind {
    QString caption;
    double left, width, height;
  };
  const std::array<Kind, 4> kinds{{{QStringLiteral("件名で検索"), 240, 1695, 225},
                                   {QStringLiteral("内容で検索"), 2160, 1695, 240},
                                   {QStringLiteral("終了していないもの"), 3960, 2655, 240},
                                   {QStringLiteral("終了したもの"), 6480, 1815, 240}}};
  // A CJK font is taller than the one the frame was drawn for: the buttons stay below the
  // frame's caption and are as tall as a line of their text, and the frame grows to hold them.
  // Everything below the frame moves down by as much; the result list gives up the room.
  const int top = std::max(twips(360), frame->contentsRect().top());
  const int lineHeight = QFontMetrics(japaneseFont(12, true)).height() + 2;
  int frameHeight = frame->height();
  for (size_t i = 0; i < kinds.size(); ++i) {
    auto* button = new QRadioButton(kinds[i].caption, frame);
    button->setObjectName(QStringLiteral("Option1(%1)").arg(i));
    button->setFont(japaneseFont(12, true));
    const int height = std::max(twips(kinds[i].height), lineHeight);
    button->setGeometry(twips(kinds[i].left), top, twips(kinds[i].width), height);
    frameHeight = std::max(frameHeight, top + height + frame->contentsMargins().bottom());
    setAccessible(button, kKindGroup + u' ' + kinds[i].caption);
    connect(button, &QRadioButton::toggled, this, [this](bool checked) {
      if (checked) kindChanged();
    });
    kinds_[i] = button;
  }
  makeOneTabStop({kinds_.begin(), kinds_.end()});
  const int growth = frameHeight - frame->height();
  frame->resize(frame->width(), frameHeight);

  searchText_ = new QLineEdit(this);
  searchText_->setObjectName(QStringLiteral("Text1"));
  searchText_->setGeometry(twipsRect(0, 1680, 8415, 375).translated(0, growth));
  searchText_->setFont(japaneseFont(12));
  searchText_->setToolTip(QStringLiteral("検索したい文字を入力してください（文字の一部でも可）"));
  setAccessible(searchText_, QStringLiteral("検索したい文字"));
  searchText_->installEventFilter(this);
  // Enter in the box searches, as 検索開始 does.
  connect(searchText_, &QLineEdit::returnPressed, this, &SearchWindow::startSearch);

  auto button = [this, growth](const char* name, const QString& caption, QRect rect) {
    auto* item = new QPushButton(caption, this);
    item->setObjectName(QLatin1String(name));
    item->setGeometry(rect.translated(0, growth));
    // Enter clicks the button that has the focus, and no other (see keyPressEvent).
    item->setAutoDefault(false);
    item->setToolTip(caption);
    setAccessible(item, caption);
    return item;
  };
  start_ = button("Command1", QStringLiteral("検索開始"), twipsRect(0, 2085, 6180, 615));
  close_ = button("Command2", QStringLiteral("閉じる"), twipsRect(6160, 2085, 6180, 615));
  connect(start_, &QPushButton::clicked, this, &SearchWindow::startSearch);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);

  // How many were found, beside the text; a screen reader hears it as soon as it shows.
  found_ = makeAnnouncer(this, QStringLiteral("Label2"));
  found_->setGeometry(twipsRect(8520, 1680, 3780, 375).translated(0, growth));
  found_->setFont(japaneseFont(12));
  return growth;
}

void SearchWindow::createResultList(int moveDown) {
  results_ = new QTreeWidget(this);
  results_->setObjectName(QStringLiteral("ListView1"));
  results_->setGeometry(twipsRect(0, 2700, 12360, 6880).adjusted(0, moveDown, 0, 0));
  results_->setFont(japaneseFont(12));
  results_->setRootIsDecorated(false);
  results_->setUniformRowHeights(true);
  results_->setAllColumnsShowFocus(true);
  results_->setSelectionBehavior(QAbstractItemView::SelectRows);
  results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  results_->setToolTip(QStringLiteral("検索結果"));
  setAccessible(results_, QStringLiteral("検索結果"));
  makeSpokenReportList(results_);

  QStringList headings;
  for (const Column& column : kColumns) headings << column.heading;
  results_->setColumnCount(static_cast<int>(headings.size()));
  results_->setHeaderLabels(headings);
  QHeaderView* header = results_->header();
  header->setStretchLastSection(false);
  header->setSectionsMovable(false);
  // The two flag columns are narrower than a header's usual minimum, yet wide enough for
  // their two characters.
  header->setMinimumSectionSize(
      std::min(header->minimumSectionSize(),
               QFontMetrics(results_->font()).horizontalAdvance(QStringLiteral("まだ")) + 8));
  for (size_t i = 0; i < kColumns.size(); ++i) {
    header->resizeSection(static_cast<int>(i), twips(kColumns[i].width));
  }
  // A date with its weekday must show whole; where the font is wider than the one the
  // columns were drawn for, the date column takes what it lacks from the content column.
  const int dateWidth =
      QFontMetrics(results_->font()).horizontalAdvance(QStringLiteral("0000/00/00(水)")) +
      2 * results_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8;
  const int lacking = dateWidth - header->sectionSize(0);
  if (lacking > 0) {
    header->resizeSection(0, dateWidth);
    header->resizeSection(2, header->sectionSize(2) - lacking);
  }

  connect(results_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { openResultRow(item); });
  results_->installEventFilter(this);
}

int SearchWindow::searchKind() const {
  for (size_t i = 0; i < kinds_.size(); ++i) {
    if (kinds_[i]->isChecked()) return static_cast<int>(i);
  }
  return -1;
}

void SearchWindow::kindChanged() {
  // The text of a greyed box stays, ready for when a text search is chosen again.
  const bool usesText = searchUsesText(searchKind());
  searchText_->setEnabled(usesText);
  if (usesText) searchText_->setFocus();
}

void SearchWindow::startSearch() {
  results_->clear();
  Platform& platform = context_.platform;
  const SearchResult result =
      searchSchedule(context_.state.CurrentDataFile, searchKind(), searchText_->text());
  if (result.refusal) {
    platform.messageBox(result.refusal->text, result.refusal->title, result.refusal->icon,
                        MessageButtons::Ok);
    return;
  }
  QList<QTreeWidgetItem*> rows;
  rows.reserve(result.records.size());
  for (const ScheduleRecord& record : result.records) {
    if (const std::optional<SearchResultRow> row = searchResultRow(record)) {
      rows.append(new QTreeWidgetItem(row->columns()));
    }
  }
  results_->addTopLevelItems(rows);
  announce(found_, rows.isEmpty() ? QStringLiteral("該当する予定がありません")
                                  : QStringLiteral("%1件見つかりました").arg(rows.size()));
  // What was found before the file failed stays listed; the reason is told once.
  if (!result.status) warn(platform, result.status.message());
}

void SearchWindow::openResultRow(const QTreeWidgetItem* item) {
  if (!item) return;
  // The row is a snapshot: the editor gets its texts and finds the entry in the file by them.
  QStringList columns;
  for (int i = 0; i < results_->columnCount(); ++i) columns << item->text(i);
  EditorWindow editor(context_, views_, this);
  editor.openScheduleRow(columns.value(0), columns.mid(1));
  editor.exec();
}

bool SearchWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == searchText_ && event->type() == QEvent::FocusIn) {
    context_.platform.requestHiraganaInput(searchText_);
  } else if (watched == results_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
      // From the keyboard, Enter or Space opens the selected row as a click does.
      openResultRow(results_->currentItem());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void SearchWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled()) {
        button->click();
      }
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}
