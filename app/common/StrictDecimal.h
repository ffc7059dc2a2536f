#pragma once
// Strict decimal conversion of the texts the user or the preferences hold:
// an optional sign and digits only, within the range of int. No blanks, no
// hexadecimal, no thousands separators.

#include <QString>
#include <optional>

std::optional<int> DecimalValue(const QString &text);

// The value of text, or a TVelmarError saying that it is not a whole number.
int StrToInt(const QString &text);
