#include "editor/widgets/TimerHalf.h"

#include <QComboBox>
#include <QDateTime>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "editor/widgets/EditorFields.h"
#include "shared/DateFormat.h"
#include "ui/Accessibility.h"
#include "ui/UiSupport.h"

using editorinput::twoDigits;
using editorinput::wholeInteger;

namespace {

const QString kOnce = QStringLiteral("一回");
const QString kWeekly = QStringLiteral("毎週");
const QString kDaily = QStringLiteral("毎日");

}  // namespace

TimerHalf::TimerHalf(QWidget* editor, AppContext& context)
    : QObject(editor), editor_(editor), context_(context) {
  heading = new PanelHeading(QStringLiteral("タイマー編集"), kTimerColour, editor);
  heading->setObjectName(QStringLiteral("Label2"));
  heading->setGeometry(twipsRect(5420, 0, 5380, 2985));

  QLabel* titleLabel = makeLabel(editor, "Label6", QStringLiteral("件名"), 5520, 840,
                                 QStringLiteral("タイマーの件名"));
  title = new QLineEdit(editor);
  title->setObjectName(QStringLiteral("Text3"));
  title->setGeometry(twipsRect(6040, 800, 4695, 360));
  limitTyping(title, kTitleLimit);
  title->setToolTip(QStringLiteral("タイマーの題名（２０文字まで）"));
  setAccessible(title, QStringLiteral("タイマーの件名"));
  titleLabel->setBuddy(title);

  createKindButtons();

  year = digitCombo(editor, "Combo4", twipsRect(7320, 1200, 855, 360), {},
                    QStringLiteral("タイマーの年（西暦４桁）"), QStringLiteral("タイマーの年"));
  yearLabel_ =
      makeLabel(editor, "Label7", QStringLiteral("年"), 8240, 1240, QStringLiteral("タイマーの年"));
  month = digitCombo(editor, "Combo5", twipsRect(8560, 1200, 735, 360), numberItems(1, 12),
                     QStringLiteral("タイマーの月"), QStringLiteral("タイマーの月"));
  monthLabel_ =
      makeLabel(editor, "Label8", QStringLiteral("月"), 9360, 1240, QStringLiteral("タイマーの月"));
  day = digitCombo(editor, "Combo6", twipsRect(9600, 1200, 735, 360), numberItems(1, 31),
                   QStringLiteral("タイマーの日"), QStringLiteral("タイマーの日"));
  dayLabel_ = makeLabel(editor, "Label9", QStringLiteral("日"), 10360, 1240,
                        QStringLiteral("タイマーの日"));

  // Only the list's own weekdays can be chosen; it sits where the date fields are.
  weekday = new QComboBox(editor);
  weekday->setObjectName(QStringLiteral("Combo7"));
  weekday->setGeometry(twipsRect(7320, 1200, 855, 360));
  weekday->addItems({QStringLiteral("月"), QStringLiteral("火"), QStringLiteral("水"),
                     QStringLiteral("木"), QStringLiteral("金"), QStringLiteral("土"),
                     QStringLiteral("日")});
  weekday->setCurrentIndex(-1);
  weekday->setToolTip(QStringLiteral("毎週鳴らす曜日"));
  setAccessible(weekday, QStringLiteral("タイマーの曜日"));
  weekdayLabel_ = makeLabel(editor, "Label10", QStringLiteral("曜日"), 8240, 1250,
                            QStringLiteral("タイマーの曜日"));

  hour = digitCombo(editor, "Combo8", twipsRect(7320, 1560, 855, 360), numberItems(0, 23),
                    QStringLiteral("鳴らす時刻の時（00～23）"), QStringLiteral("タイマーの時"));
  makeLabel(editor, "Label14", QStringLiteral("時"), 8240, 1600, QStringLiteral("タイマーの時"));
  minute = digitCombo(editor, "Combo9", twipsRect(8560, 1560, 735, 360), numberItems(0, 59),
                      QStringLiteral("鳴らす時刻の分（00～59）"), QStringLiteral("タイマーの分"));
  makeLabel(editor, "Label15", QStringLiteral("分"), 9360, 1600, QStringLiteral("タイマーの分"));

  createPicture();
}

void TimerHalf::createKindButtons() {
  kindFrame = new QGroupBox(QStringLiteral("タイプ"), editor_);
  kindFrame->setObjectName(QStringLiteral("Frame1"));
  kindFrame->setGeometry(twipsRect(5640, 1200, 1575, 1080));
  kindFrame->setFont(japaneseFont(12, true));
  // The buttons are labelled by the frame's caption; the frame is named apart from it, so that
  // a screen reader says タイプ once.
  kindFrame->setAccessibleName(QStringLiteral("タイマーの種類"));
  paintBackground(kindFrame, kTimerColour);
  const std::array<QString, 3> captions{QStringLiteral("一回だけ"), kWeekly, kDaily};
  const std::array<QString, 3> tips{QStringLiteral("決めた日の決めた時刻に一度だけ鳴ります"),
                                    QStringLiteral("毎週、決めた曜日の決めた時刻に鳴ります"),
                                    QStringLiteral("毎日、決めた時刻に鳴ります")};
  // The buttons stand where the layout puts them unless the font is taller than the one it
  // was drawn for; then they move down just enough not to overlap the caption or each other,
  // and the frame grows to hold them.
  const std::array<double, 3> tops{220, 500, 720};
  int nextFreeTop = QFontMetrics(kindFrame->font()).height();
  for (size_t i = 0; i < kinds.size(); ++i) {
    auto* button = new QRadioButton(captions[i], kindFrame);
    button->setObjectName(QStringLiteral("Option1(%1)").arg(i));
    const int top = std::max(twips(tops[i]), nextFreeTop);
    const int height = std::max(twips(255), button->sizeHint().height());
    button->setGeometry(twips(120), top, twips(1395), height);
    nextFreeTop = top + height;
    paintBackground(button, kTimerColour);
    button->setToolTip(tips[i]);
    setAccessible(button, captions[i]);
    connect(button, &QRadioButton::toggled, this, &TimerHalf::updateKindFields);
    kinds[i] = button;
  }
  makeOneTabStop({kinds.begin(), kinds.end()});
  if (nextFreeTop + 4 > kindFrame->height()) {
    kindFrame->resize(kindFrame->width(), nextFreeTop + 4);
  }
}

void TimerHalf::createPicture() {
  pictureButton = new QPushButton(QStringLiteral("画像の選択"), editor_);
  pictureButton->setObjectName(QStringLiteral("Command10"));
  pictureButton->setGeometry(twipsRect(7320, 2280, 1215, 375));
  pictureButton->setFont(japaneseFont(9.75));
  pictureButton->setToolTip(QStringLiteral("タイマーが鳴ったときに出す画像を選びます"));
  setAccessible(pictureButton, QStringLiteral("タイマーの画像を選択"));
  connect(pictureButton, &QPushButton::clicked, this, &TimerHalf::choosePicture);

  picture_ = new QLabel(editor_);
  picture_->setObjectName(QStringLiteral("Image1"));
  picture_->setGeometry(twipsRect(8640, 1965, 1455, 975));
  picture_->setScaledContents(true);
  picture_->setToolTip(QStringLiteral("タイマーが鳴ったときに出す画像"));
  setAccessible(picture_, QStringLiteral("タイマーの画像"));
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
    auto* line = new QFrame(editor_);
    line->setObjectName(QStringLiteral("Line%1").arg(i + 1));
    line->setGeometry(lines[i]);
    paintBackground(line, Qt::black);
    markDecorative(line);
    pictureFrame_[i] = line;
  }
}

void TimerHalf::createButtons() {
  buttons = makeHalfButtons(
      editor_, 6, 5400, QStringLiteral("タイマー"),
      {QStringLiteral("タイマーを追加します"), QStringLiteral("このタイマーを削除します"),
       QStringLiteral("このタイマーを書き換えます"),
       QStringLiteral("タイマーの項目を今の日時にして、新しいタイマーにします")});
}

TimerInput TimerHalf::input() const {
  return TimerInput{title->text(),        selectedKind(),        year->currentText(),
                    month->currentText(), day->currentText(),    weekday->currentText(),
                    hour->currentText(),  minute->currentText(), context_.state.TimerImageFile};
}

void TimerHalf::showMoment(const QDateTime& now) {
  hour->setEditText(formatDateTime(now, u"hh"));
  minute->setEditText(formatDateTime(now, u"nn"));
  setWeekday(formatDate(now.date(), u"aaa"));
  year->setEditText(formatDate(now.date(), u"yyyy"));
  month->setEditText(formatDate(now.date(), u"mm"));
  day->setEditText(formatDate(now.date(), u"dd"));
}

void TimerHalf::showRow(const QStringList& columns) {
  title->setText(columns.value(0));

  clearKinds();
  const QString kind = columns.value(1);
  const QString when = columns.value(2);
  if (kind == kOnce) {
    kinds[0]->setChecked(true);
    year->setEditText(when.mid(0, 4));
    month->setEditText(when.mid(5, 2));
    day->setEditText(when.mid(8, 2));
  } else if (kind == kWeekly) {
    kinds[1]->setChecked(true);
    setWeekday(when.left(1));
  } else if (kind == kDaily) {
    kinds[2]->setChecked(true);
  }
  updateKindFields();
  // The title names the open timer and cannot change, but it is read like any field.
  title->setReadOnly(true);

  const QString time = columns.value(3);
  const qsizetype colon = time.indexOf(u':');
  const QString hourText = colon < 0 ? time : time.left(colon);
  const QString minuteText = colon < 0 ? QString() : time.mid(colon + 1);
  const std::optional<long long> hourValue = wholeInteger(hourText);
  const std::optional<long long> minuteValue = wholeInteger(minuteText);
  if (hourValue && minuteValue && *hourValue >= 0 && *hourValue <= 23 && *minuteValue >= 0 &&
      *minuteValue <= 59) {
    hour->setEditText(twoDigits(*hourValue));
    minute->setEditText(twoDigits(*minuteValue));
  } else {
    hour->setEditText(hourText);
    minute->setEditText(minuteText);
  }
}

void TimerHalf::setWeekday(const QString& name) {
  weekday->setCurrentIndex(weekday->findText(name));
}

void TimerHalf::clearTitle() {
  title->clear();
  title->setReadOnly(false);
}

int TimerHalf::selectedKind() const {
  for (size_t i = 0; i < kinds.size(); ++i) {
    if (kinds[i]->isChecked()) return static_cast<int>(i);
  }
  return -1;
}

void TimerHalf::clearKinds() {
  for (QRadioButton* button : kinds) {
    // An exclusive button cannot be unchecked by itself.
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
  }
  updateKindFields();
}

void TimerHalf::updateKindFields() {
  const int kind = std::max(selectedKind(), 0);
  for (QWidget* field : {static_cast<QWidget*>(year), static_cast<QWidget*>(month),
                         static_cast<QWidget*>(day), static_cast<QWidget*>(yearLabel_),
                         static_cast<QWidget*>(monthLabel_), static_cast<QWidget*>(dayLabel_)}) {
    field->setVisible(kind == 0);
  }
  weekday->setVisible(kind == 1);
  weekdayLabel_->setVisible(kind == 1);
}

QWidget* TimerHalf::fieldAfterTitle() const {
  switch (std::max(selectedKind(), 0)) {
    case 1:
      return weekday;
    case 2:
      return hour;
    default:
      return year;
  }
}

void TimerHalf::showPicture(const QImage& image) {
  picture_->setPixmap(QPixmap::fromImage(image));
  picture_->show();
  for (QFrame* line : pictureFrame_) line->hide();
}

QSize TimerHalf::pictureSize() const { return picture_->size() * picture_->devicePixelRatio(); }

void TimerHalf::showEmptyPictureFrame() {
  picture_->hide();
  for (QFrame* line : pictureFrame_) line->show();
}

void TimerHalf::hidePicture() { picture_->hide(); }

void TimerHalf::choosePicture() {
  Platform& platform = context_.platform;
  const std::optional<QString> chosen =
      platform.openFileName({QStringLiteral("開く"),
                             QString(),
                             {QStringLiteral("bmp 形式(*.bmp)"), QStringLiteral("JPEG 形式(*.jpg)"),
                              QStringLiteral("GIF 形式(*.gif)"), QStringLiteral("All(*.*)")},
                             false});
  if (!chosen) return;
  QImage image;
  QString error;
  if (!platform.loadPicture(*chosen, pictureSize(), &image, &error)) {
    // The picture shown before stays, and so does its path: the timer keeps what it had
    // rather than losing its picture to a file that could not be read.
    warn(platform, error);
    return;
  }
  context_.state.TimerImageFile = *chosen;
  showPicture(image);
}
