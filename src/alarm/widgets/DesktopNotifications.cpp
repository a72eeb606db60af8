#include "alarm/widgets/DesktopNotifications.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QVariantMap>

namespace {

// Notification urgency levels: 0 low, 1 normal, 2 critical.
constexpr uchar kCritical = 2;

// Whether a session bus can be reached without starting one: libdbus would otherwise try to
// launch a bus of its own through X11, which can take seconds.
bool sessionBusKnown() {
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

}  // namespace

DesktopNotifications::DesktopNotifications(QObject* parent) : QObject(parent), icon_(iconName()) {}

DesktopNotifications::DesktopNotifications(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), icon_(iconName()) {
  bus_ = bus;
}

QString DesktopNotifications::iconName() {
  static const QStringList places = {QStringLiteral("icons/hicolor/scalable/apps/yotenna.svg"),
                                     QStringLiteral("icons/hicolor/48x48/apps/yotenna.png"),
                                     QStringLiteral("icons/hicolor/64x64/apps/yotenna.png"),
                                     QStringLiteral("icons/hicolor/128x128/apps/yotenna.png"),
                                     QStringLiteral("icons/hicolor/256x256/apps/yotenna.png"),
                                     QStringLiteral("pixmaps/yotenna.png"),
                                     QStringLiteral("pixmaps/yotenna.svg")};
  for (const QString& place : places) {
    if (!QStandardPaths::locate(QStandardPaths::GenericDataLocation, place).isEmpty()) {
      return QStringLiteral("yotenna");
    }
  }
  // Until the program's own icon is installed: the freedesktop icon naming's status icon for
  // an appointment that is due.
  return QStringLiteral("appointment-soon");
}

bool DesktopNotifications::connectBus() {
  if (!bus_) {
    if (triedBus_) return false;
    triedBus_ = true;
    if (!sessionBusKnown()) return false;
    bus_ = QDBusConnection::sessionBus();
  }
  if (!bus_->isConnected()) return false;
  if (!signalsConnected_) {
    // The service's signals, whoever owns its name now or later.
    signalsConnected_ = true;
    bus_->connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                  QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
    bus_->connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                  QStringLiteral("NotificationClosed"), this, SLOT(notificationClosed(uint, uint)));
  }
  return true;
}

void DesktopNotifications::show(int alarm, const QString& summary, const QString& body) {
  if (!connectBus()) return;
  QDBusMessage call =
      QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                     QLatin1String(kInterface), QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kCritical));
  // The desktop entry, by which a server finds the program's name and icon.
  const QString desktopEntry = QGuiApplication::desktopFileName();
  if (!desktopEntry.isEmpty()) hints.insert(QStringLiteral("desktop-entry"), desktopEntry);
  hints.insert(QStringLiteral("category"), QStringLiteral("x-yotenna.alarm"));
  // The program plays the alarm sound itself, until the alarm is dismissed.
  hints.insert(QStringLiteral("suppress-sound"), true);
  call << QStringLiteral("Yotenna") << uint(0) << icon_ << summary << body
       << QStringList{QLatin1String(kStopAction), QStringLiteral("止める"),
                      QLatin1String(kSnoozeAction), QStringLiteral("5分後にもう一度")}
       << hints << int(0);  // 0: stays until the user closes it
  pending_.insert(alarm);
  auto* watcher = new QDBusPendingCallWatcher(bus_->asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, alarm](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            pending_.remove(alarm);
            const bool closed = closeOnArrival_.remove(alarm);
            const QDBusPendingReply<uint> reply = *finished;
            if (reply.isError()) return;  // no server, or it refused: the pop-up is enough
            const uint id = reply.value();
            if (closed) {
              closeOnServer(id);
              return;
            }
            idOfAlarm_.insert(alarm, id);
            alarmOfId_.insert(id, alarm);
          });
}

void DesktopNotifications::close(int alarm) {
  if (!bus_ || !bus_->isConnected()) return;
  const auto found = idOfAlarm_.constFind(alarm);
  if (found == idOfAlarm_.constEnd()) {
    if (pending_.contains(alarm)) closeOnArrival_.insert(alarm);
    return;
  }
  const uint id = *found;
  idOfAlarm_.erase(found);
  alarmOfId_.remove(id);
  closeOnServer(id);
}

void DesktopNotifications::closeOnServer(uint id) {
  QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                     QLatin1String(kInterface),
                                                     QStringLiteral("CloseNotification"));
  call << id;
  // Nobody waits for the answer; an error (already closed) changes nothing.
  bus_->asyncCall(call);
}

void DesktopNotifications::actionInvoked(uint id, const QString& actionKey) {
  const auto found = alarmOfId_.constFind(id);
  if (found == alarmOfId_.constEnd()) return;  // another program's notification
  const int alarm = *found;
  std::optional<AlarmAction> action;
  if (actionKey == QLatin1String(kStopAction)) action = AlarmAction::Stop;
  if (actionKey == QLatin1String(kSnoozeAction)) action = AlarmAction::Snooze;
  if (!action) return;
  // The server closes a notification whose action was chosen; it is done with either way.
  alarmOfId_.remove(id);
  idOfAlarm_.remove(alarm);
  closeOnServer(id);
  if (handler_) handler_(alarm, *action);
}

void DesktopNotifications::notificationClosed(uint id, uint reason) {
  Q_UNUSED(reason);
  const auto found = alarmOfId_.constFind(id);
  if (found == alarmOfId_.constEnd()) return;
  idOfAlarm_.remove(*found);
  alarmOfId_.erase(found);
}
