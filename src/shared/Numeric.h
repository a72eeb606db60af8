#pragma once

#include <QStringView>

// The numeric value of a text: the number it spells from its start. Leading blanks are
// skipped, an optional sign and digits with an optional decimal part are read, and reading
// stops at the first character that cannot continue the number. An empty text is 0.
double numericValue(QStringView text);

// True when the whole text (blanks around it allowed) is a number; an empty text is not.
bool isWholeNumber(QStringView text);

// The numeric value cut to an integer (towards zero) and kept inside +-10^15, enough for the
// largest timer moment (yyyymmddhhnn) without overflow.
long long integerValue(QStringView text);
