#pragma once

#include <QString>
#include <optional>

#include "store/Record.h"
#include "store/Status.h"
#include "ui/AppContext.h"

// What the file-dialog component keeps between uses (the start-up window's, then the main
// window's MainFileDialogs).
struct FileDialogState {
  QString fileName;
};

// The steps of the start-up window's load that are not about the window: the program's drive
// becomes the current one and today the selected date.
void runStartupLoadSteps(AppContext& context);

// The file dialogs of the main window's new and open. The start-up window held their state
// until the hand-over and is gone after it; the first dialog of the run loads that state
// afresh, and the load's steps run again: the selected date becomes today, once a run.
class MainFileDialogs {
 public:
  explicit MainFileDialogs(AppContext& context) : context_(context) {}

  FileDialogState& state();

 private:
  AppContext& context_;
  std::optional<FileDialogState> state_;
};

enum class DialogOutcome { Chosen, Cancelled, Failed };

// The file dialogs' filter list: data files, then all files.
QStringList dataFileFilters();

// Lets the user name a new data file and creates it with the marker line alone. The file in
// use changes only when the new file exists; a failure is shown to the user. `dialog` keeps
// the dialog's state from one use to the next.
DialogOutcome NewDataFile(AppContext& context, FileDialogState& dialog);

// Lets the user choose an existing data file. Does not purge: the caller does that next.
DialogOutcome OpenDataFile(AppContext& context, FileDialogState& dialog);

// Purges the data file in use, with the selected date as the threshold for schedule entries
// and the platform's clock for timers. The once-only timers it drops (their minute has passed)
// go to removedOnceTimers when it is given, for the user to hear of them.
Status PurgeDataFile(AppContext& context, QList<TimerRecord>* removedOnceTimers = nullptr);
