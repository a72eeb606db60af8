#include "app/DataFileCommands.h"

#include "store/Purge.h"
#include "store/Rewrite.h"

QStringList dataFileFilters() {
  return {QStringLiteral("データ(*.dat)"), QStringLiteral("All(*.*)")};
}

void runStartupLoadSteps(AppContext& context) {
  context.platform.changeToProgramDrive();
  const QDate today = context.platform.now().date();
  context.state.SelYear = today.year();
  context.state.SelMonth = today.month();
  context.state.SelDay = today.day();
}

FileDialogState& MainFileDialogs::state() {
  if (!state_) {
    state_.emplace();
    runStartupLoadSteps(context_);
  }
  return *state_;
}

DialogOutcome NewDataFile(AppContext& context, FileDialogState& dialog) {
  SharedState& state = context.state;
  state.PreviousDataFile = state.CurrentDataFile;
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

DialogOutcome OpenDataFile(AppContext& context, FileDialogState& dialog) {
  SharedState& state = context.state;
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

Status PurgeDataFile(AppContext& context, QList<TimerRecord>* removedOnceTimers) {
  const SharedState& state = context.state;
  return purgeDataFile(state.CurrentDataFile, QDate(state.SelYear, state.SelMonth, state.SelDay),
                       context.platform.now(), removedOnceTimers);
}
