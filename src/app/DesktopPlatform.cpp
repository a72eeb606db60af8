#include "app/DesktopPlatform.h"

#include "app/DesktopIntegration.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>

#include "ui/FileDialogs.h"

#ifdef YOTENNA_HAVE_CANBERRA
#include <canberra.h>
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

// Starts the desktop's alarm sound, or its bell where the sound theme has no alarm; returns at
// once (the sound plays on libcanberra's own thread). False when neither could be started.
bool playAlarmSound() {
  ca_context* context = soundContext();
  if (!context) return false;
  for (const char* event : {"alarm-clock-elapsed", "bell"}) {
    if (ca_context_play(context, 0, CA_PROP_EVENT_ID, event, CA_PROP_EVENT_DESCRIPTION,
                        "タイマーの時間です", nullptr) == CA_SUCCESS) {
      return true;
    }
  }
  return false;
}
#endif

}  // namespace

DesktopPlatform::DesktopPlatform() = default;

QDateTime DesktopPlatform::now() const { return QDateTime::currentDateTime(); }

void DesktopPlatform::beep() {
#ifdef YOTENNA_HAVE_CANBERRA
  if (playAlarmSound()) return;
#endif
  QApplication::beep();
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

bool DesktopPlatform::loadPicture(const QString& path, QImage* picture, QString* error) {
  *picture = QImage();
  if (path.isEmpty()) return true;
  if (!QFileInfo::exists(path)) {
    *error =
        QStringLiteral("画像ファイル「%1」が見つかりません").arg(QDir::toNativeSeparators(path));
    return false;
  }
  QImageReader reader(path);
  reader.setDecideFormatFromContent(true);
  if (!reader.read(picture)) {
    *error = QStringLiteral("画像ファイル「%1」を読み込めません（%2）")
                 .arg(QDir::toNativeSeparators(path), reader.errorString());
    return false;
  }
  return true;
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
