#pragma once

#include <QString>

// A short Japanese description of a system error number (errno), for messages to the user.
QString describeSystemError(int errorNumber);

// "「path」" with the native separators, for messages.
QString quotedPath(const QString& path);
