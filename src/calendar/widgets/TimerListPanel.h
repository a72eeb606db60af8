#pragma once
// The main window's list of every timer of the data file (ListView2).

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include "store/Status.h"

class QFontMetricsF;
class QTreeWidget;
class QWidget;

class TimerListPanel : public QObject {
  Q_OBJECT

 public:
  // The list is placed on `client`, the main window's client area, at the design's place.
  TimerListPanel(QWidget* client, QObject* parent);

  // LoadTimerList: every timer of the file, in file order, the columns fitted to them. A file
  // that cannot be read leaves the list empty and says why.
  Status load(const QString& dataFile);

  QStringList row(int row) const;
  QTreeWidget* list() const { return list_; }

 signals:
  // A row was clicked, or Enter or Space was pressed on it.
  void rowOpened(int row);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Every column inside the list, at its texts' widths where they fit.
  void fitColumnsToTexts();
  int textWidth(const QString& text, const QFontMetricsF& metrics);

  QTreeWidget* list_ = nullptr;
  // The list is rebuilt at every refresh, mostly with the same texts: their widths are kept,
  // for the font they were measured in.
  QHash<QString, int> knownWidths_;
  QString knownFont_;
};
