#pragma once

#include <QString>

// A short Japanese description of a system error number (errno), for messages to the user.
QString describeSystemError(int errorNumber);

// "「path」" with the native separators, for messages.
QString quotedPath(const QString& path);

// Why a named pipe, a device or the like is neither read nor written as a data file.
inline const QString kNotRegularFile =
    QStringLiteral("通常のファイルではありません（名前付きパイプやデバイスなどは開けません）");
