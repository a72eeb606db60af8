#include "app/QtPlatformChoice.h"

#include <QList>
#include <QtGlobal>

namespace {

// XDG_CURRENT_DESKTOP is a colon-separated list ("ubuntu:GNOME", "GNOME-Classic:GNOME").
bool isGnome(const QByteArray& desktops) {
  const QList<QByteArray> names = desktops.split(':');
  for (const QByteArray& name : names) {
    if (name.trimmed().compare("GNOME", Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

}  // namespace

QByteArray chosenQtPlatform(const EnvironmentLookup& environment) {
  if (!environment("QT_QPA_PLATFORM").trimmed().isEmpty()) return {};
  if (environment("XDG_SESSION_TYPE").trimmed().compare("wayland", Qt::CaseInsensitive) != 0) {
    return {};
  }
  if (!isGnome(environment("XDG_CURRENT_DESKTOP"))) return {};
  // Without Xwayland the notification and the sound carry the alarm.
  if (environment("DISPLAY").trimmed().isEmpty()) return {};
  // Wayland stays the fallback, should Xwayland refuse the connection.
  return QByteArrayLiteral("xcb;wayland");
}

void chooseQtPlatform() {
  const QByteArray platform = chosenQtPlatform([](const char* name) { return qgetenv(name); });
  if (!platform.isEmpty()) qputenv("QT_QPA_PLATFORM", platform);
}
