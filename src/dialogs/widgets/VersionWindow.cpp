#include "dialogs/widgets/VersionWindow.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>

#include "dialogs/WindowsRegistry.h"
#include "ui/Accessibility.h"
#include "ui/UiSupport.h"

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                  QRect rect) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->setFont(font);
  label->setGeometry(rect);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Black on the window's ground means the palette's text colour, which reads on it.
  return label;
}

// One stroke of the etched separator.
void makeLine(QWidget* parent, const char* name, const QColor& colour, QRect rect) {
  auto* line = new QFrame(parent);
  line->setObjectName(QLatin1String(name));
  line->setGeometry(rect);
  QPalette palette = line->palette();
  palette.setColor(QPalette::Window, colour);
  line->setPalette(palette);
  line->setAutoFillBackground(true);
  markDecorative(line);
}

// A wrapped text that does not fit its box at this font (CJK fonts have taller lines and
// wider kana than the one the window was drawn for) takes the width up to the window's right
// margin, so that no line is cut off.
void widenToFit(QLabel* label, int rightEdge) {
  if (label->heightForWidth(label->width()) <= label->height()) return;
  label->resize(std::max(label->width(), rightEdge - label->x()), label->height());
}

}  // namespace

VersionWindow::VersionWindow(AppContext& context, MainViews& views, QWidget* parent,
                             const RegistryReader* registry, FileExists fileExists)
    : QDialog(parent),
      context_(context),
      registry_(registry ? *registry : systemRegistryReader()),
      fileExists_(std::move(fileExists)) {
  initResources();
  installAccessibleInterfaces();
  setObjectName(QStringLiteral("frmAbout"));
  context.openWindows.version = this;
  setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
  // A dialog of its owner: no taskbar button of its own.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(twips(7830), twips(5205));

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("picIcon"));
  // The calendar picture of the program, at the size of a window icon.
  icon->setPixmap(QPixmap(QStringLiteral(":/images/toolbar/03.png"))
                      .scaled(32, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation));
  icon->setGeometry(twips(120), twips(240), 32, 32);
  icon->setAccessibleName(QStringLiteral("Yotennaのアイコン"));

  QLabel* title = makeLabel(this, "lblTitle", kAppTitle, japaneseFont(21.75, true),
                            twipsRect(840, 240, 2610, 495));
  QLabel* version = makeLabel(this, "lblVersion", QStringLiteral("Version 1.0.0"), japaneseFont(12),
                              twipsRect(840, 780, 3885, 345));
  QLabel* description = makeLabel(this, "lblDescription", QString(), japaneseFont(12),
                                  twipsRect(840, 1200, 5205, 1530));
  description->setWordWrap(true);
  makeLine(this, "Line1(1)", QColor(128, 128, 128), QRect(0, twips(2805), twips(7800), 1));
  makeLine(this, "Line1(0)", Qt::white, QRect(0, twips(2820), twips(7800), 2));
  QLabel* disclaimer = makeLabel(this, "lblDisclaimer", QString(), japaneseFont(12),
                                 twipsRect(840, 2880, 5295, 2280));
  disclaimer->setWordWrap(true);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("cmdOK"));
  ok->setGeometry(twipsRect(6285, 4305, 1380, 345));
  setAccessible(ok, ok->text());
  auto* sysInfo = new QPushButton(QStringLiteral("ｼｽﾃﾑ情報(&S)..."), this);
  sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
  sysInfo->setGeometry(twipsRect(6300, 4755, 1380, 345));
  setAccessible(sysInfo, QStringLiteral("ｼｽﾃﾑ情報..."));
  // Enter presses "OK"; Esc closes the window as "OK" does.
  ok->setDefault(true);
  setTabOrder(ok, sysInfo);
  ok->setFocus();
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(sysInfo, &QPushButton::clicked, this, &VersionWindow::StartSysInfo);

  // The load: place, then the texts of this version.
  const QRect main = views.mainWindowGeometry();
  move(main.left(), main.top() + twips(1000));
  const VersionTexts texts = versionTexts();
  setWindowTitle(texts.caption);
  version->setText(texts.version);
  title->setText(texts.title);
  title->adjustSize();
  description->setText(texts.description);
  disclaimer->setText(texts.disclaimer);
  // The blanks that push the texts onto their lines are not read out.
  for (QLabel* text : {description, disclaimer}) text->setAccessibleName(spokenText(text->text()));
  // A line of the version is a pixel taller in a CJK font than its box was drawn.
  version->resize(version->width(), std::max(version->height(), version->sizeHint().height()));
  for (QLabel* text : {description, disclaimer}) widenToFit(text, width() - twips(120));
}

void VersionWindow::StartSysInfo() {
  Platform& platform = context_.platform;
  const SysInfoStart start = sysInfoStart(registry_, fileExists_);
  if (start.program && platform.startProgram(*start.program, {})) return;
  platform.messageBox(start.unavailable.text, start.unavailable.title, start.unavailable.icon,
                      MessageButtons::Ok);
}
