#pragma once
// The confirmation of an iCalendar import: what will be added, what changes on the way, what
// cannot be imported and why, and the days within which a recurring event is added.

#include <QDate>
#include <QDialog>
#include <functional>

#include "exchange/ImportApply.h"

class QDateEdit;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class ImportConfirmDialog : public QDialog {
  Q_OBJECT

 public:
  // What the file yields for a range of days; asked again whenever the user changes the range.
  using Recount = std::function<ImportSummary(const QDate& first, const QDate& last)>;

  ImportConfirmDialog(const QString& fileName, const QDate& first, const QDate& last,
                      Recount recount, QWidget* parent = nullptr);

  QDate rangeFirst() const;
  QDate rangeLast() const;

 private:
  void rangeChanged();
  void showSummary(const ImportSummary& summary);

  Recount recount_;
  QLabel* headline_ = nullptr;
  QLabel* notes_ = nullptr;
  QDateEdit* first_ = nullptr;
  QDateEdit* last_ = nullptr;
  QLabel* notImportedCaption_ = nullptr;
  QPlainTextEdit* notImported_ = nullptr;
  QPushButton* add_ = nullptr;
};
