#pragma once
// The calendar that drops down from the date dialog's picker: Saturdays blue, Sundays red and
// the holidays marked as in the main window's month grid, a holiday's name as the tooltip of its
// day, and the month headed the Japanese way, "2026年 12月".

#include <QCalendarWidget>
#include <QList>
#include <QRect>
#include <utility>

class QHBoxLayout;
class QToolButton;

class HolidayCalendar : public QCalendarWidget {
  Q_OBJECT

 public:
  explicit HolidayCalendar(QWidget* parent = nullptr);

  // The year and month captions of the navigation bar, in the order they stand: "2026年12月".
  QString heading() const;
  // The holiday's name as the tooltip of the day painted at `position` (on the day grid).
  QString toolTipAt(const QPoint& position) const;

 protected:
  void paintCell(QPainter* painter, const QRect& rect, QDate date) const override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void followShownPage();
  void nameForScreenReaders();

  QToolButton* yearButton_ = nullptr;
  QToolButton* monthButton_ = nullptr;
  QHBoxLayout* barLayout_ = nullptr;
  QWidget* dayGrid_ = nullptr;
  // Where each day was painted last, to find the day under the mouse.
  mutable QList<std::pair<QRect, QDate>> paintedDays_;
};
