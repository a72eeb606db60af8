#pragma once

#include <optional>

// The command lines for scripts and timers, handled before any window exists:
//   yotenna --sync FILE
//   yotenna --sync-setup FILE --url URL --user USER --password-stdin [--calendar NAME]
// The exit status when the command line is one of them (0 done; otherwise the reason is on
// standard error); nothing for any other command line.
std::optional<int> runSyncCommandLine(int argc, char* argv[]);
