#include "app/DesktopPlatform.h"

#include "app/DesktopIntegration.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <atomic>

#include "alarm/widgets/DesktopNotifications.h"
#include "ui/PictureFile.h"

#include "ui/FileDialogs.h"

#ifdef YOTENNA_HAVE_CANBERRA
#include <canberra.h>
#endif

#ifdef Q_OS_LINUX
#include <time.h>
#endif

#ifdef Q_OS_WIN
#include <direct.h>
#include <imm.h>
#include <windows.h>
#endif

namespace {

QWidget* dialogParent() { return QApplication::activeWindow(); }

// The program's filter entries as Qt's dialogs read them (see fileDialogNameFilters).
FileDialogRequest withDialogFilters(FileDialogRequest request) {
  request.filters = fileDialogNameFilters(request.filters);
  return request;
}

#ifdef YOTENNA_HAVE_CANBERRA
// One sound context for the whole run, made at the first beep. Null when the machine has no
// sound system that libcanberra can talk to.
ca_context* soundContext() {
  static ca_context* const context = [] {
    ca_context* made = nullptr;
    if (ca_context_create(&made) != CA_SUCCESS) return static_cast<ca_context*>(nullptr);
    ca_context_change_props(made, CA_PROP_APPLICATION_NAME, "Yotenna", nullptr);
    return made;
  }();
  return context;
}

// Plays one of the theme's sounds, the first of the event ids the theme has; returns at once
// (the sound plays on libcanberra's own thread). False when none could be started.
bool playThemeSound(uint32_t id, std::initializer_list<const char*> events, const char* description,
                    ca_finish_callback_t finished = nullptr) {
  ca_context* context = soundContext();
  if (!context) return false;
  for (const char* event : events) {
    ca_proplist* properties = nullptr;
    if (ca_proplist_create(&properties) != CA_SUCCESS) return false;
    ca_proplist_sets(properties, CA_PROP_EVENT_ID, event);
    ca_proplist_sets(properties, CA_PROP_EVENT_DESCRIPTION, description);
    const int played = ca_context_play_full(context, id, properties, finished, nullptr);
    ca_proplist_destroy(properties);
    if (played == CA_SUCCESS) return true;
  }
  return false;
}

// The alarm sound now playing (its libcanberra id), 0 when none. libcanberra reports the end
// of a sound on its own thread.
std::atomic<uint32_t> alarmSoundId{0};
constexpr uint32_t kBeepId = 1;

void alarmSoundFinished(ca_context*, uint32_t id, int, void*) {
  uint32_t playing = id;
  alarmSoundId.compare_exchange_strong(playing, 0);
}
#endif

}  // namespace

DesktopPlatform::DesktopPlatform() = default;

DesktopPlatform::~DesktopPlatform() { stopAlarmSound(); }

QDateTime DesktopPlatform::now() const { return QDateTime::currentDateTime(); }

qint64 DesktopPlatform::uptimeMilliseconds() const {
#ifdef Q_OS_LINUX
  // CLOCK_BOOTTIME goes on while the machine sleeps, unlike the monotonic clock.
  timespec time{};
  if (clock_gettime(CLOCK_BOOTTIME, &time) == 0) {
    return qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000;
  }
#endif
  static QElapsedTimer started = [] {
    QElapsedTimer timer;
    timer.start();
    return timer;
  }();
  return started.elapsed();
}

void DesktopPlatform::beep() {
#ifdef YOTENNA_HAVE_CANBERRA
  // A short sound, never the alarm's own.
  if (playThemeSound(kBeepId, {"bell", "dialog-information"}, "確認")) return;
#endif
  QApplication::beep();
}

void DesktopPlatform::startAlarmSound() {
  stopAlarmSound();
#ifdef YOTENNA_HAVE_CANBERRA
  static uint32_t lastId = kBeepId;
  const uint32_t id = ++lastId;
  alarmSoundId = id;
  if (playThemeSound(id, {"alarm-clock-elapsed", "bell"}, "タイマーの時間です", alarmSoundFinished))
    return;
  alarmSoundId = 0;
#endif
  // The bell is over at once; the alarm rings it again at its next tick.
  QApplication::beep();
}

void DesktopPlatform::stopAlarmSound() {
#ifdef YOTENNA_HAVE_CANBERRA
  const uint32_t id = alarmSoundId.exchange(0);
  if (id != 0) {
    if (ca_context* context = soundContext()) ca_context_cancel(context, id);
  }
#endif
}

bool DesktopPlatform::alarmSoundPlaying() const {
#ifdef YOTENNA_HAVE_CANBERRA
  return alarmSoundId != 0;
#else
  return false;
#endif
}

DesktopNotifications& DesktopPlatform::notifications() {
  if (!notifications_) {
    notifications_ = std::make_unique<DesktopNotifications>();
    notifications_->setActionHandler([this](int alarm, AlarmAction action) {
      if (actionHandler_) actionHandler_(alarm, action);
    });
  }
  return *notifications_;
}

void DesktopPlatform::showAlarmNotification(int alarm, const QString& summary,
                                            const QString& body) {
  notifications().show(alarm, summary, body);
}

void DesktopPlatform::closeAlarmNotification(int alarm) { notifications().close(alarm); }

void DesktopPlatform::setAlarmActionHandler(AlarmActionHandler handler) {
  actionHandler_ = std::move(handler);
}

MessageAnswer DesktopPlatform::messageBox(const QString& text, const QString& title,
                                          MessageIcon icon, MessageButtons buttons) {
  QMessageBox box(dialogParent());
  box.setWindowTitle(title);
  box.setText(text);
  switch (icon) {
    case MessageIcon::Question:
      box.setIcon(QMessageBox::Question);
      break;
    case MessageIcon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case MessageIcon::None:
      box.setIcon(QMessageBox::NoIcon);
      break;
  }
  if (buttons == MessageButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return MessageAnswer::Ok;
}

std::optional<QString> DesktopPlatform::saveFileName(const FileDialogRequest& request) {
  return runFileDialog(dialogParent(), withDialogFilters(request), FileDialogMode::Save);
}

std::optional<QString> DesktopPlatform::openFileName(const FileDialogRequest& request) {
  return runFileDialog(dialogParent(), withDialogFilters(request), FileDialogMode::Open);
}

QSize DesktopPlatform::screenSize() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().size() : QSize(1024, 768);
}

InstanceLock DesktopPlatform::acquireSingleInstanceLock() {
  if (!lock_) {
    const RuntimeFolder folder = privateRuntimeFolder();
    if (folder.path.isEmpty()) return {InstanceLock::State::Unavailable, folder.error};
    runtimeFolder_ = folder.path;
    lock_ = std::make_unique<SingleInstanceLock>(SingleInstanceLock::pathIn(runtimeFolder_));
  }
  return lock_->acquire();
}

std::optional<QString> DesktopPlatform::raiseRunningCopy(const QString& dataFile) {
  if (runtimeFolder_.isEmpty()) return std::nullopt;
  return askRunningCopy(InstanceServer::pathIn(runtimeFolder_), dataFile);
}

void DesktopPlatform::listenForLaterCopies(std::function<QString(const QString&)> handler) {
  // Without the lock there is no knowing whose socket this would be.
  if (runtimeFolder_.isEmpty() || !lock_ || lock_->acquire().state != InstanceLock::State::Held) {
    return;
  }
  QString error;
  if (!laterCopies_.listen(InstanceServer::pathIn(runtimeFolder_), std::move(handler), &error)) {
    // A later start is still refused by the lock; it only cannot bring this copy forward.
    qWarning("Yotenna: later starts cannot reach this copy: %s", qPrintable(error));
  }
}

void DesktopPlatform::changeToProgramDrive() {
#ifdef Q_OS_WIN
  const QString folder = QCoreApplication::applicationDirPath();
  if (folder.size() >= 2 && folder.at(1) == u':') {
    _chdrive(folder.at(0).toUpper().unicode() - u'A' + 1);
  }
#endif
}

bool DesktopPlatform::loadPicture(const QString& path, const QSize& shownSize, QImage* picture,
                                  QString* error) {
  return readPictureFile(path, shownSize, picture, error);
}

void DesktopPlatform::requestHiraganaInput(QObject* textBox) {
#ifdef Q_OS_WIN
  // Called when the box takes the focus: switch the window's input method to hiragana.
  if (auto* widget = qobject_cast<QWidget*>(textBox)) {
    const HWND window = reinterpret_cast<HWND>(widget->window()->winId());
    if (const HIMC context = ImmGetContext(window)) {
      ImmSetOpenStatus(context, TRUE);
      ImmSetConversionStatus(context, IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE, IME_SMODE_NONE);
      ImmReleaseContext(window, context);
    }
  }
#else
  // Linux input methods (IBus, Fcitx) keep their own mode per user; there is nothing to ask.
  Q_UNUSED(textBox);
#endif
}

bool DesktopPlatform::startProgram(const QString& program, const QStringList& arguments) {
  return QProcess::startDetached(program, arguments);
}
