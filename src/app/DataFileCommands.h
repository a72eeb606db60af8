#pragma once

#include "app/AppContext.h"
#include "store/Status.h"

enum class DialogOutcome { Chosen, Cancelled, Failed };

// The file dialogs' filter list: data files, then all files.
QStringList dataFileFilters();

// Lets the user name a new data file and creates it with the marker line alone. The file in
// use changes only when the new file exists; a failure is shown to the user.
DialogOutcome NewDataFile(AppContext& context);

// Lets the user choose an existing data file. Does not purge: the caller does that next.
DialogOutcome OpenDataFile(AppContext& context);

// Purges the data file in use, with the selected date as the threshold for schedule entries
// and the platform's clock for timers.
Status PurgeDataFile(AppContext& context);
