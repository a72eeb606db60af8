#pragma once
// ファイル → 同期の設定…: the CalDAV server, user, password and calendar the data file in use
// is synced with; 「接続を確認」 stores the password in the Secret Service and lists the server's
// calendars, 「同期をやめる」 forgets the sync and leaves the data file and the server as they are.

#include <QDialog>
#include <QList>

#include "exchange/SyncRunner.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct AppContext;

class SyncSetupDialog : public QDialog {
  Q_OBJECT

 public:
  SyncSetupDialog(AppContext& context, const QString& dataFile, const QString& status,
                  QWidget* parent = nullptr);

  // The last sync's time and any error.
  void setStatus(const QString& status);

 private:
  void check();
  void save();
  void stopSync();
  void inputChanged();
  void showMessage(const QString& text, bool error);

  AppContext& context_;
  SyncRunner runner_;
  QLineEdit* url_ = nullptr;
  QLineEdit* user_ = nullptr;
  QLineEdit* password_ = nullptr;
  QComboBox* calendar_ = nullptr;
  QPushButton* check_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* stop_ = nullptr;
  QLabel* warning_ = nullptr;
  QLabel* message_ = nullptr;
  QLabel* status_ = nullptr;
  QList<DiscoveredCalendar> calendars_;
  SyncSettings checked_;  // the settings 接続を確認 last succeeded with
  bool checkedOk_ = false;
};
