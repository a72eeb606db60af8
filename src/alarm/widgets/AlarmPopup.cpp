#include "alarm/widgets/AlarmPopup.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <cmath>

#include "alarm/ClockText.h"
#include "ui/Accessibility.h"
#include "ui/CaptionLabel.h"
#include "ui/Contrast.h"
#include "ui/UiSupport.h"

namespace {

// The window's inside and the right edge shared by the title band and the picture, in twips.
constexpr int kClientWidth = 14670;
constexpr int kClientHeight = 10815;
constexpr int kBandWidth = 14655;
constexpr int kTopTwips = 100;

// The strip along the bottom edge with 「5分後にもう一度」. It takes its height from the picture,
// not from the screen: the window keeps its designed size, so it still fits a 768-pixel screen.
constexpr int kBarHeight = 600;
constexpr int kPictureBottom = kClientHeight - kBarHeight;

// The instruction's box as designed, over the lower right of the picture, moved up with the
// picture's lower edge. Its text is wider than that in the fonts found on Linux, so the box
// grows to the left, over the picture, keeping its right edge.
constexpr int kInstructionLeft = 10080;
constexpr int kInstructionTop = 10420 - kBarHeight;
constexpr int kInstructionWidth = 4575;
constexpr int kInstructionHeight = 375;

constexpr int kDueTimeHeight = 540;

const QColor kPlainGround(255, 252, 235);
const QColor kTitleGround(255, 255, 255);
const QColor kLateRed(192, 0, 0);

QFont titleFont(int pointSize) {
  QFont font = japaneseFont(pointSize);
  font.setFamilies(QStringList{QStringLiteral("HG創英角ｺﾞｼｯｸUB")} + font.families());
  return font;
}

// Width a one-line caption needs in its font, with a little air on each side.
int captionWidth(const QFont& font, const QString& text, int margin) {
  return static_cast<int>(std::ceil(QFontMetricsF(font).horizontalAdvance(text))) + 2 * margin + 2;
}

// Text on a fixed ground: the colour itself where it reads there, else the nearest shade of its
// hue that does (the late notice's red stays red), in every colour group.
void setTextColor(QWidget* widget, const QColor& color, const QColor& ground) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, shadeReaching(color, ground));
  widget->setPalette(palette);
}

// Image1: the picture the user clicks, also a button to screen readers.
class AlarmPicture : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;
};

// A screen reader announces the pop-up as an alert, not as a plain window.
class PopupAccessible : public QAccessibleWidget {
 public:
  explicit PopupAccessible(QWidget* popup) : QAccessibleWidget(popup, QAccessible::AlertMessage) {}
};

// The picture can be pressed from a screen reader as it can be clicked.
class PictureAccessible : public QAccessibleWidget {
 public:
  explicit PictureAccessible(QWidget* picture) : QAccessibleWidget(picture, QAccessible::Button) {}

  // The large title and time drawn without a picture are the button's face: the alert already
  // says both, so a screen reader is not told them a second time.
  int childCount() const override { return 0; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }

  QStringList actionNames() const override {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action != pressAction()) {
      QAccessibleWidget::doAction(action);
      return;
    }
    if (auto* popup = qobject_cast<AlarmPopup*>(widget()->window())) popup->dismiss(true);
  }
  QStringList keyBindingsForAction(const QString& action) const override {
    if (action == pressAction()) return {QStringLiteral("Space"), QStringLiteral("Return")};
    return QAccessibleWidget::keyBindingsForAction(action);
  }
};

QAccessibleInterface* alarmAccessible(const QString& className, QObject* object) {
  if (!object || !object->isWidgetType()) return nullptr;
  auto* widget = static_cast<QWidget*>(object);
  if (className == QLatin1String("AlarmPopup")) return new PopupAccessible(widget);
  if (className == QLatin1String("AlarmPicture")) return new PictureAccessible(widget);
  return nullptr;
}

}  // namespace

AlarmPopup::AlarmPopup(AppContext& context, MainViews& views)
    : QWidget(nullptr), context_(context), views_(views) {
  static const bool accessibleInstalled = [] {
    QAccessible::installFactory(alarmAccessible);
    return true;
  }();
  Q_UNUSED(accessibleInstalled);

  setObjectName(QStringLiteral("Form4"));
  setWindowTitle(QStringLiteral("時間で～す(￣◇￣)"));
  makeFixedWindow(this, false);
  // Above every other window whenever it is shown; a hidden window is in no band, so closing
  // needs no step of its own. The flag is set once: changing it later makes a new native
  // window, and a warning box that belongs to the pop-up would lose its place above it.
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  // Shown without being activated: on X11 Qt then gives the window a user time of 0, which
  // window managers take as "do not focus"; on Wayland a client cannot take the focus anyway.
  setAttribute(Qt::WA_ShowWithoutActivating, true);
  acceptFocus(false);
  setFixedSize(twips(kClientWidth), twips(kClientHeight));
  // The main window decides when the program ends, not an alarm that is closed.
  setAttribute(Qt::WA_QuitOnClose, false);
  setAccessibleDescription(QStringLiteral(
      "画像をクリックするか Esc、Enter、スペースで閉じます。S で5分後にもう一度鳴らします"));

  title_ = new CaptionLabel(this);
  title_->setObjectName(QStringLiteral("Label1"));
  title_->setAutoFillBackground(true);
  setFixedGround(title_, kTitleGround);
  title_->setAlignment(Qt::AlignCenter);
  title_->setToolTip(QStringLiteral("データ名です"));
  title_->setAccessibleDescription(title_->toolTip());  // a screen reader reads out the title

  picture_ = new AlarmPicture(this);
  picture_->setObjectName(QStringLiteral("Image1"));
  picture_->setScaledContents(true);
  picture_->setCursor(Qt::PointingHandCursor);
  picture_->setToolTip(QStringLiteral("クリックすると閉じる事ができます"));
  setAccessible(picture_, QStringLiteral("タイマーの画像"));
  // The keys go to the picture first; what it does not take, the window handles.
  picture_->setFocusPolicy(Qt::StrongFocus);
  picture_->installEventFilter(this);
  QPalette plain = picture_->palette();
  plain.setColor(QPalette::Window, kPlainGround);
  picture_->setPalette(plain);

  // Without a picture, the picture's box shows the time and the title large instead.
  faceTime_ = new CaptionLabel(picture_);
  faceTime_->setObjectName(QStringLiteral("FaceTime"));
  faceTitle_ = new CaptionLabel(picture_);
  faceTitle_->setObjectName(QStringLiteral("FaceTitle"));
  for (CaptionLabel* face : {faceTime_, faceTitle_}) {
    setFixedGround(face, kPlainGround);
    face->setAlignment(Qt::AlignCenter);
    face->setWordWrap(true);
    face->setAttribute(Qt::WA_TransparentForMouseEvents);
    face->hide();
  }
  faceTime_->setFont(japaneseFont(110, true));
  faceTitle_->setFont(titleFont(54));

  instruction_ = new CaptionLabel(this);
  instruction_->setObjectName(QStringLiteral("Label2"));
  instruction_->setText(QStringLiteral("確認したら画像をクリックして"));
  instruction_->setFont(japaneseFont(18, true));
  instruction_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // Over the picture or the plain ground, never the palette's: black, as it is designed.
  setTextColor(instruction_, QColor(0, 0, 0), kPlainGround);
  const int instructionRight = twips(kInstructionLeft + kInstructionWidth);
  const int instructionWidth = std::max(
      twips(kInstructionWidth), captionWidth(instruction_->font(), instruction_->text(), 0));
  instruction_->setGeometry(instructionRight - instructionWidth, twips(kInstructionTop),
                            instructionWidth, twips(kInstructionHeight));

  dueTime_ = new CaptionLabel(this);
  dueTime_->setObjectName(QStringLiteral("DueTime"));
  dueTime_->setFont(japaneseFont(20, true));
  dueTime_->setAutoFillBackground(true);
  setFixedGround(dueTime_, kTitleGround);
  dueTime_->setAlignment(Qt::AlignCenter);
  dueTime_->setToolTip(QStringLiteral("タイマーの予定の時刻です"));
  dueTime_->setAccessibleDescription(dueTime_->toolTip());

  bar_ = new QWidget(this);
  bar_->setObjectName(QStringLiteral("SnoozeBar"));
  bar_->setGeometry(0, twips(kPictureBottom), twips(kClientWidth), twips(kBarHeight));
  auto* keys = new QLabel(QStringLiteral("Esc・Enter・スペースでも閉じます"), bar_);
  keys->setObjectName(QStringLiteral("KeyHint"));
  keys->setFont(japaneseFont(11));
  snooze_ = new QPushButton(QStringLiteral("5分後にもう一度(&S)"), bar_);
  snooze_->setObjectName(QStringLiteral("Snooze"));
  snooze_->setFont(japaneseFont(12, true));
  snooze_->setToolTip(
      QStringLiteral("同じ題名と画像で、5分後に一回だけ鳴るタイマーを追加して閉じます（キー S）"));
  setAccessible(snooze_, QStringLiteral("5分後にもう一度"));
  // Enter on the focused button presses it, as Space does.
  snooze_->setAutoDefault(true);
  connect(snooze_, &QPushButton::clicked, this, &AlarmPopup::snoozeRequested);
  // Its clicks and keys wait for the first second and the user's own click, as the window's.
  snooze_->installEventFilter(this);
  auto* row = new QHBoxLayout(bar_);
  row->setContentsMargins(twips(120), twips(60), twips(120), twips(60));
  row->addWidget(keys);
  row->addStretch(1);
  row->addWidget(snooze_);
  for (QWidget* widget : {static_cast<QWidget*>(title_), static_cast<QWidget*>(instruction_),
                          static_cast<QWidget*>(dueTime_), bar_, static_cast<QWidget*>(keys)}) {
    widget->installEventFilter(this);
  }

  // Drawing order, topmost first: instruction (and the due time), picture, title.
  instruction_->raise();
  dueTime_->raise();
  setTabOrder(picture_, snooze_);
  setTitle(QString());
}

void AlarmPopup::load(const QWidget* keep) {
  closeOpenWindows(context_, keep);

  setTitle(QString());
  setPicture(QImage());
  setDueTime(QString(), false);

  // Centred on the window's outer width, which may be wider than the screen.
  const double outerWidth = frameGeometry().width();
  const double left = (context_.platform.screenSize().width() - outerWidth) / 2.0;
  move(static_cast<int>(std::lround(left)), twips(kTopTwips));
}

bool AlarmPopup::hasPicture() const { return !picture_->pixmap().isNull(); }

void AlarmPopup::setPicture(const QImage& picture) {
  if (picture.isNull()) {
    picture_->clear();
  } else {
    picture_->setPixmap(QPixmap::fromImage(picture));
  }
  const bool plain = picture.isNull();
  // A plain ground instead of the window's grey, and the texts on it.
  picture_->setAutoFillBackground(plain);
  faceTime_->setVisible(plain);
  faceTitle_->setVisible(plain);
  placeDueTime();
}

void AlarmPopup::setTitle(const QString& title) {
  const AlarmLayout layout = alarmLayout(title);
  title_->setFont(titleFont(layout.titlePointSize));
  title_->setGeometry(0, 0, twips(kBandWidth), twips(layout.titleHeight));
  // The picture ends at the strip along the bottom in both layouts.
  const int top = twips(layout.pictureTop);
  picture_->setGeometry(0, top, twips(kBandWidth), twips(kPictureBottom) - top);
  const int width = picture_->width();
  const int height = picture_->height();
  faceTime_->setGeometry(width / 20, height / 10, width - width / 10, height * 4 / 10);
  faceTitle_->setGeometry(width / 20, height * 11 / 20, width - width / 10, height * 7 / 20);
  title_->setText(title);
  faceTitle_->setText(title);
  placeDueTime();
  updateAccessibleName();
}

void AlarmPopup::setDueTime(const QString& time, bool late) {
  dueText_ = time;
  late_ = late;
  dueTime_->setText(time);
  faceTime_->setText(time);
  const QColor color = late ? kLateRed : QColor(0, 0, 0);
  setTextColor(dueTime_, color, kTitleGround);
  setTextColor(faceTime_, color, kPlainGround);
  // A notice is longer than a time: the face gives it a smaller font to start from.
  faceTime_->setFont(japaneseFont(late ? 54 : 110, true));
  placeDueTime();
  updateAccessibleName();
}

void AlarmPopup::placeDueTime() {
  // Just under the title band, at the picture's upper left corner; without a picture the
  // face shows the time instead.
  constexpr int kMargin = 8;
  dueTime_->setContentsMargins(kMargin, 0, kMargin, 0);
  dueTime_->setGeometry(0, picture_->y(), captionWidth(dueTime_->font(), dueTime_->text(), kMargin),
                        twips(kDueTimeHeight));
  dueTime_->setVisible(!dueText_.isEmpty() && hasPicture());
}

void AlarmPopup::updateAccessibleName() {
  // What a screen reader announces with the alert: the title and the time.
  const QString name = (title_->text() + QStringLiteral("　") + dueText_).trimmed();
  setAccessibleName(name.isEmpty() ? windowTitle() : name);
}

QSize AlarmPopup::pictureSize() const { return picture_->size() * devicePixelRatio(); }

void AlarmPopup::acceptFocus(bool accept) {
  Qt::WindowFlags flags = windowFlags();
  if (flags.testFlag(Qt::WindowDoesNotAcceptFocus) == !accept) return;
  flags.setFlag(Qt::WindowDoesNotAcceptFocus, !accept);
  // Told to the native window directly: QWidget::setWindowFlags would make a new one (see the
  // constructor). On X11 this is the input field of WM_HINTS, which keeps the window manager
  // from focusing the window, even when the window the user typed in closes.
  overrideWindowFlags(flags);
  if (QWindow* window = windowHandle()) window->setFlags(flags);
}

bool AlarmPopup::inGrace() const {
  return context_.platform.uptimeMilliseconds() - shownAt_ < kGraceMilliseconds;
}

bool AlarmPopup::keysAllowed() const { return broughtToFront_ && !inGrace(); }

void AlarmPopup::bringToFront() {
  if (broughtToFront_) return;
  broughtToFront_ = true;
  acceptFocus(true);
  activateWindow();
  picture_->setFocus(Qt::MouseFocusReason);
}

bool AlarmPopup::pressCounts() {
  pressCounted_ = !inGrace();
  if (pressCounted_) bringToFront();
  return pressCounted_;
}

void AlarmPopup::present() {
  shownAt_ = context_.platform.uptimeMilliseconds();
  broughtToFront_ = false;
  pressCounted_ = false;
  acceptFocus(false);
  show();
  raise();
  // The focus inside the window, for when the user brings it to the front.
  picture_->setFocus(Qt::OtherFocusReason);
  QAccessibleEvent alert(this, QAccessible::Alert);
  QAccessible::updateAccessibility(&alert);
  // The pop-up leaves the focus where the user is, and Orca speaks no alert of a window without
  // it: a notification is what it tells from any window. Drawn under the title, out of sight.
  if (!announcer_) {
    announcer_ = makeAnnouncer(this, QStringLiteral("AlarmAnnouncement"));
    announcer_->setGeometry(0, 0, 1, 1);
  }
  announcer_->lower();
  announce(announcer_, accessibleName());
}

void AlarmPopup::dismiss(bool clickSound) {
  if (!isVisible()) return;
  // The sound stops before anything else happens.
  emit dismissed();
  views_.LoadTimerList();
  closing_ = Closing::Dismissing;
  close();
  closing_ = Closing::ByUser;
  if (clickSound) context_.platform.beep();
  // A failure to read the timer list is reported last: a message box may run the clock, whose
  // next alarm must not be closed by this click, and it is not hidden behind the pop-up.
  views_.finishRefresh();
}

void AlarmPopup::closeForNextAlarm() {
  if (!isVisible()) return;
  // A failure to read the list is noted and reported by the next refresh: a message box now
  // would stand between this alarm and the next.
  views_.LoadTimerList();
  closing_ = Closing::ForNextAlarm;
  close();
  closing_ = Closing::ByUser;
}

void AlarmPopup::closeEvent(QCloseEvent* event) {
  if (closing_ == Closing::ByUser && isVisible() && inGrace()) {
    // The close box under a click meant for the window that was there a moment ago.
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
  if (closing_ != Closing::ByUser || !isVisible()) return;
  // The close box (or the window system): dismissed like a click, without its sound. The
  // fired once-only timer has left the file, so the list is reloaded all the same.
  emit dismissed();
  views_.LoadTimerList();
  QTimer::singleShot(0, this, [this] { views_.finishRefresh(); });
}

bool AlarmPopup::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      // A click that began in the first second is ignored, release included.
      if (!pressCounts()) return true;
      break;
    case QEvent::MouseButtonRelease:
      if (!pressCounted_) return true;
      break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
      // The snooze button presses itself on Space: not before the user brought the window up.
      if (watched == snooze_ && !keysAllowed()) return true;
      break;
    default:
      break;
  }
  if (event->type() == QEvent::MouseButtonRelease &&
      (watched == picture_ || (!hasPicture() && watched->isWidgetType() && watched != snooze_))) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const auto* widget = static_cast<QWidget*>(watched);
    if (mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint())) {
      dismiss(true);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void AlarmPopup::mousePressEvent(QMouseEvent* event) {
  if (!pressCounts()) return;
  QWidget::mousePressEvent(event);
}

void AlarmPopup::mouseReleaseEvent(QMouseEvent* event) {
  if (!pressCounted_) return;
  // Without a picture a click anywhere dismisses; with one, only a click on it.
  if (!hasPicture() && event->button() == Qt::LeftButton &&
      rect().contains(event->position().toPoint())) {
    dismiss(true);
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

void AlarmPopup::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  // Keys typed for another window never reach an alarm that was not brought to the front; a
  // window manager that gives it the focus all the same does not make them count.
  if (!keysAllowed()) {
    event->accept();
    return;
  }
  if (event->isAutoRepeat() || modifiers != Qt::NoModifier) {
    QWidget::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      dismiss(true);
      return;
    case Qt::Key_S:
      emit snoozeRequested();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

#include "AlarmPopup.moc"
