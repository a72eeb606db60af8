#include "app/DesktopPlatform.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>

#ifdef Q_OS_WIN
#include <direct.h>
#endif

namespace {

QWidget* dialogParent() {
  return QApplication::activeWindow();
}

QString filterText(const QStringList& filters) {
  return filters.join(QStringLiteral(";;"));
}

}  // namespace

DesktopPlatform::DesktopPlatform() : lock_(SingleInstanceLock::defaultPath()) {}

QDateTime DesktopPlatform::now() const {
  return QDateTime::currentDateTime();
}

void DesktopPlatform::beep() {
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
  QFileDialog::Options options;
  if (!request.confirmOverwrite) options |= QFileDialog::DontConfirmOverwrite;
  const QString chosen =
      QFileDialog::getSaveFileName(dialogParent(), request.title, request.fileName,
                                   filterText(request.filters), nullptr, options);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

std::optional<QString> DesktopPlatform::openFileName(const FileDialogRequest& request) {
  const QString chosen = QFileDialog::getOpenFileName(
      dialogParent(), request.title, request.fileName, filterText(request.filters));
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

QSize DesktopPlatform::screenSize() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().size() : QSize(1024, 768);
}

bool DesktopPlatform::acquireSingleInstanceLock() {
  return lock_.acquire();
}

void DesktopPlatform::changeToProgramDrive() {
#ifdef Q_OS_WIN
  const QString folder = QCoreApplication::applicationDirPath();
  if (folder.size() >= 2 && folder.at(1) == u':') {
    _chdrive(folder.at(0).toUpper().unicode() - u'A' + 1);
  }
#endif
}
