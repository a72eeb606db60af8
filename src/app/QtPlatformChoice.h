#pragma once

#include <QByteArray>
#include <functional>

// The Qt platform plugin the program asks for before QApplication is made, as a function of
// the environment (a variable's value, empty when unset).
//
// GNOME Shell on Wayland does not keep a Wayland client above other windows, so the alarm
// pop-up would be covered the moment the user clicks the window they were in. Through
// Xwayland the same pop-up is kept above, centred, with the desktop's own frame. The program
// therefore runs there through Xwayland ("xcb;wayland": Wayland should Xwayland refuse it) when
// X11 is at hand (DISPLAY set), unless the user chose a platform (QT_QPA_PLATFORM). Empty:
// leave the choice to Qt.
using EnvironmentLookup = std::function<QByteArray(const char* name)>;
QByteArray chosenQtPlatform(const EnvironmentLookup& environment);

// The same over the process's environment; sets QT_QPA_PLATFORM when a choice is made.
void chooseQtPlatform();
