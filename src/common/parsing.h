#pragma once
// Small parsing helpers: they never fail, callers range-check the results.
#include <cstdint>
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vel {

// Appends the fields of text split at sep; keeps empty fields, always
// appends the last one.
void SplitToList(QStringList& list, const QString& text, QChar sep);
int HexCharValue(char c);            // 0..15, bad digit 0
int DigitValue(char c);              // 0..9, '-' -1, else 0
int32_t HexToInt(const QByteArray& s);   // wraps in 32 bits
// Plain decimal number (sign, digits, '.', exponent, surrounding blanks);
// anything else gives 0.
long double StrToFloatDef0(const QString& text);
// Whole decimal number (optional sign, digits, blanks around); ok false else.
bool StrToIntStrict(const QString& text, long long& value);

// Numbers for files, always in the C locale.
QString FormatFixed(long double v, int decimals);   // like "%.*f"

} // namespace vel
