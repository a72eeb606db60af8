#include "app/MainWindow.h"

#include <QCloseEvent>

#include "app/UiSupport.h"

MainWindow::MainWindow(AppContext& context) : context_(context) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Yotenna Version 1.1.5"));
  makeFixedWindow(this, true);
  setFixedSize(twips(12375), twips(10305));
  setAttribute(Qt::WA_DeleteOnClose, false);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!confirm(context_.platform, QStringLiteral("終了しますか？"), QStringLiteral("確認"))) {
    event->ignore();
    return;
  }
  event->accept();
  if (context_.quit) context_.quit();
}
