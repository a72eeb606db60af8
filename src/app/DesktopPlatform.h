#pragma once

#include <memory>

#include "app/InstanceChannel.h"
#include "app/SingleInstanceLock.h"
#include "shared/Platform.h"

// The platform of a real desktop session: Qt's dialogs and message boxes, the system clock.
class DesktopPlatform : public Platform {
 public:
  DesktopPlatform();

  QDateTime now() const override;
  void beep() override;
  MessageAnswer messageBox(const QString& text, const QString& title, MessageIcon icon,
                           MessageButtons buttons) override;
  std::optional<QString> saveFileName(const FileDialogRequest& request) override;
  std::optional<QString> openFileName(const FileDialogRequest& request) override;
  QSize screenSize() const override;
  InstanceLock acquireSingleInstanceLock() override;
  std::optional<QString> raiseRunningCopy(const QString& dataFile) override;
  void listenForLaterCopies(std::function<QString(const QString&)> handler) override;
  void changeToProgramDrive() override;
  bool loadPicture(const QString& path, QImage* picture, QString* error) override;
  void requestHiraganaInput(QObject* textBox) override;
  bool startProgram(const QString& program, const QStringList& arguments) override;

 private:
  QString runtimeFolder_;  // the user's private runtime folder, once found
  std::unique_ptr<SingleInstanceLock> lock_;
  InstanceServer laterCopies_;
};
