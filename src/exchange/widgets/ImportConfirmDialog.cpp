#include "exchange/widgets/ImportConfirmDialog.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/UiSupport.h"

namespace {

QDateEdit* dateEdit(const char* name, const QDate& date, const QString& accessibleName,
                    QWidget* parent) {
  auto* edit = new QDateEdit(date, parent);
  edit->setObjectName(QLatin1String(name));
  edit->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
  edit->setCalendarPopup(true);
  edit->setDateRange(QDate(1, 1, 1), QDate(9999, 12, 31));
  setAccessible(edit, accessibleName);
  return edit;
}

}  // namespace

ImportConfirmDialog::ImportConfirmDialog(const QString& fileName, const QDate& first,
                                         const QDate& last, Recount recount, QWidget* parent)
    : QDialog(parent), recount_(std::move(recount)) {
  setObjectName(QStringLiteral("ImportConfirm"));
  setWindowTitle(QStringLiteral("iCalendar を読み込む"));
  setFont(japaneseFont(10.5));
  makeFixedWindow(this, false);

  auto* layout = new QVBoxLayout(this);
  auto* file = new QLabel(QStringLiteral("読み込むファイル: %1").arg(fileName), this);
  file->setObjectName(QStringLiteral("ImportFile"));
  file->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(file);

  headline_ = new QLabel(this);
  headline_->setObjectName(QStringLiteral("ImportHeadline"));
  headline_->setFont(japaneseFont(12, true));
  layout->addWidget(headline_);

  notes_ = new QLabel(this);
  notes_->setObjectName(QStringLiteral("ImportNotes"));
  notes_->setWordWrap(true);
  layout->addWidget(notes_);

  auto* range = new QGroupBox(QStringLiteral("繰り返す予定を追加する期間"), this);
  range->setObjectName(QStringLiteral("ImportRange"));
  auto* rangeLayout = new QHBoxLayout(range);
  first_ = dateEdit("RangeFirst", first, QStringLiteral("繰り返す予定を追加する期間 開始"), range);
  last_ = dateEdit("RangeLast", last, QStringLiteral("繰り返す予定を追加する期間 終了"), range);
  rangeLayout->addWidget(first_);
  rangeLayout->addWidget(new QLabel(QStringLiteral("から"), range));
  rangeLayout->addWidget(last_);
  rangeLayout->addWidget(new QLabel(QStringLiteral("まで"), range));
  rangeLayout->addStretch();
  layout->addWidget(range);

  notImportedCaption_ = new QLabel(this);
  notImportedCaption_->setObjectName(QStringLiteral("NotImportedCaption"));
  layout->addWidget(notImportedCaption_);
  notImported_ = new QPlainTextEdit(this);
  notImported_->setObjectName(QStringLiteral("NotImported"));
  notImported_->setReadOnly(true);
  notImported_->setLineWrapMode(QPlainTextEdit::NoWrap);
  notImported_->setMinimumSize(560, 120);
  setAccessible(notImported_, QStringLiteral("取り込めないもの"));
  layout->addWidget(notImported_, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  add_ = new QPushButton(QStringLiteral("追加する"), this);
  add_->setObjectName(QStringLiteral("AddButton"));
  add_->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel->setObjectName(QStringLiteral("CancelButton"));
  buttons->addWidget(add_);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);

  connect(add_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(first_, &QDateEdit::dateChanged, this, &ImportConfirmDialog::rangeChanged);
  connect(last_, &QDateEdit::dateChanged, this, &ImportConfirmDialog::rangeChanged);
  last_->setMinimumDate(first);
  showSummary(recount_(first, last));
  setMinimumWidth(640);
  add_->setFocus();
}

QDate ImportConfirmDialog::rangeFirst() const { return first_->date(); }
QDate ImportConfirmDialog::rangeLast() const { return last_->date(); }

void ImportConfirmDialog::rangeChanged() {
  // The end never comes before the start.
  last_->setMinimumDate(first_->date());
  showSummary(recount_(first_->date(), last_->date()));
}

void ImportConfirmDialog::showSummary(const ImportSummary& summary) {
  headline_->setText(summary.headline);
  notes_->setText(summary.notes.join(u'\n'));
  notes_->setVisible(!summary.notes.isEmpty());
  notImportedCaption_->setText(
      summary.notImported.isEmpty()
          ? QStringLiteral("取り込めないものはありません。")
          : QStringLiteral("取り込めないもの（%1 件）:").arg(summary.notImported.size()));
  notImported_->setPlainText(summary.notImported.join(u'\n'));
  notImported_->setVisible(!summary.notImported.isEmpty());
  add_->setEnabled(summary.anythingToAdd);
}
