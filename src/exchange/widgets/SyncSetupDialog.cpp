#include "exchange/widgets/SyncSetupDialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/AppContext.h"
#include "ui/UiSupport.h"

namespace {

QLineEdit* lineEdit(const char* name, const QString& accessibleName, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QLatin1String(name));
  edit->setMinimumWidth(360);
  setAccessible(edit, accessibleName);
  return edit;
}

QPushButton* button(const char* name, const QString& caption, QWidget* parent) {
  auto* pushButton = new QPushButton(caption, parent);
  pushButton->setObjectName(QLatin1String(name));
  setAccessible(pushButton, caption);
  return pushButton;
}

}  // namespace

SyncSetupDialog::SyncSetupDialog(AppContext& context, const QString& dataFile,
                                 const QString& status, QWidget* parent)
    : QDialog(parent), context_(context), runner_(dataFile) {
  setObjectName(QStringLiteral("SyncSetup"));
  setWindowTitle(QStringLiteral("同期の設定"));
  setFont(japaneseFont(10.5));
  makeFixedWindow(this, false);

  auto* layout = new QVBoxLayout(this);
  auto* intro =
      new QLabel(QStringLiteral("このデータファイルを CalDAV サーバー（Nextcloud、Radicale など）の"
                                "カレンダーと同期します。\nデータファイル: %1")
                     .arg(dataFile),
                 this);
  intro->setObjectName(QStringLiteral("SyncIntro"));
  intro->setWordWrap(true);
  layout->addWidget(intro);

  auto* form = new QFormLayout;
  url_ = lineEdit("SyncUrl", QStringLiteral("サーバーの URL"), this);
  url_->setPlaceholderText(QStringLiteral("https://example.org/remote.php/dav/"));
  url_->setToolTip(QStringLiteral("カレンダーの URL か、サーバーの URL（カレンダーを探します）"));
  user_ = lineEdit("SyncUser", QStringLiteral("ユーザー名"), this);
  password_ = lineEdit("SyncPassword", QStringLiteral("パスワード"), this);
  password_->setEchoMode(QLineEdit::Password);
  password_->setToolTip(
      QStringLiteral("キーリング（Secret Service）にしまいます。ファイルには書きません"));
  calendar_ = new QComboBox(this);
  calendar_->setObjectName(QStringLiteral("SyncCalendar"));
  setAccessible(calendar_, QStringLiteral("カレンダー"));
  check_ = button("SyncCheck", QStringLiteral("接続を確認"), this);
  auto* calendarRow = new QHBoxLayout;
  calendarRow->addWidget(calendar_, 1);
  calendarRow->addWidget(check_);
  form->addRow(QStringLiteral("サーバーの URL(&U):"), url_);
  form->addRow(QStringLiteral("ユーザー名(&N):"), user_);
  form->addRow(QStringLiteral("パスワード(&P):"), password_);
  // A row of a layout gets no buddy from addRow: the label is made with its own.
  auto* calendarLabel = new QLabel(QStringLiteral("カレンダー(&C):"), this);
  calendarLabel->setBuddy(calendar_);
  form->addRow(calendarLabel, calendarRow);
  layout->addLayout(form);

  warning_ = new QLabel(this);
  warning_->setObjectName(QStringLiteral("SyncWarning"));
  warning_->setWordWrap(true);
  warning_->setStyleSheet(QStringLiteral("color: #a00000;"));
  layout->addWidget(warning_);
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("SyncMessage"));
  message_->setWordWrap(true);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(message_);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("SyncStatus"));
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(status_);

  auto* buttons = new QHBoxLayout;
  stop_ = button("SyncStop", QStringLiteral("同期をやめる"), this);
  save_ = button("SyncSave", QStringLiteral("保存して同期"), this);
  auto* close = button("SyncClose", QStringLiteral("閉じる"), this);
  buttons->addWidget(stop_);
  buttons->addStretch();
  buttons->addWidget(save_);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  save_->setDefault(true);

  connect(check_, &QPushButton::clicked, this, &SyncSetupDialog::check);
  connect(save_, &QPushButton::clicked, this, &SyncSetupDialog::save);
  connect(stop_, &QPushButton::clicked, this, &SyncSetupDialog::stopSync);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  for (QLineEdit* edit : {url_, user_, password_}) {
    connect(edit, &QLineEdit::textEdited, this, &SyncSetupDialog::inputChanged);
  }
  connect(&runner_, &SyncRunner::passwordStored, this, [this](bool ok, const QString& error) {
    if (!ok) {
      check_->setEnabled(true);
      showMessage(error, true);
      return;
    }
    runner_.startDiscovery(checked_);
  });
  connect(&runner_, &SyncRunner::discovered, this,
          [this](const QList<DiscoveredCalendar>& found, const QString& error) {
            check_->setEnabled(true);
            calendar_->clear();
            calendars_ = found;
            if (!error.isEmpty()) {
              showMessage(error, true);
              return;
            }
            if (found.isEmpty()) {
              showMessage(QStringLiteral("つながりましたが、カレンダーがありません。"
                                         "サーバーでカレンダーを作ってください。"),
                          true);
              return;
            }
            for (const DiscoveredCalendar& one : found) {
              calendar_->addItem(one.displayName.isEmpty()
                                     ? one.name
                                     : QStringLiteral("%1（%2）").arg(one.displayName, one.name),
                                 one.name);
            }
            checkedOk_ = true;
            save_->setEnabled(true);
            showMessage(QStringLiteral("つながりました。同期するカレンダーを選んでください。"),
                        false);
          });

  if (const std::optional<SyncSettings> settings = readSyncSettings(runner_.paths())) {
    url_->setText(settings->url);
    user_->setText(settings->user);
    calendar_->addItem(settings->calendar, settings->calendar);
    checked_ = *settings;
    checkedOk_ = true;  // the password is in the keyring already
    password_->setPlaceholderText(QStringLiteral("（しまってあります。変えるときだけ入力）"));
  }
  stop_->setEnabled(checkedOk_);
  save_->setEnabled(checkedOk_);
  if (const QString missing = runner_.missingPrograms(); !missing.isEmpty()) {
    showMessage(QStringLiteral("同期には %1 が必要です。「sudo apt install %1」で入れてください。")
                    .arg(missing),
                true);
    check_->setEnabled(false);
    save_->setEnabled(false);
  }
  inputChanged();
  setStatus(status);
}

void SyncSetupDialog::setStatus(const QString& status) {
  status_->setText(status);
  status_->setVisible(!status.isEmpty());
}

void SyncSetupDialog::showMessage(const QString& text, bool error) {
  message_->setText(text);
  message_->setStyleSheet(error ? QStringLiteral("color: #a00000;") : QString());
}

void SyncSetupDialog::inputChanged() {
  const QString warning = plainHttpWarning(url_->text().trimmed());
  warning_->setText(warning);
  warning_->setVisible(!warning.isEmpty());
  // Another server or user needs the connection checked again.
  if (checkedOk_ && (url_->text().trimmed() != checked_.url ||
                     user_->text().trimmed() != checked_.user || !password_->text().isEmpty())) {
    checkedOk_ = false;
    save_->setEnabled(false);
  }
}

void SyncSetupDialog::check() {
  SyncSettings settings;
  settings.url = url_->text().trimmed();
  settings.user = user_->text().trimmed();
  if (settings.url.isEmpty() || settings.user.isEmpty()) {
    showMessage(QStringLiteral("サーバーの URL とユーザー名を入れてください。"), true);
    return;
  }
  checked_ = settings;
  check_->setEnabled(false);
  showMessage(QStringLiteral("サーバーに問い合わせています…"), false);
  if (password_->text().isEmpty()) {
    runner_.startDiscovery(checked_);
  } else {
    runner_.startStorePassword(password_->text());
  }
}

void SyncSetupDialog::save() {
  if (!checkedOk_) return;
  SyncSettings settings = checked_;
  settings.calendar = calendar_->currentData().toString();
  const std::optional<SyncSettings> old = readSyncSettings(runner_.paths());
  // Another server or calendar: what was remembered of the old one no longer applies.
  if (old && (old->url != settings.url || old->user != settings.user ||
              old->calendar != settings.calendar)) {
    if (const Status removed = removeSyncSetup(runner_.paths()); !removed) {
      showMessage(removed.message(), true);
      return;
    }
  }
  if (const Status written = writeSyncSettings(runner_.paths(), settings); !written) {
    showMessage(written.message(), true);
    return;
  }
  accept();
}

void SyncSetupDialog::stopSync() {
  if (!confirm(context_.platform,
               QStringLiteral("このデータファイルの同期をやめますか？\n"
                              "データファイルとサーバーのカレンダーは、今のまま残ります。"),
               QStringLiteral("同期をやめる"))) {
    return;
  }
  if (const Status removed = removeSyncSetup(runner_.paths()); !removed) {
    showMessage(removed.message(), true);
    return;
  }
  runner_.startForgetPassword();
  url_->clear();
  user_->clear();
  password_->clear();
  calendar_->clear();
  checkedOk_ = false;
  save_->setEnabled(false);
  stop_->setEnabled(false);
  setStatus(QString());
  showMessage(QStringLiteral("同期をやめました。データファイルとサーバーはそのままです。"), false);
}
