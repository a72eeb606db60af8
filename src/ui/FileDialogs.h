#pragma once

#include <QString>
#include <QTranslator>
#include <optional>

#include "shared/Platform.h"

class QWidget;

enum class FileDialogMode { Open, Save };

// Shows the open or save dialog for a request and returns the chosen path, or nothing when it
// was cancelled. Where the desktop offers its own dialog (a platform theme is installed) it is
// the one shown; otherwise Qt's own, in Japanese throughout: its file list gives sizes and
// dates in the dialog's (Japanese) form rather than the system locale's, and the date column
// is as wide as its dates.
std::optional<QString> runFileDialog(QWidget* parent, const FileDialogRequest& request,
                                     FileDialogMode mode);

// Japanese for the few texts of Qt's file dialog that Qt's own Japanese catalogue (6.4) lacks,
// such as "Folder" in the file list's type column.
class QtJapaneseSupplement : public QTranslator {
  Q_OBJECT

 public:
  using QTranslator::QTranslator;

  QString translate(const char* context, const char* sourceText, const char* disambiguation,
                    int n) const override;
  bool isEmpty() const override { return false; }
};
