#pragma once

#include <QImage>
#include <QList>
#include <QMap>
#include <optional>

#include "shared/Platform.h"

// A platform whose answers the test sets up in advance and whose requests it can inspect.
class FakePlatform : public Platform {
 public:
  struct Message {
    QString text;
    QString title;
    MessageIcon icon;
    MessageButtons buttons;
  };

  QDateTime clock{QDate(2001, 5, 3), QTime(12, 0, 0)};
  qint64 uptime = 0;  // milliseconds; moves only when the test moves it
  QSize screen{1280, 1024};
  InstanceLock lock;  // what acquireSingleInstanceLock() answers
  // The running copy as a later start finds it: the file it has in use, or none when it cannot
  // be reached. raiseRequests records what each start told it.
  std::optional<QString> runningCopyFile;
  QStringList raiseRequests;
  // What this copy does when a later start asks it to come to the front, once it listens.
  std::function<QString(const QString&)> laterCopyHandler;
  int beeps = 0;
  int driveChanges = 0;

  // Answers given in turn to Yes/No boxes; an unscripted question is answered No.
  QList<MessageAnswer> answers;
  QList<Message> messages;

  // Results of the file dialogs in turn; an unscripted dialog is cancelled.
  QList<std::optional<QString>> saveResults;
  QList<std::optional<QString>> openResults;
  QList<FileDialogRequest> saveRequests;
  QList<FileDialogRequest> openRequests;

  QDateTime now() const override { return clock; }
  qint64 uptimeMilliseconds() const override { return uptime; }
  void beep() override { ++beeps; }

  // The alarm sound: how often it was started and stopped; it plays until the test ends it
  // (soundPlaying = false) or it is stopped.
  int soundStarts = 0;
  int soundStops = 0;
  bool soundPlaying = false;
  void startAlarmSound() override {
    ++soundStarts;
    soundPlaying = true;
  }
  void stopAlarmSound() override {
    ++soundStops;
    soundPlaying = false;
  }
  bool alarmSoundPlaying() const override { return soundPlaying; }

  // Notifications shown and closed, and the handler the program set for their actions.
  struct Notification {
    int alarm;
    QString summary;
    QString body;
  };
  QList<Notification> notifications;
  QList<int> closedNotifications;
  AlarmActionHandler actionHandler;
  void showAlarmNotification(int alarm, const QString& summary, const QString& body) override {
    notifications.append({alarm, summary, body});
  }
  void closeAlarmNotification(int alarm) override { closedNotifications.append(alarm); }
  void setAlarmActionHandler(AlarmActionHandler handler) override {
    actionHandler = std::move(handler);
  }

  MessageAnswer messageBox(const QString& text, const QString& title, MessageIcon icon,
                           MessageButtons buttons) override {
    messages.append({text, title, icon, buttons});
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return answers.isEmpty() ? MessageAnswer::No : answers.takeFirst();
  }

  std::optional<QString> saveFileName(const FileDialogRequest& request) override {
    saveRequests.append(request);
    return saveResults.isEmpty() ? std::nullopt : saveResults.takeFirst();
  }
  std::optional<QString> openFileName(const FileDialogRequest& request) override {
    openRequests.append(request);
    return openResults.isEmpty() ? std::nullopt : openResults.takeFirst();
  }

  // Pictures the fake can load, by path; any other non-empty path fails. The size asked for
  // is recorded; the picture comes as stored.
  QMap<QString, QImage> pictures;
  QList<QSize> pictureSizes;
  QStringList hiraganaRequests;
  struct Start {
    QString program;
    QStringList arguments;
  };
  QList<Start> started;
  bool startsSucceed = true;

  bool loadPicture(const QString& path, const QSize& shownSize, QImage* picture,
                   QString* error) override {
    *picture = QImage();
    pictureSizes.append(shownSize);
    if (path.isEmpty()) return true;
    if (!pictures.contains(path)) {
      *error = QStringLiteral("画像ファイル「%1」が見つかりません").arg(path);
      return false;
    }
    *picture = pictures.value(path);
    return true;
  }
  void requestHiraganaInput(QObject* textBox) override {
    hiraganaRequests.append(textBox ? textBox->objectName() : QString());
  }
  bool startProgram(const QString& program, const QStringList& arguments) override {
    started.append({program, arguments});
    return startsSucceed;
  }

  QSize screenSize() const override { return screen; }
  InstanceLock acquireSingleInstanceLock() override { return lock; }
  std::optional<QString> raiseRunningCopy(const QString& dataFile) override {
    raiseRequests.append(dataFile);
    return runningCopyFile;
  }
  void listenForLaterCopies(std::function<QString(const QString&)> handler) override {
    laterCopyHandler = std::move(handler);
  }
  void changeToProgramDrive() override { ++driveChanges; }
};
