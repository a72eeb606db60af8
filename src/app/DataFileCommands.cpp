#include "app/DataFileCommands.h"

#include "app/StartupWindow.h"
#include "store/Purge.h"
#include "store/Rewrite.h"

QStringList dataFileFilters() {
  return {QStringLiteral("データ(*.dat)"), QStringLiteral("All(*.*)")};
}

namespace {

// The file dialogs live on the start-up window. After the hand-over it is gone; the first
// dialog of the run loads it again, hidden, and that load sets the selected date to today.
StartupWindow& startupWindowForDialogs(AppContext& context) {
  if (!context.startupWindow) {
    context.startupWindow = new StartupWindow(context);
    context.startupWindow->load();
  }
  return *context.startupWindow;
}

}  // namespace

DialogOutcome NewDataFile(AppContext& context) {
  SharedState& state = context.state;
  state.PreviousDataFile = state.CurrentDataFile;
  FileDialogState& dialog = startupWindowForDialogs(context).dialogState();
  dialog.fileName = QStringLiteral("新規データ");
  const std::optional<QString> chosen = context.platform.saveFileName(
      {QStringLiteral("新規作成"), dialog.fileName, dataFileFilters(), true});
  if (!chosen) {
    dialog.fileName = state.PreviousDataFile;
    return DialogOutcome::Cancelled;
  }
  dialog.fileName = *chosen;
  const Status created = createDataFile(*chosen);
  if (!created) {
    warn(context.platform, created.message());
    return DialogOutcome::Failed;
  }
  state.CurrentDataFile = *chosen;
  return DialogOutcome::Chosen;
}

DialogOutcome OpenDataFile(AppContext& context) {
  SharedState& state = context.state;
  FileDialogState& dialog = startupWindowForDialogs(context).dialogState();
  const std::optional<QString> chosen = context.platform.openFileName(
      {QStringLiteral("開く"), dialog.fileName, dataFileFilters(), false});
  if (!chosen) {
    dialog.fileName = state.PreviousDataFile;
    return DialogOutcome::Cancelled;
  }
  dialog.fileName = *chosen;
  state.CurrentDataFile = *chosen;
  return DialogOutcome::Chosen;
}

Status PurgeDataFile(AppContext& context) {
  const SharedState& state = context.state;
  return purgeDataFile(state.CurrentDataFile, QDate(state.SelYear, state.SelMonth, state.SelDay),
                       context.platform.now());
}
