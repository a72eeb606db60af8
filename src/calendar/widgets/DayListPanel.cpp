#include "calendar/widgets/DayListPanel.h"

#include <QRadioButton>
#include <QTreeWidget>

#include "calendar/DayView.h"
#include "calendar/widgets/CalendarColors.h"
#include "calendar/widgets/ReportList.h"
#include "ui/Accessibility.h"
#include "ui/CaptionLabel.h"
#include "ui/UiSupport.h"

namespace {

// The list's heights in twips, as the display modes show it.
constexpr int kListHeight = 2620;
constexpr int kFullListHeight = 9340;

QDate selectedDate(const SharedState& state) {
  return QDate(state.SelYear, state.SelMonth, state.SelDay);
}

}  // namespace

DayListPanel::DayListPanel(AppContext& context, QWidget* client, QObject* parent)
    : QObject(parent), context_(context) {
  const std::array<QString, 3> filterCaptions{
      QStringLiteral("まだ"), QStringLiteral("終了したもの"), QStringLiteral("全部")};
  // The design's widths suit its 9 pt font; each button may take the room up to the next one,
  // so that its caption is not cut by the wider radio marks of today's styles.
  const std::array<QRect, 3> filterGeometry{
      twipsRect(0, 720, 840, 180), twipsRect(840, 720, 1440, 180), twipsRect(2280, 720, 735, 180)};
  for (size_t i = 0; i < 3; ++i) {
    auto* button = new QRadioButton(filterCaptions[i], client);
    button->setObjectName(QStringLiteral("Option1(%1)").arg(i));
    button->setGeometry(filterGeometry[i].adjusted(0, -3, 0, 3));
    setAccessible(button, QStringLiteral("絞り込み ") + filterCaptions[i]);
    filterButtons_[i] = button;
  }
  filterButtons_[0]->setChecked(true);
  makeOneTabStop({filterButtons_.begin(), filterButtons_.end()});
  // An unchecked button says nothing: its partner says it.
  for (QRadioButton* button : filterButtons_) {
    connect(button, &QRadioButton::toggled, this, [this](bool checked) {
      if (checked) emit filterChanged();
    });
  }

  heading_ = new CaptionLabel(client);
  heading_->setObjectName(QStringLiteral("Label2"));
  heading_->setGeometry(twipsRect(2760, 440, 6495, 525));
  heading_->setAlignment(Qt::AlignCenter);
  heading_->setFont(japaneseFont(27.75, true));
  heading_->setToolTip(QStringLiteral("年月日"));

  list_ = makeReportList(client, "ListView1",
                         {QStringLiteral("件名"), QStringLiteral("内容"), QStringLiteral("終了"),
                          QStringLiteral("削除")},
                         {3880, 7000, 700, 700});
  list_->setGeometry(twipsRect(0, 960, 12390, kListHeight));
  list_->setToolTip(QStringLiteral("予定が表示されます、データをクリックすると編集できます"));
  setAccessible(list_, QStringLiteral("選択した日の予定"));
  connect(new RowOpener(list_), &RowOpener::rowOpened, this, &DayListPanel::rowOpened);
}

void DayListPanel::showHeading() { heading_->setText(dayHeading(selectedDate(context_.state))); }

void DayListPanel::showHoliday() {
  const QDate selected = selectedDate(context_.state);
  list_->clear();
  setTextColor(heading_, dayHeadingColor(selected));
  if (const std::optional<DayListRow> row = holidayRow(selected)) addRow(*row);
}

Status DayListPanel::loadEntries() {
  showHeading();
  const DayEntries entries =
      loadDayEntries(context_.state.CurrentDataFile, selectedDate(context_.state),
                     static_cast<DayFilter>(filter()));
  for (const DayListRow& row : entries.rows) addRow(row);
  return entries.status;
}

void DayListPanel::addRow(const DayListRow& row) {
  list_->addTopLevelItem(new QTreeWidgetItem(row.columns()));
}

void DayListPanel::setFull(bool full) {
  list_->setFixedHeight(twips(full ? kFullListHeight : kListHeight));
  // In フル the day list lies over the month grid and the timer list.
  list_->raise();
}

int DayListPanel::filter() const {
  for (int i = 0; i < 3; ++i) {
    if (filterButtons_[static_cast<size_t>(i)]->isChecked()) return i;
  }
  return 0;
}

QString DayListPanel::heading() const { return heading_->text(); }

QStringList DayListPanel::row(int row) const { return rowTexts(list_, row); }
