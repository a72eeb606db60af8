#include "dialogs/widgets/UsageHelpWindow.h"

#include <QLabel>
#include <algorithm>

#include "ui/UiSupport.h"

namespace {

constexpr int kClientWidth = 7350;
constexpr int kClientHeight = 2700;
// The blank the layout leaves below its last text.
constexpr int kBottomMargin = 45;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->setFont(font);
  return label;
}

// Places a label at its place in the layout, unless the text above it reaches further down
// (a CJK font has taller lines than the one the window was drawn for); then it moves down
// just below that text and grows to hold its own. Returns where its text ends.
int placeBelow(QLabel* label, QRect rect, int textAbove) {
  const int needed =
      label->wordWrap() ? label->heightForWidth(rect.width()) : label->sizeHint().height();
  rect.moveTop(std::max(rect.top(), textAbove));
  rect.setHeight(std::max(rect.height(), needed));
  label->setGeometry(rect);
  return rect.bottom() + 1;
}

}  // namespace

UsageHelpWindow::UsageHelpWindow(AppContext& context, MainViews& views, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("Form7"));
  context.openWindows.usageHelp = this;
  setWindowTitle(QStringLiteral("すんげー簡単な説明"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFont(japaneseFont(9));

  QLabel* title = makeLabel(this, "Label1", QStringLiteral("使い方です"), japaneseFont(36));
  title->setGeometry(twipsRect(0, 0, 7335, 735));
  title->setAlignment(Qt::AlignCenter);

  QLabel* calendar =
      makeLabel(this, "Label2", QStringLiteral("カレンダー機能"), japaneseFont(12, true));
  QLabel* calendarText = makeLabel(
      this, "Label3",
      QStringLiteral("予定を書き込みましょう、カレンダーの日付けをクリックすると編集画面が出ま"
                     "す、自動で消えますにチェックを付けると終了にチェックをつけた場合は次にデ"
                     "ータを開いた時に削除されます。"),
      font());
  calendarText->setWordWrap(true);
  QLabel* timer = makeLabel(this, "Label4", QStringLiteral("タイマー機能"), japaneseFont(12, true));
  QLabel* timerText = makeLabel(
      this, "Label5",
      QStringLiteral("指定した時間になると教えてくれます、データを追加していきましょう、一回だ"
                     "けという場合は一度出てくると消えてしまいます、一回だけというデータで現在"
                     "の日付けより前の場合は次にデータを開いた時に削除されます。"),
      font());
  timerText->setWordWrap(true);
  for (QLabel* text : {calendarText, timerText}) text->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  // "カレンダー機能" sits beside the large title, inside its box, on purpose.
  int textEnd = placeBelow(calendar, twipsRect(0, 600, 2055, 255), 0);
  textEnd = placeBelow(calendarText, twipsRect(240, 960, 7095, 735), textEnd);
  textEnd = placeBelow(timer, twipsRect(0, 1680, 1455, 375), textEnd);
  textEnd = placeBelow(timerText, twipsRect(240, 2040, 7095, 615), textEnd);
  setFixedSize(twips(kClientWidth), std::max(twips(kClientHeight), textEnd + twips(kBottomMargin)));

  const QRect main = views.mainWindowGeometry();
  move(main.left(), main.top() + twips(1000));
}
