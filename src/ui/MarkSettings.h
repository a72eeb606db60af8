#pragma once

#include <QString>

// Which of the Japanese calendar's marks the windows show (koyomi::MarkKind bits), kept between
// runs in the program's settings file, yotenna.conf in its own configuration folder
// (~/.config/Yotenna on Linux). No file, or one that cannot be read, shows none.
QString markSettingsFile();
int loadShownMarks();
// False when the file could not be written; the choice then holds for this run only.
bool saveShownMarks(int kinds);
