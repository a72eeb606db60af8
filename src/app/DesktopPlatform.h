#pragma once

#include <memory>

#include "app/InstanceChannel.h"
#include "app/SingleInstanceLock.h"
#include "shared/Platform.h"

class DesktopNotifications;

// The platform of a real desktop session: Qt's dialogs and message boxes, the system clock.
class DesktopPlatform : public Platform {
 public:
  DesktopPlatform();
  ~DesktopPlatform() override;

  QDateTime now() const override;
  qint64 uptimeMilliseconds() const override;
  void beep() override;
  void startAlarmSound() override;
  void stopAlarmSound() override;
  bool alarmSoundPlaying() const override;
  void showAlarmNotification(int alarm, const QString& summary, const QString& body) override;
  void closeAlarmNotification(int alarm) override;
  void setAlarmActionHandler(AlarmActionHandler handler) override;
  MessageAnswer messageBox(const QString& text, const QString& title, MessageIcon icon,
                           MessageButtons buttons) override;
  std::optional<QString> saveFileName(const FileDialogRequest& request) override;
  std::optional<QString> openFileName(const FileDialogRequest& request) override;
  QSize screenSize() const override;
  InstanceLock acquireSingleInstanceLock() override;
  std::optional<QString> raiseRunningCopy(const QString& dataFile) override;
  void listenForLaterCopies(std::function<QString(const QString&)> handler) override;
  void changeToProgramDrive() override;
  bool loadPicture(const QString& path, const QSize& shownSize, QImage* picture,
                   QString* error) override;
  void requestHiraganaInput(QObject* textBox) override;
  bool startProgram(const QString& program, const QStringList& arguments) override;

 private:
  DesktopNotifications& notifications();

  QString runtimeFolder_;  // the user's private runtime folder, once found
  std::unique_ptr<SingleInstanceLock> lock_;
  InstanceServer laterCopies_;
  std::unique_ptr<DesktopNotifications> notifications_;
  AlarmActionHandler actionHandler_;
};
