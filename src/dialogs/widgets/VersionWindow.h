#pragma once
// frmAbout: the version window, which can also start the system-information program.

#include <QDialog>

#include "dialogs/Registry.h"
#include "dialogs/VersionInfo.h"
#include "ui/AppContext.h"
#include "ui/MainViews.h"

class VersionWindow : public QDialog {
  Q_OBJECT

 public:
  // The registry and the file test are those of the system unless a caller gives others.
  VersionWindow(AppContext& context, MainViews& views, QWidget* parent = nullptr,
                const RegistryReader* registry = nullptr, FileExists fileExists = fileExistsOnDisk);

  // "ｼｽﾃﾑ情報(&S)...": starts the system-information program, or says it is not available.
  void StartSysInfo();

 private:
  AppContext& context_;
  const RegistryReader& registry_;
  FileExists fileExists_;
};
