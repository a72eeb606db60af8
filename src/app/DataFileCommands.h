#pragma once

#include <QString>

#include "store/Record.h"
#include "store/Status.h"
#include "ui/AppContext.h"

// What the file-dialog component keeps between uses while the start-up window is loaded.
struct FileDialogState {
  QString fileName;
};

enum class DialogOutcome { Chosen, Cancelled, Failed };

// The file dialogs' filter list: data files, then all files.
QStringList dataFileFilters();

// Lets the user name a new data file and creates it with the marker line alone. The file in
// use changes only when the new file exists; a failure is shown to the user. The dialog is
// the start-up window's, which keeps its state.
DialogOutcome NewDataFile(AppContext& context, FileDialogState& dialog);

// Lets the user choose an existing data file. Does not purge: the caller does that next.
DialogOutcome OpenDataFile(AppContext& context, FileDialogState& dialog);

// Purges the data file in use, with the selected date as the threshold for schedule entries
// and the platform's clock for timers. The once-only timers it drops (their minute has passed)
// go to removedOnceTimers when it is given, for the user to hear of them; rewritten says whether
// the file changed, so that the views are read again.
Status PurgeDataFile(AppContext& context, QList<TimerRecord>* removedOnceTimers = nullptr,
                     bool* rewritten = nullptr);
