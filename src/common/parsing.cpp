#include "common/parsing.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

namespace vel {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The text between surrounding blanks.
QStringView Trimmed(QStringView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && IsBlank(s[b].unicode())) ++b;
    while (e > b && IsBlank(s[e - 1].unicode())) --e;
    return s.mid(b, e - b);
}

locale_t CLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

} // namespace

void SplitToList(QStringList& list, const QString& text, QChar sep) {
    list.append(text.split(sep, Qt::KeepEmptyParts));
}

int HexCharValue(char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c == '-') return -1;
    return 0;
}

int32_t HexToInt(const QByteArray& s) {
    uint32_t v = 0;
    for (const char c : s) v = v * 16u + static_cast<uint32_t>(HexCharValue(c));
    return static_cast<int32_t>(v);
}

long double StrToFloatDef0(const QString& text) {
    const QStringView s = Trimmed(text);
    // Checked by hand: strtold alone would also take "nan", "inf", hex
    // floats and leading blanks of every kind.
    qsizetype i = 0;
    const qsizetype n = s.size();
    if (i < n && (s[i] == u'+' || s[i] == u'-')) ++i;
    int digits = 0;
    while (i < n && IsDigit(s[i].unicode())) { ++i; ++digits; }
    if (i < n && s[i] == u'.') {
        ++i;
        while (i < n && IsDigit(s[i].unicode())) { ++i; ++digits; }
    }
    if (digits == 0) return 0;
    if (i < n && (s[i] == u'e' || s[i] == u'E')) {
        ++i;
        if (i < n && (s[i] == u'+' || s[i] == u'-')) ++i;
        int expDigits = 0;
        while (i < n && IsDigit(s[i].unicode())) { ++i; ++expDigits; }
        if (expDigits == 0) return 0;
    }
    if (i != n) return 0;
    const std::string ascii = s.toLatin1().toStdString();
    const locale_t loc = CLocale();
    if (loc == static_cast<locale_t>(nullptr)) return 0;
    const long double v = strtold_l(ascii.c_str(), nullptr, loc);
    // An overflow would bring an infinity the callers don't expect.
    return std::isfinite(v) ? v : 0;
}

bool StrToIntStrict(const QString& text, long long& value) {
    const QStringView s = Trimmed(text);
    qsizetype i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) neg = s[i++] == u'-';
    if (i == s.size()) return false;
    // Gathered as a negative number: its range reaches one further.
    constexpr long long Min = std::numeric_limits<long long>::min();
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (!IsDigit(s[i].unicode())) return false;
        const int d = s[i].unicode() - u'0';
        if (v < (Min + d) / 10) return false;
        v = v * 10 - d;
    }
    if (!neg) {
        if (v == Min) return false;
        v = -v;
    }
    value = v;
    return true;
}

QString FormatFixed(long double v, int decimals) {
    if (!std::isfinite(v)) return QStringLiteral("0");
    if (decimals < 0) decimals = 0;
    if (decimals > 100) decimals = 100;
    // to_chars ignores the process locale, which Qt sets from the user's.
    std::string buf(std::numeric_limits<long double>::max_exponent10 + 8 + decimals, '\0');
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) return QStringLiteral("0");
    return QString::fromLatin1(buf.data(), r.ptr - buf.data());
}

} // namespace vel
