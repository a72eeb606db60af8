#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Text in the data file is Shift-JIS as Windows writes it (code page 932, "windows-31j").

QString decodeCp932(const QByteArray& bytes);

// The character code page 932 stores for a Unicode character that has another form there
// (〜 U+301C is stored as ～ U+FF5E, 0x8160; likewise − ‖ — ¢ £ ¬ ¦); any other is returned as is.
char16_t windowsFormOf(char16_t c);

// Encodes text, mapping the characters above to their code page 932 forms; no value when a
// character has no CP932 form (it is never written as '?').
std::optional<QByteArray> encodeCp932(const QString& text);

// The first character of the text that CP932 cannot hold, if any.
std::optional<QString> firstUnencodableCharacter(const QString& text);
