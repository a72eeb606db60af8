#pragma once

#include <QDateTime>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QImage;
class QObject;

enum class MessageIcon { None, Question, Warning };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// What the user chose on an alarm's desktop notification.
enum class AlarmAction { Stop, Snooze };
using AlarmActionHandler = std::function<void(int alarm, AlarmAction action)>;

struct FileDialogRequest {
  QString title;
  QString fileName;     // proposed name or path
  QStringList filters;  // Qt filter entries, e.g. "データ(*.dat)"
  bool confirmOverwrite = false;
};

// The single-instance lock as a start finds it.
struct InstanceLock {
  enum class State {
    Held,             // this process is the only running copy
    AnotherCopyRuns,  // another copy holds the lock
    Unavailable,      // the lock could not be made; the program runs without it
  };
  State state = State::Held;
  QString reason;  // why the lock is unavailable, in Japanese, naming the file or folder
};

// Everything the program asks of the machine it runs on. The desktop implementation talks to
// Qt and the system; tests use a fake that answers from a script.
class Platform {
 public:
  virtual ~Platform() = default;

  virtual QDateTime now() const = 0;
  // Milliseconds on a clock that nobody sets and that runs on during sleep (time since boot);
  // only the difference between two readings means anything.
  virtual qint64 uptimeMilliseconds() const = 0;

  // A short sound of the desktop's theme, such as the click that closes an alarm.
  virtual void beep() = 0;

  // The alarm sound. start plays it once through (a few seconds) and returns at once; stop
  // silences it at once; playing tells whether it still sounds. The alarm starts it again
  // while it rings.
  virtual void startAlarmSound() = 0;
  virtual void stopAlarmSound() = 0;
  virtual bool alarmSoundPlaying() const = 0;

  // A desktop notification for an alarm, with the actions 止める and 5分後にもう一度; the
  // alarm number names it. Returns at once: where there is no notification service nothing
  // happens and nothing waits. An action the user chooses comes back through the handler.
  virtual void showAlarmNotification(int alarm, const QString& summary, const QString& body) = 0;
  virtual void closeAlarmNotification(int alarm) = 0;
  virtual void setAlarmActionHandler(AlarmActionHandler handler) = 0;

  virtual MessageAnswer messageBox(const QString& text, const QString& title, MessageIcon icon,
                                   MessageButtons buttons) = 0;

  // A cancelled dialog gives no value.
  virtual std::optional<QString> saveFileName(const FileDialogRequest& request) = 0;
  virtual std::optional<QString> openFileName(const FileDialogRequest& request) = 0;

  // The available screen area, in pixels.
  virtual QSize screenSize() const = 0;

  // Takes the single-instance lock (asking again while it is held keeps it).
  virtual InstanceLock acquireSingleInstanceLock() = 0;

  // Asks the copy that holds the lock to come to the front, telling it the data file this start
  // was given (empty for none). The answer is the data file that copy has in use (empty while
  // it shows its start-up window); none when it could not be reached.
  virtual std::optional<QString> raiseRunningCopy(const QString& dataFile) = 0;

  // While this process holds the lock: each later start is handed to `handler` with the data
  // file it was given; the handler brings a window to the front and returns the file in use.
  virtual void listenForLaterCopies(std::function<QString(const QString& dataFile)> handler) = 0;

  // Makes the drive of the program's folder current; a no-op where there are no drives.
  virtual void changeToProgramDrive() = 0;

  // Loads a picture file (BMP, JPEG, GIF, PNG) for a box of shownSize device pixels; a larger
  // picture comes at that size. An empty path gives an empty picture; a file that cannot be
  // loaded (missing, not a regular file, too large, not a picture) gives false and a Japanese
  // description of why that names the file. Never waits on a pipe or a device.
  virtual bool loadPicture(const QString& path, const QSize& shownSize, QImage* picture,
                           QString* error) = 0;

  // Asks the input method for hiragana input while the given text box has the focus; a no-op
  // where the input method cannot be told.
  virtual void requestHiraganaInput(QObject* textBox) = 0;

  // Starts a program without waiting for it; false when it could not be started.
  virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
};

// The program's title on message boxes that name no other.
inline const QString kAppTitle = QStringLiteral("Yotenna");

// Message boxes with the program's usual icons and buttons.
inline bool confirm(Platform& platform, const QString& text, const QString& title = kAppTitle) {
  return platform.messageBox(text, title, MessageIcon::Question, MessageButtons::YesNo) ==
         MessageAnswer::Yes;
}
inline void warn(Platform& platform, const QString& text, const QString& title = kAppTitle) {
  platform.messageBox(text, title, MessageIcon::Warning, MessageButtons::Ok);
}
