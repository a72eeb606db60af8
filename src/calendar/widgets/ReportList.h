#pragma once
// What the main window's two report lists (the day list and the timer list) share.

#include <QList>
#include <QObject>
#include <QStringList>

class QTreeWidget;
class QWidget;

// A list in report mode: whole rows selected, no tree, the design's column widths in twips. A
// caption too long for its column ends in "…".
QTreeWidget* makeReportList(QWidget* parent, const char* name, const QStringList& headers,
                            const QList<int>& widthsInTwips);

// The texts of a row's columns; empty for a row the list does not have.
QStringList rowTexts(const QTreeWidget* list, int row);

// Opens a list's rows: a click on a row, or Enter or Space on the current one.
class RowOpener : public QObject {
  Q_OBJECT

 public:
  explicit RowOpener(QTreeWidget* list);

 signals:
  void rowOpened(int row);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTreeWidget* list_;
};
