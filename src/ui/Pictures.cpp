#include "ui/Pictures.h"

#include "ui/UiSupport.h"

QPixmap startupPicture(qreal devicePixelRatio) {
  initResources();
  if (devicePixelRatio <= 1.0) return QPixmap(QStringLiteral(":/images/startup.png"));
  QPixmap sharp(QStringLiteral(":/images/startup@2x.png"));
  sharp.setDevicePixelRatio(2.0);
  return sharp;
}

QIcon toolbarPicture(int number) {
  initResources();
  const QString stem = QStringLiteral(":/images/toolbar/%1").arg(number, 2, 10, QLatin1Char('0'));
  QIcon icon;
  icon.addFile(stem + QStringLiteral(".png"), QSize(16, 16));
  icon.addFile(stem + QStringLiteral("@1.5x.png"), QSize(24, 24));
  icon.addFile(stem + QStringLiteral("@2x.png"), QSize(32, 32));
  return icon;
}
