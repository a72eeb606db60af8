#include "ui/MarkSettings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include "calendar/Koyomi.h"

namespace {

struct MarkKey {
  int kind;
  const char* key;
};
constexpr MarkKey kKeys[] = {{koyomi::Rokuyo, "marks/rokuyo"},
                             {koyomi::LunisolarAndEra, "marks/lunisolar_and_era"},
                             {koyomi::Seasons, "marks/solar_terms_and_seasonal_days"}};

}  // namespace

QString markSettingsFile() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
      .filePath(QStringLiteral("yotenna.conf"));
}

int loadShownMarks() {
  const QSettings settings(markSettingsFile(), QSettings::IniFormat);
  int kinds = 0;
  for (const MarkKey& key : kKeys) {
    if (settings.value(QLatin1String(key.key), false).toBool()) kinds |= key.kind;
  }
  return kinds;
}

bool saveShownMarks(int kinds) {
  QSettings settings(markSettingsFile(), QSettings::IniFormat);
  for (const MarkKey& key : kKeys) {
    settings.setValue(QLatin1String(key.key), (kinds & key.kind) != 0);
  }
  settings.sync();
  return settings.status() == QSettings::NoError;
}
