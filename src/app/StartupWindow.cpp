#include "app/StartupWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "app/DataFileCommands.h"
#include "store/Rewrite.h"
#include "ui/Pictures.h"
#include "ui/UiSupport.h"

StartupWindow::StartupWindow(AppContext& context) : context_(context) {
  initResources();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("新しいデータ？　既存のデータ？"));
  makeFixedWindow(this, false);
  setFixedSize(twips(7215), twips(6150));

  image_ = new QLabel(this);
  image_->setObjectName(QStringLiteral("Image1"));
  image_->setGeometry(twipsRect(0, 0, 7215, 5655));
  image_->setPixmap(startupPicture(devicePixelRatioF()));
  image_->setScaledContents(true);
  image_->setToolTip(QStringLiteral("Yotennaします"));
  setAccessible(image_, QStringLiteral("Yotenna 起動画面の絵"));

  auto makeButton = [this](const char* name, const QString& caption, const QString& tip,
                           double left) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(twipsRect(left, 5670, 2415, 495));
    button->setToolTip(tip);
    setAccessible(button, caption);
    // Enter presses the button that has the focus, as Space does.
    button->setAutoDefault(true);
    return button;
  };
  newButton_ = makeButton("Command1", QStringLiteral("新規作成"),
                          QStringLiteral("新しいデータを作ります"), 0);
  openButton_ = makeButton("Command2", QStringLiteral("既存のデータを開く"),
                           QStringLiteral("既にあるデータを読み込みます"), 2400);
  endButton_ = makeButton("Command3", QStringLiteral("終了"), QStringLiteral("終了で～す"), 4800);
  setTabOrder(newButton_, openButton_);
  setTabOrder(openButton_, endButton_);
  newButton_->setFocus();

  connect(newButton_, &QPushButton::clicked, this, &StartupWindow::createNewFile);
  connect(openButton_, &QPushButton::clicked, this, &StartupWindow::openExistingFile);
  connect(endButton_, &QPushButton::clicked, this, &StartupWindow::endProgram);
}

void StartupWindow::load() {
  runStartupLoadSteps(context_);
  const QSize screen = context_.platform.screenSize();
  move((screen.width() - width()) / 2, (screen.height() - height()) / 2);
}

void StartupWindow::createNewFile() {
  dialog_.fileName = QStringLiteral("新規データ");
  const std::optional<QString> chosen = context_.platform.saveFileName(
      {QStringLiteral("新規作成"), dialog_.fileName, dataFileFilters(), true});
  if (!chosen) return;
  dialog_.fileName = *chosen;
  const Status created = createDataFile(*chosen);
  if (!created) {
    warn(context_.platform, created.message());
    return;
  }
  context_.state.CurrentDataFile = *chosen;
  context_.state.MonthDays[0] = 1;
  close();
  emit dataFileChosen(false);
}

void StartupWindow::openExistingFile() {
  const std::optional<QString> chosen = context_.platform.openFileName(
      {QStringLiteral("開く"), dialog_.fileName, dataFileFilters(), false});
  if (!chosen) return;
  openFile(*chosen);
}

void StartupWindow::openFile(const QString& path) {
  dialog_.fileName = path;
  context_.state.CurrentDataFile = path;
  context_.state.MonthDays[0] = 1;
  close();
  emit dataFileChosen(true);
}

void StartupWindow::endProgram() {
  close();
  if (context_.quit) context_.quit();
}

void StartupWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  unload();
}

void StartupWindow::unload() {
  if (unloaded_) return;
  unloaded_ = true;
  hide();
  deleteLater();
  // With a file chosen, the caller of close() hands over to the main window next.
  if (context_.state.MonthDays[0] != 1 && context_.quit) context_.quit();
}
