#include "app/DesktopIntegration.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QRegularExpression>
#include <QWidget>

#include "ui/UiSupport.h"

const QList<int>& applicationIconSizes() {
  static const QList<int> sizes{16, 22, 24, 32, 48, 64, 96, 128, 256};
  return sizes;
}

QIcon applicationIcon() {
  initResources();
  QIcon icon;
  for (const int size : applicationIconSizes()) {
    icon.addFile(QStringLiteral(":/icons/yotenna-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

QIcon trayIconPicture() { return QIcon::fromTheme(QStringLiteral("yotenna"), applicationIcon()); }

void bringToFront(QWidget* window) {
  if (!window) return;
  if (window->isMinimized()) {
    window->showNormal();
  } else {
    window->show();
  }
  window->raise();
  window->activateWindow();
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != window) {
    modal->raise();
    modal->activateWindow();
  }
}

bool isSameFile(const QString& a, const QString& b) {
  const auto key = [](const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
  };
  return key(a) == key(b);
}

QStringList fileDialogNameFilters(const QStringList& filters) {
  // "Caption(patterns)": Qt reads the patterns from the last parentheses of an entry.
  static const QRegularExpression entry(QStringLiteral("^(.*)\\(([^()]*)\\)$"));
  QStringList out;
  for (const QString& filter : filters) {
    const QRegularExpressionMatch match = entry.match(filter);
    if (!match.hasMatch()) {
      out.append(filter);
      continue;
    }
    QStringList patterns = match.captured(2).split(u' ', Qt::SkipEmptyParts);
#ifndef Q_OS_WIN
    for (QString& pattern : patterns) {
      if (pattern == u"*.*") pattern = QStringLiteral("*");
    }
#endif
    out.append(QStringLiteral("%1 (%2)").arg(filter, patterns.join(u' ')));
  }
  return out;
}
