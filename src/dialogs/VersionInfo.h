#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "dialogs/DialogMessage.h"
#include "dialogs/Registry.h"

// The texts of the version window (frmAbout), set when it loads.
struct VersionTexts {
  QString caption;      // the window: "Yotennaのﾊﾞｰｼﾞｮﾝ情報"
  QString title;        // lblTitle: "Yotenna"
  QString version;      // lblVersion: "Version " and the project's version
  QString description;  // lblDescription
  QString disclaimer;   // lblDisclaimer
};

VersionTexts versionTexts();

// "Version " and the three numbers in decimal, joined by dots.
QString versionLabel(int major, int minor, int revision);

// The main window's caption: "Yotenna Version " and this version.
QString mainWindowCaption();

// The notice's parts joined by the runs of spaces (58, 35, 27, 34 and 17) that, at the label's
// width and font, start each part on a new line. Parts beyond the sixth are joined by a single
// space.
QString joinNoticeParts(const QStringList& parts);

using FileExists = std::function<bool(const QString& path)>;

// True when the path names an existing file (not a folder).
bool fileExistsOnDisk(const QString& path);

// What "ｼｽﾃﾑ情報(&S)..." does: start `program` when one was found. `unavailable` is shown when
// none was found, and also when starting the program fails.
struct SysInfoStart {
  std::optional<QString> program;
  DialogMessage unavailable;
};

// Finds the system-information program through the registry under HKEY_LOCAL_MACHINE: the
// value "PATH" of "SOFTWARE\Microsoft\Shared Tools\MSINFO" when it names an existing file,
// else the value "MSINFO" of "SOFTWARE\Microsoft\Shared Tools Location" followed by
// "\MSINFO32.EXE" when that file exists.
SysInfoStart sysInfoStart(const RegistryReader& registry,
                          const FileExists& fileExists = fileExistsOnDisk);
