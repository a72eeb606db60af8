#include "app/Program.h"

#include "app/DataFileCommands.h"
#include "app/MainWindow.h"
#include "app/StartupWindow.h"

Program::Program(AppContext& context) : context_(context) {}

Program::~Program() {
  delete main_.data();
  delete startup_.data();
}

StartupWindow* Program::startupWindow() const { return startup_; }

MainWindow* Program::mainWindow() const { return main_; }

bool Program::start() {
  startup_ = new StartupWindow(context_);
  connect(startup_, &StartupWindow::dataFileChosen, this, &Program::handOver);
  if (!startup_->load()) return false;
  startup_->show();
  return true;
}

void Program::handOver(bool opened) {
  startup_ = nullptr;  // unloaded; it deletes itself
  if (!main_) main_ = new MainWindow(context_);
  main_->show();
  if (!opened) {
    main_->finishRefresh();
    return;
  }
  // The main window loads its views before the purge, so until its next reload it still
  // shows what the purge removes.
  const Status purged = PurgeDataFile(context_);
  if (!purged) {
    // The purge names the file and the reason; the views' failure would say the same again.
    main_->clearPendingFailure();
    warn(context_.platform, purged.message());
  } else {
    main_->finishRefresh();
  }
}
