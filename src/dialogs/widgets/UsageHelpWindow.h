#pragma once
// Form7: the short usage help, closed with its close box or Esc.

#include <QDialog>

#include "ui/AppContext.h"
#include "ui/MainViews.h"

class UsageHelpWindow : public QDialog {
  Q_OBJECT

 public:
  UsageHelpWindow(AppContext& context, MainViews& views, QWidget* parent = nullptr);
};
