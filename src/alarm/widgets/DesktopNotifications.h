#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <optional>

#include "shared/Platform.h"

// Alarms as desktop notifications through org.freedesktop.Notifications on the session bus:
// the timer's title as the summary, its time as the body, urgency critical, no expiry, and
// the actions 止める and 5分後にもう一度. Every call is asynchronous: without a bus or a
// notification server nothing fails and nothing waits.
class DesktopNotifications : public QObject {
  Q_OBJECT

 public:
  static constexpr auto kService = "org.freedesktop.Notifications";
  static constexpr auto kPath = "/org/freedesktop/Notifications";
  static constexpr auto kInterface = "org.freedesktop.Notifications";
  static constexpr auto kStopAction = "stop";
  static constexpr auto kSnoozeAction = "snooze";

  // The session bus is connected at the first notification, and only when one is known to
  // exist: finding none must not start one or wait for one.
  explicit DesktopNotifications(QObject* parent = nullptr);
  // Talks to the service over the given connection (tests use a private bus).
  explicit DesktopNotifications(const QDBusConnection& bus, QObject* parent = nullptr);

  void show(int alarm, const QString& summary, const QString& body);
  void close(int alarm);
  void setActionHandler(AlarmActionHandler handler) { handler_ = std::move(handler); }

  // "yotenna" when an icon of that name is installed where notification servers look
  // (the hicolor theme or pixmaps under the XDG data folders), else "appointment-soon".
  static QString iconName();

 private slots:
  void actionInvoked(uint id, const QString& actionKey);
  void notificationClosed(uint id, uint reason);

 private:
  bool connectBus();
  void closeOnServer(uint id);

  std::optional<QDBusConnection> bus_;
  bool triedBus_ = false;
  bool signalsConnected_ = false;
  QString icon_;
  QHash<int, uint> idOfAlarm_;
  QHash<uint, int> alarmOfId_;
  QSet<int> pending_;         // sent, the server's number not yet known
  QSet<int> closeOnArrival_;  // closed before the server told its number
  AlarmActionHandler handler_;
};
