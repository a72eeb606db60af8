#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "store/Status.h"

// Where the sync of one data file keeps what it needs, and the vdirsyncer configuration the
// program writes for it. One pair of folders per data file, under the program's own folders
// (the user's own vdirsyncer setup is never read or touched):
//   $XDG_CONFIG_HOME/yotenna/sync/<name>-<hash>/settings.json   server, user, calendar
//   $XDG_CONFIG_HOME/yotenna/sync/<name>-<hash>/vdirsyncer.conf
//   $XDG_DATA_HOME/yotenna/sync/<name>-<hash>/vdir/             the items (vdirsyncer's)
//   $XDG_DATA_HOME/yotenna/sync/<name>-<hash>/status/           vdirsyncer's status
//   $XDG_DATA_HOME/yotenna/sync/<name>-<hash>/state.json        the bridge's state
//   $XDG_DATA_HOME/yotenna/sync/<name>-<hash>/last-sync.json    the last run's time and error
// The password lives in the Secret Service only, under the attributes service=yotenna and
// account=<the folder's name>: vdirsyncer reads it with secret-tool, and expands every word of
// that command as a path, so the account is a plain word.

struct SyncPaths {
  QString key;  // <name>-<hash>: also the keyring account
  QString configFolder;
  QString settingsFile;
  QString vdirsyncerConfig;
  QString dataFolder;
  QString vdirRoot;
  QString statusFolder;
  QString stateFile;
  QString lastSyncFile;
  QString lockFile;
  // Marks the configuration vdirsyncer last discovered the calendar with.
  QString discoveredFile() const { return dataFolder + QStringLiteral("/discovered"); }
  // The folder of items: the calendar's folder below vdirRoot (vdirsyncer names it by the
  // calendar), or vdirRoot itself when the URL names the calendar.
  QString vdirFor(const QString& calendar) const;
};

SyncPaths syncPathsFor(const QString& dataFile);

struct SyncSettings {
  QString url;
  QString user;
  QString calendar;  // the collection's name on the server; empty when url is the calendar
};

// Nothing when the data file has no sync set up (or its settings cannot be read).
std::optional<SyncSettings> readSyncSettings(const SyncPaths& paths);
Status writeSyncSettings(const SyncPaths& paths, const SyncSettings& settings);

// The configuration vdirsyncer is run with. discovery: every calendar of the server (to list
// them), into a folder of its own, instead of the one chosen.
QByteArray vdirsyncerConfig(const SyncPaths& paths, const SyncSettings& settings,
                            const QString& discoveryFolder = {});

// The calendars `vdirsyncer discover` listed for the server: its name and the name shown.
struct DiscoveredCalendar {
  QString name;
  QString displayName;
  friend bool operator==(const DiscoveredCalendar&, const DiscoveredCalendar&) = default;
};
QList<DiscoveredCalendar> parseDiscoveredCalendars(const QString& output);

// One Japanese sentence that names why vdirsyncer failed, from what it wrote.
QString syncFailureReason(const QString& output, const SyncSettings& settings);

// A warning when the URL sends the password unencrypted to another machine; empty otherwise.
QString plainHttpWarning(const QString& url);

// The last run, for the setup window and the status icon.
struct LastSync {
  QDateTime when;  // of the last run that ended, well or not
  QDateTime lastSuccess;
  QString error;  // empty when it ended well
};
LastSync readLastSync(const SyncPaths& paths);
void writeLastSync(const SyncPaths& paths, const LastSync& last);

// Forgets the sync of the data file: settings, configuration, items, vdirsyncer's status and
// the bridge's state. Neither the data file nor the server is touched.
Status removeSyncSetup(const SyncPaths& paths);
