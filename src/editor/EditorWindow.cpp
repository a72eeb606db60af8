#include "editor/EditorWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTextCursor>
#include <algorithm>

#include "app/UiSupport.h"
#include "editor/ScheduleOperations.h"
#include "editor/TimerOperations.h"
#include "shared/DateFormat.h"

using editorinput::twoDigits;
using editorinput::wholeInteger;

namespace {

constexpr int kSubjectLimit = 20;
constexpr int kContentLimit = 50;
constexpr int kTitleLimit = 20;

const QColor kScheduleColour(192, 255, 192);
const QColor kTimerColour(192, 192, 255);

const QString kOnce = QStringLiteral("一回");
const QString kWeekly = QStringLiteral("毎週");
const QString kDaily = QStringLiteral("毎日");

QStringList numberItems(int first, int last) {
  QStringList items;
  for (int value = first; value <= last; ++value) items << twoDigits(value);
  return items;
}

void paintBackground(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  // Buttons fill with their own role, not the window's.
  palette.setColor(widget->backgroundRole(), colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

// A typed character as the filter sees it: Enter 13, Backspace 8, a printable character its
// code; -1 for keys that type nothing (arrows, Tab, Delete, shortcuts), which always pass.
int typedCode(const QKeyEvent& key) {
  if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) return 13;
  if (key.key() == Qt::Key_Backspace) return 8;
  const QString text = key.text();
  if (text.isEmpty()) return -1;
  const char16_t first = text.front().unicode();
  if (first < 0x20 || first == 0x7f) return -1;
  return first;
}

bool isDigitCode(int code) { return code >= '0' && code <= '9'; }

// A one-line box keeps what fits when more is typed or pasted; a text set by the program (a
// stored record) is left whole so that it still matches the file.
void limitTyping(QLineEdit* edit, int limit) {
  QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, limit](const QString& text) {
    const qsizetype excess = text.size() - limit;
    if (excess <= 0) return;
    const int end = edit->cursorPosition();
    const int start = std::max(0, end - static_cast<int>(excess));
    QString kept = text;
    kept.remove(start, end - start);
    if (kept.size() > limit) kept.truncate(limit);
    edit->setText(kept);
    edit->setCursorPosition(std::min(start, static_cast<int>(kept.size())));
  });
}

// A caption beside a field, placed by its top-left corner.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, double left, double top) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->setFont(japaneseFont(12, true));
  label->adjustSize();
  label->move(twips(left), twips(top));
  return label;
}

// An editable combo box for a number: a list to choose from, digits typed through the filter.
QComboBox* digitCombo(QWidget* parent, const char* name, QRect rect, const QStringList& items,
                      const QString& tip, const QString& accessibleName) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QLatin1String(name));
  box->setGeometry(rect);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  // Completion would type characters the keyboard filter never saw.
  box->setCompleter(nullptr);
  // Digits only: the input method stays off, so every character arrives as a key.
  box->setAttribute(Qt::WA_InputMethodEnabled, false);
  box->lineEdit()->setAttribute(Qt::WA_InputMethodEnabled, false);
  box->addItems(items);
  box->setCurrentIndex(-1);
  box->setToolTip(tip);
  setAccessible(box, accessibleName);
  return box;
}

// Shrinks a control's font, a quarter point at a time, until text fits in room pixels. The
// layout was drawn for a narrower font than some systems have; this keeps every character
// visible instead of clipping the ends.
void shrinkFontToFit(QWidget* widget, const QString& text, int room) {
  QFont font = widget->font();
  while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(text) > room) {
    font.setPointSizeF(font.pointSizeF() - 0.25);
  }
  widget->setFont(font);
}

void fitButtonCaption(QPushButton* button) {
  shrinkFontToFit(button, button->text(), button->width() - twips(120));
}

// The widest number a combo box holds must show whole beside its arrow.
void fitDigits(QComboBox* box, int digits) {
  QStyleOptionComboBox option;
  option.initFrom(box);
  option.editable = true;
  option.frame = true;
  const QRect field =
      box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
  // The line edit keeps a few pixels of margin and its cursor.
  shrinkFontToFit(box, QString(digits, u'0'), field.width() - 6);
}

// A coloured panel with its heading at the top. The blank the font keeps above its glyphs is
// left out, so that a tall font's glyphs still end above the fields lying over the panel.
class PanelHeading : public QLabel {
 public:
  PanelHeading(const QString& text, const QColor& colour, QWidget* parent) : QLabel(text, parent) {
    setFont(japaneseFont(36, true));
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    paintBackground(this, colour);
    const QFontMetrics metrics(font());
    blankAbove_ = std::max(0, metrics.ascent() + metrics.tightBoundingRect(text).top() - 2);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(rect().translated(0, -blankAbove_), int(alignment()), text());
  }

 private:
  int blankAbove_ = 0;
};

}  // namespace

int filterTypedKey(int code, qsizetype currentLength, int limit, TypedKeys keys) {
  if (code == 13) return 0;
  switch (keys) {
    case TypedKeys::Any:
      return code;
    case TypedKeys::DigitsNoBackspace:
      return isDigitCode(code) ? code : 0;
    case TypedKeys::Digits:
      if (code == 8) return code;
      // The whole text counts, selected or not: a full field takes only Backspace.
      if (limit > 0 && currentLength >= limit) return 0;
      return isDigitCode(code) ? code : 0;
  }
  return 0;
}

EditorWindow::EditorWindow(AppContext& context, MainViews& views, QWidget* parent)
    : QDialog(parent), context_(context), views_(views) {
  setObjectName(QStringLiteral("Form5"));
  context.openWindows.editor = this;
  setWindowTitle(QStringLiteral("新しいデータ？ 変更？ 削除？"));
  makeFixedWindow(this, false);
  // A dialog owned by the main window: no taskbar button of its own.
  setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
  setFixedSize(twips(10815), twips(3960));
  setFont(japaneseFont(12));

  createScheduleHalf();
  createTimerHalf();
  createBottomRow();
  setTabOrderAndKeys();
  for (QComboBox* box : {scheduleYear_, timerYear_}) fitDigits(box, 4);
  for (QComboBox* box : {scheduleMonth_, scheduleDay_, timerMonth_, timerDay_, hour_, minute_}) {
    fitDigits(box, 2);
  }
  for (QPushButton* button : findChildren<QPushButton*>()) fitButtonCaption(button);
  kinds_[0]->setChecked(true);
  placeBesideMainWindow();
}

void EditorWindow::createScheduleHalf() {
  // The coloured panel lies behind the fields, so it is made first.
  scheduleHeading_ = new PanelHeading(QStringLiteral("予定の編集"), kScheduleColour, this);
  scheduleHeading_->setObjectName(QStringLiteral("Label1"));
  scheduleHeading_->setGeometry(twipsRect(0, 0, 5400, 2985));

  makeLabel(this, "Label3", QStringLiteral("日付"), 100, 840);
  scheduleYear_ = digitCombo(this, "Combo1", twipsRect(680, 800, 975, 360), {},
                             QStringLiteral("予定の年（西暦４桁）"), QStringLiteral("予定 年"));
  makeLabel(this, "Label4", QStringLiteral("年"), 1680, 840);
  scheduleMonth_ = digitCombo(this, "Combo2", twipsRect(2040, 800, 855, 360), numberItems(1, 12),
                              QStringLiteral("予定の月"), QStringLiteral("予定 月"));
  makeLabel(this, "Label5", QStringLiteral("月"), 2920, 840);
  scheduleDay_ = digitCombo(this, "Combo3", twipsRect(3280, 800, 855, 360), numberItems(1, 31),
                            QStringLiteral("予定の日"), QStringLiteral("予定 日"));
  makeLabel(this, "Label11", QStringLiteral("日"), 4160, 840);

  makeLabel(this, "Label12", QStringLiteral("件名"), 100, 1320);
  subject_ = new QLineEdit(this);
  subject_->setObjectName(QStringLiteral("Text1"));
  subject_->setGeometry(twipsRect(680, 1200, 4575, 420));
  limitTyping(subject_, kSubjectLimit);
  subject_->setToolTip(QStringLiteral("予定の件名（２０文字まで）"));
  setAccessible(subject_, QStringLiteral("予定 件名"));

  makeLabel(this, "Label13", QStringLiteral("内容"), 100, 1800);
  content_ = new QPlainTextEdit(this);
  content_->setObjectName(QStringLiteral("Text2"));
  content_->setGeometry(twipsRect(680, 1680, 4620, 855));
  content_->setTabChangesFocus(true);
  connect(content_, &QPlainTextEdit::textChanged, this, &EditorWindow::trimContentToLimit);
  content_->setToolTip(QStringLiteral("予定の内容（５０文字まで）"));
  setAccessible(content_, QStringLiteral("予定 内容"));

  auto check = [this](const char* name, const QString& caption, QRect rect, const QString& tip) {
    auto* box = new QCheckBox(caption, this);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(rect);
    box->setFont(japaneseFont(12, true));
    paintBackground(box, kScheduleColour);
    box->setToolTip(tip);
    setAccessible(box, QStringLiteral("予定 ") + caption);
    return box;
  };
  done_ = check("Check1", QStringLiteral("終了"), twipsRect(720, 2640, 975, 300),
                QStringLiteral("済んだ予定に印を付けます"));
  deleteNext_ =
      check("Check2", QStringLiteral("次回から削除します"), twipsRect(1800, 2640, 2535, 300),
            QStringLiteral("済んだ予定を、次にデータを開いたときに削除します"));
}

void EditorWindow::createTimerHalf() {
  timerHeading_ = new PanelHeading(QStringLiteral("タイマー編集"), kTimerColour, this);
  timerHeading_->setObjectName(QStringLiteral("Label2"));
  timerHeading_->setGeometry(twipsRect(5420, 0, 5380, 2985));

  makeLabel(this, "Label6", QStringLiteral("件名"), 5520, 840);
  title_ = new QLineEdit(this);
  title_->setObjectName(QStringLiteral("Text3"));
  title_->setGeometry(twipsRect(6040, 800, 4695, 360));
  limitTyping(title_, kTitleLimit);
  title_->setToolTip(QStringLiteral("タイマーの題名（２０文字まで）"));
  setAccessible(title_, QStringLiteral("タイマー 件名"));

  kindFrame_ = new QGroupBox(QStringLiteral("タイプ"), this);
  kindFrame_->setObjectName(QStringLiteral("Frame1"));
  kindFrame_->setGeometry(twipsRect(5640, 1200, 1575, 1080));
  kindFrame_->setFont(japaneseFont(12, true));
  paintBackground(kindFrame_, kTimerColour);
  const std::array<QString, 3> kindCaptions{QStringLiteral("一回だけ"), kWeekly, kDaily};
  const std::array<QString, 3> kindTips{QStringLiteral("決めた日の決めた時刻に一度だけ鳴ります"),
                                        QStringLiteral("毎週、決めた曜日の決めた時刻に鳴ります"),
                                        QStringLiteral("毎日、決めた時刻に鳴ります")};
  // The buttons stand where the layout puts them unless the font is taller than the one it
  // was drawn for; then they move down just enough not to overlap the caption or each other,
  // and the frame grows to hold them.
  const std::array<double, 3> kindTops{220, 500, 720};
  int nextFreeTop = QFontMetrics(kindFrame_->font()).height();
  for (size_t i = 0; i < kinds_.size(); ++i) {
    auto* button = new QRadioButton(kindCaptions[i], kindFrame_);
    button->setObjectName(QStringLiteral("Option1(%1)").arg(i));
    const int top = std::max(twips(kindTops[i]), nextFreeTop);
    const int height = std::max(twips(255), button->sizeHint().height());
    button->setGeometry(twips(120), top, twips(1395), height);
    nextFreeTop = top + height;
    paintBackground(button, kTimerColour);
    button->setToolTip(kindTips[i]);
    setAccessible(button, QStringLiteral("タイプ ") + kindCaptions[i]);
    connect(button, &QRadioButton::toggled, this, &EditorWindow::updateKindFields);
    kinds_[i] = button;
  }
  if (nextFreeTop + 4 > kindFrame_->height()) {
    kindFrame_->resize(kindFrame_->width(), nextFreeTop + 4);
  }

  timerYear_ =
      digitCombo(this, "Combo4", twipsRect(7320, 1200, 855, 360), {},
                 QStringLiteral("タイマーの年（西暦４桁）"), QStringLiteral("タイマー 年"));
  yearLabel_ = makeLabel(this, "Label7", QStringLiteral("年"), 8240, 1240);
  timerMonth_ = digitCombo(this, "Combo5", twipsRect(8560, 1200, 735, 360), numberItems(1, 12),
                           QStringLiteral("タイマーの月"), QStringLiteral("タイマー 月"));
  monthLabel_ = makeLabel(this, "Label8", QStringLiteral("月"), 9360, 1240);
  timerDay_ = digitCombo(this, "Combo6", twipsRect(9600, 1200, 735, 360), numberItems(1, 31),
                         QStringLiteral("タイマーの日"), QStringLiteral("タイマー 日"));
  dayLabel_ = makeLabel(this, "Label9", QStringLiteral("日"), 10360, 1240);

  // Only the list's own weekdays can be chosen; it sits where the date fields are.
  weekday_ = new QComboBox(this);
  weekday_->setObjectName(QStringLiteral("Combo7"));
  weekday_->setGeometry(twipsRect(7320, 1200, 855, 360));
  weekday_->addItems({QStringLiteral("月"), QStringLiteral("火"), QStringLiteral("水"),
                      QStringLiteral("木"), QStringLiteral("金"), QStringLiteral("土"),
                      QStringLiteral("日")});
  weekday_->setCurrentIndex(-1);
  weekday_->setToolTip(QStringLiteral("毎週鳴らす曜日"));
  setAccessible(weekday_, QStringLiteral("タイマー 曜日"));
  weekdayLabel_ = makeLabel(this, "Label10", QStringLiteral("曜日"), 8240, 1250);

  hour_ = digitCombo(this, "Combo8", twipsRect(7320, 1560, 855, 360), numberItems(0, 23),
                     QStringLiteral("鳴らす時刻の時（00～23）"), QStringLiteral("タイマー 時"));
  makeLabel(this, "Label14", QStringLiteral("時"), 8240, 1600);
  minute_ = digitCombo(this, "Combo9", twipsRect(8560, 1560, 735, 360), numberItems(0, 59),
                       QStringLiteral("鳴らす時刻の分（00～59）"), QStringLiteral("タイマー 分"));
  makeLabel(this, "Label15", QStringLiteral("分"), 9360, 1600);

  pictureButton_ = new QPushButton(QStringLiteral("画像の選択"), this);
  pictureButton_->setObjectName(QStringLiteral("Command10"));
  pictureButton_->setGeometry(twipsRect(7320, 2280, 1215, 375));
  pictureButton_->setFont(japaneseFont(9.75));
  pictureButton_->setToolTip(QStringLiteral("タイマーが鳴ったときに出す画像を選びます"));
  setAccessible(pictureButton_, pictureButton_->text());
  connect(pictureButton_, &QPushButton::clicked, this, &EditorWindow::choosePicture);

  picture_ = new QLabel(this);
  picture_->setObjectName(QStringLiteral("Image1"));
  picture_->setGeometry(twipsRect(8640, 1965, 1455, 975));
  picture_->setScaledContents(true);
  picture_->setToolTip(QStringLiteral("タイマーが鳴ったときに出す画像"));
  setAccessible(picture_, QStringLiteral("タイマー 画像"));
  picture_->hide();

  // The empty frame where the picture goes: 8640..10080 x 1960..2920.
  const int left = twips(8640);
  const int right = twips(10080);
  const int top = twips(1960);
  const int bottom = twips(2920);
  const std::array<QRect, 4> lines{
      QRect(left, top, right - left + 1, 1), QRect(left, bottom, right - left + 1, 1),
      QRect(left, top, 1, bottom - top + 1), QRect(right, top, 1, bottom - top + 1)};
  for (size_t i = 0; i < pictureFrame_.size(); ++i) {
    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line%1").arg(i + 1));
    line->setGeometry(lines[i]);
    paintBackground(line, Qt::black);
    pictureFrame_[i] = line;
  }
}

void EditorWindow::createBottomRow() {
  auto button = [this](const char* name, const QString& caption, QRect rect, const QString& tip,
                       void (EditorWindow::*clicked)()) {
    auto* item = new QPushButton(caption, this);
    item->setObjectName(QLatin1String(name));
    item->setGeometry(rect);
    // Enter clicks the button that has the focus and no other (see keyPressEvent).
    item->setAutoDefault(false);
    item->setToolTip(tip);
    setAccessible(item, caption);
    connect(item, &QPushButton::clicked, this, clicked);
    return item;
  };
  addSchedule_ = button("Command1", QStringLiteral("追加"), twipsRect(0, 3000, 1335, 495),
                        QStringLiteral("予定を追加します"), &EditorWindow::addScheduleClicked);
  deleteSchedule_ =
      button("Command2", QStringLiteral("削除"), twipsRect(1320, 3000, 1335, 495),
             QStringLiteral("この予定を削除します"), &EditorWindow::deleteScheduleClicked);
  updateSchedule_ =
      button("Command3", QStringLiteral("更新"), twipsRect(2640, 3000, 1455, 495),
             QStringLiteral("この予定を書き換えます"), &EditorWindow::updateScheduleClicked);
  resetSchedule_ = button(
      "Command4", QStringLiteral("項目の初期化"), twipsRect(4080, 3000, 1335, 495),
      QStringLiteral("予定の項目を空にして、新しい予定にします"), &EditorWindow::resetSchedule);
  addTimer_ = button("Command6", QStringLiteral("追加"), twipsRect(5400, 3000, 1335, 495),
                     QStringLiteral("タイマーを追加します"), &EditorWindow::addTimerClicked);
  deleteTimer_ =
      button("Command7", QStringLiteral("削除"), twipsRect(6720, 3000, 1335, 495),
             QStringLiteral("このタイマーを削除します"), &EditorWindow::deleteTimerClicked);
  updateTimer_ =
      button("Command8", QStringLiteral("更新"), twipsRect(8040, 3000, 1455, 495),
             QStringLiteral("このタイマーを書き換えます"), &EditorWindow::updateTimerClicked);
  resetTimer_ = button("Command9", QStringLiteral("項目の初期化"), twipsRect(9480, 3000, 1335, 495),
                       QStringLiteral("タイマーの項目を今の日時にして、新しいタイマーにします"),
                       &EditorWindow::resetTimer);

  // The eight characters spread over the whole width, six full-width spaces apart.
  const QString characters = QStringLiteral("編集画面を閉じる");
  QString caption;
  for (QChar c : characters) {
    if (!caption.isEmpty()) caption += QString(6, QChar(0x3000));
    caption += c;
  }
  close_ = button("Command5", caption, twipsRect(0, 3480, 10815, 495),
                  QStringLiteral("何もせずに編集画面を閉じます"), &EditorWindow::reject);
  setAccessible(close_, characters);
}

void EditorWindow::setTabOrderAndKeys() {
  const QList<QWidget*> order{
      scheduleYear_, scheduleMonth_, scheduleDay_, subject_,        content_,        done_,
      deleteNext_,   title_,         timerYear_,   timerMonth_,     timerDay_,       weekday_,
      hour_,         minute_,        addSchedule_, deleteSchedule_, updateSchedule_, resetSchedule_,
      close_,        addTimer_,      deleteTimer_, updateTimer_,    resetTimer_,     pictureButton_,
      kinds_[0],     kinds_[1],      kinds_[2]};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  auto rule = [this](QWidget* field, int limit, TypedKeys keys, std::function<QWidget*()> next) {
    keyRules_.insert(field, KeyRule{limit, keys, std::move(next)});
    field->installEventFilter(this);
  };
  auto to = [](QWidget* target) { return [target] { return target; }; };
  rule(scheduleYear_, 4, TypedKeys::Digits, to(scheduleMonth_));
  rule(scheduleMonth_, 2, TypedKeys::Digits, to(scheduleDay_));
  rule(scheduleDay_, 2, TypedKeys::Digits, to(subject_));
  rule(subject_, 0, TypedKeys::Any, to(content_));
  rule(content_, 0, TypedKeys::Any, to(addSchedule_));
  rule(title_, 0, TypedKeys::Any, [this] { return fieldAfterTitle(); });
  rule(timerYear_, 4, TypedKeys::Digits, to(timerMonth_));
  rule(timerMonth_, 2, TypedKeys::Digits, to(timerDay_));
  rule(timerDay_, 2, TypedKeys::Digits, to(hour_));
  rule(weekday_, 0, TypedKeys::DigitsNoBackspace, to(hour_));
  rule(hour_, 2, TypedKeys::Digits, to(minute_));
  rule(minute_, 2, TypedKeys::Digits, to(addTimer_));
}

bool EditorWindow::eventFilter(QObject* watched, QEvent* event) {
  const auto found = keyRules_.constFind(watched);
  if (found == keyRules_.constEnd()) return QDialog::eventFilter(watched, event);
  const KeyRule& rule = found.value();

  switch (event->type()) {
    case QEvent::FocusIn:
      if (watched == subject_ || watched == content_ || watched == title_) {
        context_.platform.requestHiraganaInput(watched);
      }
      return false;
    case QEvent::InputMethod: {
      // The digit fields keep the input method off; should one still commit text, it has to
      // pass as typed digits would.
      if (rule.keys == TypedKeys::Any) return false;
      const QString commit = static_cast<QInputMethodEvent*>(event)->commitString();
      qsizetype length = fieldText(watched).size();
      for (QChar c : commit) {
        if (filterTypedKey(c.unicode(), length++, rule.limit, rule.keys) == 0) return true;
      }
      return false;
    }
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      const int code = typedCode(*key);
      if (code < 0) return false;
      if (code == 13) {
        // A field that cannot take the focus now (a disabled button) leaves it where it is.
        QWidget* next = rule.next();
        if (next && next->isEnabled() && next->isVisibleTo(this)) {
          next->setFocus(Qt::OtherFocusReason);
        }
        return true;
      }
      const QString text = code == 8 ? QString(QChar(8)) : key->text();
      const qsizetype length = fieldText(watched).size();
      for (QChar c : text) {
        if (filterTypedKey(c.unicode(), length, rule.limit, rule.keys) == 0) return true;
      }
      return false;
    }
    default:
      return false;
  }
}

void EditorWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Only a button with the focus answers Enter; the editor has no default button, so an
    // Enter in a check box never adds or deletes anything.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled()) {
      button->click();
    }
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

QString EditorWindow::fieldText(QObject* field) const {
  if (auto* box = qobject_cast<QComboBox*>(field)) return box->currentText();
  if (auto* edit = qobject_cast<QLineEdit*>(field)) return edit->text();
  if (auto* text = qobject_cast<QPlainTextEdit*>(field)) return text->toPlainText();
  return QString();
}

void EditorWindow::placeBesideMainWindow() {
  const QRect main = views_.mainWindowGeometry();
  move(main.left() + twips(770), main.top() + twips(4200));
}

void EditorWindow::fillYearLists() {
  const int thisYear = context_.platform.now().date().year();
  const int lastYear = std::min(thisYear + 10, 9999);
  // The lists are rebuilt, not appended to: however often the editor is filled, each year
  // stands in them once. The typed year stays.
  for (QComboBox* box : {scheduleYear_, timerYear_}) {
    const QString text = box->currentText();
    box->clear();
    for (int year = thisYear; year <= lastYear; ++year) box->addItem(QString::number(year));
    box->setEditText(text);
  }
}

void EditorWindow::FillEditorCombos() {
  const QDateTime now = context_.platform.now();
  hour_->setEditText(formatDateTime(now, u"hh"));
  minute_->setEditText(formatDateTime(now, u"nn"));
  setWeekday(formatDate(now.date(), u"aaa"));
  timerYear_->setEditText(formatDate(now.date(), u"yyyy"));
  timerMonth_->setEditText(formatDate(now.date(), u"mm"));
  timerDay_->setEditText(formatDate(now.date(), u"dd"));
  fillYearLists();
  showEmptyPictureFrame();
  placeBesideMainWindow();
}

void EditorWindow::PrepareEditor() {
  SharedState& state = context_.state;
  state.EditorSnapshot = prepareEditorSnapshot(state.EditorSnapshot, scheduleInput(), timerInput());
}

ScheduleInput EditorWindow::scheduleInput() const {
  return ScheduleInput{scheduleYear_->currentText(), scheduleMonth_->currentText(),
                       scheduleDay_->currentText(),  subject_->text(),
                       content_->toPlainText(),      done_->isChecked(),
                       deleteNext_->isChecked()};
}

TimerInput EditorWindow::timerInput() const {
  return TimerInput{title_->text(),
                    selectedKind(),
                    timerYear_->currentText(),
                    timerMonth_->currentText(),
                    timerDay_->currentText(),
                    weekday_->currentText(),
                    hour_->currentText(),
                    minute_->currentText(),
                    context_.state.TimerImageFile};
}

void EditorWindow::prepareNewEntry(const QString& headingText) {
  FillEditorCombos();
  subject_->clear();
  setContentText(QString());
  done_->setChecked(false);
  deleteNext_->setChecked(false);
  addSchedule_->setEnabled(true);
  deleteSchedule_->setEnabled(false);
  updateSchedule_->setEnabled(false);
  resetSchedule_->setEnabled(true);
  addTimer_->setEnabled(true);
  deleteTimer_->setEnabled(false);
  updateTimer_->setEnabled(false);
  resetTimer_->setEnabled(true);
  scheduleYear_->setEditText(headingText.mid(0, 4));
  scheduleMonth_->setEditText(headingText.mid(5, 2));
  scheduleDay_->setEditText(headingText.mid(8, 2));
  for (QComboBox* box : {scheduleYear_, scheduleMonth_, scheduleDay_}) box->setEnabled(true);
}

void EditorWindow::openScheduleRow(const QString& headingText, const QStringList& columns) {
  const QString dateText = headingText.left(10);
  if (const std::optional<QDate> date = parseDateText(dateText)) {
    scheduleYear_->setEditText(formatDate(*date, u"yyyy"));
    scheduleMonth_->setEditText(formatDate(*date, u"mm"));
    scheduleDay_->setEditText(formatDate(*date, u"dd"));
  } else {
    scheduleYear_->setEditText(dateText.mid(0, 4));
    scheduleMonth_->setEditText(dateText.mid(5, 2));
    scheduleDay_->setEditText(dateText.mid(8, 2));
  }
  subject_->setText(columns.value(0));
  setContentText(columns.value(1));
  done_->setChecked(columns.value(2) != QStringLiteral("まだ"));
  deleteNext_->setChecked(columns.value(3) != QStringLiteral("残る"));
  FillEditorCombos();
  addSchedule_->setEnabled(false);
  deleteSchedule_->setEnabled(true);
  updateSchedule_->setEnabled(true);
  resetSchedule_->setEnabled(true);
  addTimer_->setEnabled(true);
  deleteTimer_->setEnabled(false);
  updateTimer_->setEnabled(false);
  resetTimer_->setEnabled(true);
  // The date of a stored entry is its key; it cannot be changed here.
  for (QComboBox* box : {scheduleYear_, scheduleMonth_, scheduleDay_}) box->setEnabled(false);
  picture_->hide();
  PrepareEditor();
}

void EditorWindow::setTimerDefaultsFromToday() {
  const QDate today = context_.platform.now().date();
  for (QComboBox* box : {scheduleYear_, timerYear_})
    box->setEditText(QString::number(today.year()));
  for (QComboBox* box : {scheduleMonth_, timerMonth_}) {
    box->setEditText(QString::number(today.month()));
  }
  for (QComboBox* box : {scheduleDay_, timerDay_}) box->setEditText(QString::number(today.day()));
  setWeekday(formatDate(today, u"aaa"));
}

bool EditorWindow::openTimerRow(const QStringList& columns) {
  fillYearLists();
  setTimerDefaultsFromToday();
  title_->setText(columns.value(0));

  clearKinds();
  const QString kind = columns.value(1);
  const QString when = columns.value(2);
  if (kind == kOnce) {
    kinds_[0]->setChecked(true);
    timerYear_->setEditText(when.mid(0, 4));
    timerMonth_->setEditText(when.mid(5, 2));
    timerDay_->setEditText(when.mid(8, 2));
  } else if (kind == kWeekly) {
    kinds_[1]->setChecked(true);
    setWeekday(when.left(1));
  } else if (kind == kDaily) {
    kinds_[2]->setChecked(true);
  }
  updateKindFields();
  // The title is how the timer is found again; it cannot be changed here.
  title_->setEnabled(false);

  const QString time = columns.value(3);
  const qsizetype colon = time.indexOf(u':');
  const QString hourText = colon < 0 ? time : time.left(colon);
  const QString minuteText = colon < 0 ? QString() : time.mid(colon + 1);
  const std::optional<long long> hour = wholeInteger(hourText);
  const std::optional<long long> minute = wholeInteger(minuteText);
  if (hour && minute && *hour >= 0 && *hour <= 23 && *minute >= 0 && *minute <= 59) {
    hour_->setEditText(twoDigits(*hour));
    minute_->setEditText(twoDigits(*minute));
  } else {
    hour_->setEditText(hourText);
    minute_->setEditText(minuteText);
  }

  SharedState& state = context_.state;
  state.TimerImageFile = columns.value(4);
  QImage image;
  QString error;
  if (context_.platform.loadPicture(state.TimerImageFile, &image, &error)) {
    showPicture(image);
  } else {
    // A picture that has gone missing must not lock its timer away: say so, and open the
    // timer without one, so that it can be given another picture or deleted.
    warn(context_.platform, error);
    state.TimerImageFile.clear();
    showEmptyPictureFrame();
  }

  addTimer_->setEnabled(false);
  deleteTimer_->setEnabled(true);
  updateTimer_->setEnabled(true);
  PrepareEditor();
  return true;
}

int EditorWindow::selectedKind() const {
  for (size_t i = 0; i < kinds_.size(); ++i) {
    if (kinds_[i]->isChecked()) return static_cast<int>(i);
  }
  return -1;
}

void EditorWindow::clearKinds() {
  for (QRadioButton* button : kinds_) {
    // An exclusive button cannot be unchecked by itself.
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
  }
  updateKindFields();
}

void EditorWindow::updateKindFields() {
  const int kind = std::max(selectedKind(), 0);
  for (QWidget* field : {static_cast<QWidget*>(timerYear_), static_cast<QWidget*>(timerMonth_),
                         static_cast<QWidget*>(timerDay_), static_cast<QWidget*>(yearLabel_),
                         static_cast<QWidget*>(monthLabel_), static_cast<QWidget*>(dayLabel_)}) {
    field->setVisible(kind == 0);
  }
  weekday_->setVisible(kind == 1);
  weekdayLabel_->setVisible(kind == 1);
}

QWidget* EditorWindow::fieldAfterTitle() const {
  switch (std::max(selectedKind(), 0)) {
    case 1:
      return weekday_;
    case 2:
      return hour_;
    default:
      return timerYear_;
  }
}

void EditorWindow::setWeekday(const QString& weekday) {
  weekday_->setCurrentIndex(weekday_->findText(weekday));
}

void EditorWindow::setContentText(const QString& text) {
  // A stored content is shown whole, even past the limit, so that it still matches the file.
  settingContent_ = true;
  content_->setPlainText(text);
  settingContent_ = false;
}

void EditorWindow::trimContentToLimit() {
  if (settingContent_) return;
  const qsizetype excess = content_->toPlainText().size() - kContentLimit;
  if (excess <= 0) return;
  // What was just typed or pasted ends at the cursor: keep what fits of it.
  QTextCursor cursor = content_->textCursor();
  const int end = cursor.position();
  if (end < excess) return;
  cursor.setPosition(end - static_cast<int>(excess));
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void EditorWindow::showPicture(const QImage& picture) {
  picture_->setPixmap(QPixmap::fromImage(picture));
  picture_->show();
  for (QFrame* line : pictureFrame_) line->hide();
}

void EditorWindow::showEmptyPictureFrame() {
  picture_->hide();
  for (QFrame* line : pictureFrame_) line->show();
}

bool EditorWindow::takeResult(const EditorResult& result) {
  SharedState& state = context_.state;
  if (result.InputErrors) state.InputErrors = *result.InputErrors;
  if (result.SelYear) state.SelYear = *result.SelYear;
  if (result.SelMonth) state.SelMonth = *result.SelMonth;
  if (result.TimerImageFile) state.TimerImageFile = *result.TimerImageFile;
  if (result.message) {
    context_.platform.messageBox(result.message->text, result.message->title, result.message->icon,
                                 MessageButtons::Ok);
  }
  return result.closesEditor();
}

void EditorWindow::refresh(std::initializer_list<void (MainViews::*)()> views) {
  for (auto view : views) (views_.*view)();
  views_.finishRefresh();
}

void EditorWindow::addScheduleClicked() {
  if (!takeResult(addSchedule(context_.state.CurrentDataFile, scheduleInput()))) return;
  refresh({&MainViews::ShowDateHeading, &MainViews::ShowDayHoliday, &MainViews::LoadDaySchedules,
           &MainViews::RefreshMonthView});
  accept();
}

void EditorWindow::deleteScheduleClicked() {
  const SharedState& state = context_.state;
  if (!takeResult(deleteSchedule(state.CurrentDataFile, scheduleInput(), state.EditorSnapshot))) {
    return;
  }
  accept();
  refresh({&MainViews::ShowDayHoliday, &MainViews::LoadDaySchedules, &MainViews::RefreshMonthView});
}

void EditorWindow::updateScheduleClicked() {
  const SharedState& state = context_.state;
  if (!takeResult(updateSchedule(state.CurrentDataFile, scheduleInput(), state.EditorSnapshot))) {
    return;
  }
  refresh({&MainViews::ShowDayHoliday, &MainViews::LoadDaySchedules, &MainViews::RefreshMonthView});
  accept();
}

void EditorWindow::resetSchedule() {
  subject_->clear();
  subject_->setEnabled(true);
  setContentText(QString());
  content_->setEnabled(true);
  done_->setChecked(false);
  deleteNext_->setChecked(false);
  addSchedule_->setEnabled(true);
  deleteSchedule_->setEnabled(false);
  updateSchedule_->setEnabled(false);
  const QDate today = context_.platform.now().date();
  scheduleYear_->setEditText(QString::number(today.year()));
  scheduleMonth_->setEditText(twoDigits(today.month()));
  scheduleDay_->setEditText(twoDigits(today.day()));
  for (QComboBox* box : {scheduleYear_, scheduleMonth_, scheduleDay_}) box->setEnabled(true);
}

void EditorWindow::addTimerClicked() {
  const EditorResult result =
      addTimer(context_.state.CurrentDataFile, timerInput(), context_.platform.now());
  if (!takeResult(result)) return;
  refresh({&MainViews::LoadTimerList});
  accept();
}

void EditorWindow::deleteTimerClicked() {
  if (!takeResult(deleteTimer(context_.state.CurrentDataFile, timerInput()))) return;
  FillEditorCombos();
  refresh({&MainViews::LoadTimerList});
  accept();
}

void EditorWindow::updateTimerClicked() {
  const SharedState& state = context_.state;
  if (!takeResult(updateTimer(state.CurrentDataFile, timerInput(), state.EditorSnapshot))) return;
  refresh({&MainViews::ShowDayHoliday, &MainViews::LoadDaySchedules, &MainViews::RefreshMonthView,
           &MainViews::LoadTimerList});
  accept();
}

void EditorWindow::resetTimer() {
  FillEditorCombos();
  title_->clear();
  title_->setEnabled(true);
  addTimer_->setEnabled(true);
  deleteTimer_->setEnabled(false);
  updateTimer_->setEnabled(false);
}

void EditorWindow::choosePicture() {
  Platform& platform = context_.platform;
  const std::optional<QString> chosen =
      platform.openFileName({QStringLiteral("開く"),
                             QString(),
                             {QStringLiteral("bmp 形式(*.bmp)"), QStringLiteral("JPEG 形式(*.jpg)"),
                              QStringLiteral("GIF 形式(*.gif)"), QStringLiteral("All(*.*)")},
                             false});
  if (!chosen) return;
  SharedState& state = context_.state;
  state.TimerImageFile = *chosen;
  QImage image;
  QString error;
  if (!platform.loadPicture(*chosen, &image, &error)) {
    // The picture shown before stays; the timer is just not given the unreadable one.
    warn(platform, error);
    state.TimerImageFile.clear();
    return;
  }
  showPicture(image);
}
