#include "alarm/widgets/AlarmPopup.h"

#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <cmath>

#include "alarm/ClockText.h"
#include "ui/CaptionLabel.h"
#include "ui/UiSupport.h"

namespace {

// The window's inside and the right edge shared by the title band and the picture, in twips.
constexpr int kClientWidth = 14670;
constexpr int kClientHeight = 10815;
constexpr int kBandWidth = 14655;
constexpr int kTopTwips = 100;

// The instruction's box as designed; its text is wider than that in the fonts found on Linux,
// so the box grows to the left, over the picture, keeping its right edge.
constexpr int kInstructionLeft = 10080;
constexpr int kInstructionTop = 10420;
constexpr int kInstructionWidth = 4575;
constexpr int kInstructionHeight = 375;

constexpr int kDueNoticeHeight = 540;

QFont titleFont(int pointSize) {
  QFont font = japaneseFont(pointSize);
  font.setFamilies(QStringList{QStringLiteral("HG創英角ｺﾞｼｯｸUB")} + font.families());
  return font;
}

// Width a one-line caption needs in its font, with a little air on each side.
int captionWidth(const QFont& font, const QString& text, int margin) {
  return static_cast<int>(std::ceil(QFontMetricsF(font).horizontalAdvance(text))) + 2 * margin + 2;
}

}  // namespace

AlarmPopup::AlarmPopup(AppContext& context, MainViews& views)
    : QWidget(nullptr), context_(context), views_(views) {
  setObjectName(QStringLiteral("Form4"));
  setWindowTitle(QStringLiteral("時間で～す(￣◇￣)"));
  makeFixedWindow(this, false);
  // Above every other window whenever it is shown; a hidden window is in no band, so closing
  // needs no step of its own. The flag is set once: changing it later makes a new native
  // window, and a warning box that belongs to the pop-up would lose its place above it.
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  setFixedSize(twips(kClientWidth), twips(kClientHeight));
  // The main window decides when the program ends, not an alarm that is closed.
  setAttribute(Qt::WA_QuitOnClose, false);

  title_ = new CaptionLabel(this);
  title_->setObjectName(QStringLiteral("Label1"));
  title_->setAutoFillBackground(true);
  QPalette white = title_->palette();
  white.setColor(QPalette::Window, QColor(255, 255, 255));
  white.setColor(QPalette::WindowText, QColor(0, 0, 0));
  title_->setPalette(white);
  title_->setAlignment(Qt::AlignCenter);
  title_->setToolTip(QStringLiteral("データ名です"));
  title_->setAccessibleDescription(title_->toolTip());  // a screen reader reads out the title

  picture_ = new QLabel(this);
  picture_->setObjectName(QStringLiteral("Image1"));
  picture_->setScaledContents(true);
  picture_->setCursor(Qt::PointingHandCursor);
  picture_->setToolTip(QStringLiteral("クリックすると閉じる事ができます"));
  setAccessible(picture_, QStringLiteral("タイマーの画像"));
  picture_->installEventFilter(this);

  instruction_ = new CaptionLabel(this);
  instruction_->setObjectName(QStringLiteral("Label2"));
  instruction_->setText(QStringLiteral("確認したら画像をクリックして"));
  instruction_->setFont(japaneseFont(18, true));
  instruction_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  const int instructionRight = twips(kInstructionLeft + kInstructionWidth);
  const int instructionWidth = std::max(
      twips(kInstructionWidth), captionWidth(instruction_->font(), instruction_->text(), 0));
  instruction_->setGeometry(instructionRight - instructionWidth, twips(kInstructionTop),
                            instructionWidth, twips(kInstructionHeight));

  dueNotice_ = new CaptionLabel(this);
  dueNotice_->setObjectName(QStringLiteral("DueNotice"));
  dueNotice_->setFont(japaneseFont(20, true));
  dueNotice_->setAutoFillBackground(true);
  QPalette notice = dueNotice_->palette();
  notice.setColor(QPalette::Window, QColor(255, 255, 255));
  notice.setColor(QPalette::WindowText, QColor(192, 0, 0));
  dueNotice_->setPalette(notice);
  dueNotice_->setAlignment(Qt::AlignCenter);
  dueNotice_->setToolTip(QStringLiteral("時間どおりに鳴らせなかったタイマーの予定の時刻です"));
  dueNotice_->setAccessibleDescription(dueNotice_->toolTip());
  dueNotice_->hide();

  // Drawing order, topmost first: instruction (and the due time), picture, title.
  instruction_->raise();
  dueNotice_->raise();
  setTitle(QString());
}

void AlarmPopup::load() {
  closeOpenWindows(context_);

  setPicture(QImage());
  setTitle(QString());
  setDueNotice(QString());

  // Centred on the window's outer width, which may be wider than the screen.
  const double outerWidth = frameGeometry().width();
  const double left = (context_.platform.screenSize().width() - outerWidth) / 2.0;
  move(static_cast<int>(std::lround(left)), twips(kTopTwips));
}

void AlarmPopup::setPicture(const QImage& picture) {
  if (picture.isNull()) {
    picture_->clear();
  } else {
    picture_->setPixmap(QPixmap::fromImage(picture));
  }
}

void AlarmPopup::setTitle(const QString& title) {
  const AlarmLayout layout = alarmLayout(title);
  title_->setFont(titleFont(layout.titlePointSize));
  title_->setGeometry(0, 0, twips(kBandWidth), twips(layout.titleHeight));
  // The picture ends at the bottom of the window in both layouts.
  const int top = twips(layout.pictureTop);
  picture_->setGeometry(0, top, twips(kBandWidth), twips(kClientHeight) - top);
  title_->setText(title);
  placeDueNotice();
}

void AlarmPopup::setDueNotice(const QString& notice) {
  dueNotice_->setText(notice);
  dueNotice_->setVisible(!notice.isEmpty());
  placeDueNotice();
}

void AlarmPopup::placeDueNotice() {
  // Just under the title band, at the picture's upper left corner.
  constexpr int kMargin = 8;
  dueNotice_->setContentsMargins(kMargin, 0, kMargin, 0);
  dueNotice_->setGeometry(0, picture_->y(),
                          captionWidth(dueNotice_->font(), dueNotice_->text(), kMargin),
                          twips(kDueNoticeHeight));
}

bool AlarmPopup::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picture_ && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton &&
        picture_->rect().contains(mouse->position().toPoint())) {
      pictureClicked();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void AlarmPopup::pictureClicked() {
  views_.LoadTimerList();
  close();
  context_.platform.beep();
  // A failure to read the timer list is reported last: a message box may run the clock, whose
  // next alarm must not be closed by this click, and it is not hidden behind the pop-up.
  views_.finishRefresh();
}
