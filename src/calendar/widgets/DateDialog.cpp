#include "calendar/widgets/DateDialog.h"

#include <QDateEdit>
#include <QLabel>
#include <QPushButton>

#include "calendar/widgets/HolidayCalendar.h"
#include "ui/UiSupport.h"

DateDialog::DateDialog(AppContext& context, MainViews& views, QWidget* parent)
    : QDialog(parent), context_(context), views_(views) {
  setObjectName(QStringLiteral("Form3"));
  context.openWindows.dateDialog = this;
  setWindowTitle(QStringLiteral("年月日を指定してね"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(twips(4590), twips(1725));

  auto* heading = new QLabel(QStringLiteral("年月日を選択してください"), this);
  heading->setObjectName(QStringLiteral("Label1"));
  heading->setGeometry(twipsRect(0, 0, 4575, 495));
  heading->setAlignment(Qt::AlignCenter);
  heading->setAutoFillBackground(true);
  QPalette palette = heading->palette();
  palette.setColor(QPalette::Window, Qt::white);
  heading->setPalette(palette);
  heading->setFont(popFont(18));

  auto* range =
      new QLabel(QStringLiteral("最小は1601年01月01日で、最大が9999年12月31日です"), this);
  range->setObjectName(QStringLiteral("Label2"));
  range->setGeometry(twipsRect(0, 600, 4575, 255));
  range->setAlignment(Qt::AlignCenter);

  picker_ = new QDateEdit(this);
  picker_->setObjectName(QStringLiteral("DTPicker1"));
  picker_->setGeometry(twipsRect(0, 840, 4575, 420));
  picker_->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
  picker_->setDateRange(QDate(1601, 1, 1), QDate(9999, 12, 31));
  picker_->setDisplayFormat(QStringLiteral("yyyy年MM月dd日  dddd"));
  picker_->setCalendarPopup(true);
  picker_->setCalendarWidget(new HolidayCalendar(picker_));
  picker_->setFont(popFont(15.75));
  picker_->setToolTip(QStringLiteral("年月日を指定してね"));
  setAccessible(picker_, QStringLiteral("表示する年月日"));

  auto* show = new QPushButton(QStringLiteral("表示"), this);
  show->setObjectName(QStringLiteral("Command1"));
  show->setGeometry(twipsRect(0, 1320, 2295, 375));
  show->setToolTip(QStringLiteral("上に出てる日付けを表示します"));
  setAccessible(show, show->text());
  auto* close = new QPushButton(QStringLiteral("閉じる"), this);
  close->setObjectName(QStringLiteral("Command2"));
  close->setGeometry(twipsRect(2280, 1320, 2295, 375));
  close->setToolTip(QStringLiteral("閉じます"));
  setAccessible(close, close->text());
  setTabOrder(show, close);
  setTabOrder(close, picker_);
  show->setDefault(true);
  show->setFocus();

  connect(show, &QPushButton::clicked, this, &DateDialog::showChosenDate);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);

  // At the main window's left edge, 1000 twips below its top; today's date, not the shown one.
  const QRect main = views.mainWindowGeometry();
  move(main.x(), main.y() + twips(1000));
  picker_->setDate(context.platform.now().date());
}

void DateDialog::showChosenDate() {
  const QDate chosen = picker_->date();
  context_.state.SelYear = chosen.year();
  context_.state.SelMonth = chosen.month();
  context_.state.SelDay = chosen.day();
  refreshViews(views_, {&MainViews::ShowDateHeading, &MainViews::ShowDayHoliday,
                        &MainViews::LoadDaySchedules, &MainViews::RefreshMonthView});
  accept();
}
