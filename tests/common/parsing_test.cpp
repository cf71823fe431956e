#include <clocale>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include "common/parsing.h"

namespace vel {
namespace {

// Results are compared as text so one table holds every helper; long
// doubles in hex, so a wrong last bit shows.
QString Num(long double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%La", v);
    return QString::fromLatin1(buf);
}

QString Split(const QString& text, QChar sep, QStringList list = {}) {
    SplitToList(list, text, sep);
    return QString::number(list.size()) + ":[" + list.join('|') + ']';
}

QString Int(const QString& text) {
    long long v = 12345;   // must stay when the text is refused
    const bool ok = StrToIntStrict(text, v);
    return (ok ? QStringLiteral("ok ") : QStringLiteral("no ")) + QString::number(v);
}

struct Case {
    const char* call;
    std::function<QString()> got;
    QString want;
};

TEST(Parsing, Helpers) {
    const Case cases[] = {
        {"split keeps empty fields", [] { return Split("a,,b,", ','); }, "4:[a||b|]"},
        {"split empty text", [] { return Split("", ','); }, "1:[]"},
        {"split separators only", [] { return Split(",,", ','); }, "3:[||]"},
        {"split one field", [] { return Split("abc", ','); }, "1:[abc]"},
        {"split appends", [] { return Split("x;y", ';', {"old"}); }, "3:[old|x|y]"},
        {"split no quoting or trimming", [] { return Split("\"a, b\" ,c", ','); }, "3:[\"a| b\" |c]"},

        {"hex 0", [] { return QString::number(HexCharValue('0')); }, "0"},
        {"hex 9", [] { return QString::number(HexCharValue('9')); }, "9"},
        {"hex A", [] { return QString::number(HexCharValue('A')); }, "10"},
        {"hex f", [] { return QString::number(HexCharValue('f')); }, "15"},
        {"hex G", [] { return QString::number(HexCharValue('G')); }, "0"},
        {"hex g", [] { return QString::number(HexCharValue('g')); }, "0"},
        {"hex high byte", [] { return QString::number(HexCharValue('\xC1')); }, "0"},
        {"digit 7", [] { return QString::number(DigitValue('7')); }, "7"},
        {"digit minus", [] { return QString::number(DigitValue('-')); }, "-1"},
        {"digit x", [] { return QString::number(DigitValue('x')); }, "0"},
        {"digit +", [] { return QString::number(DigitValue('+')); }, "0"},

        {"HexToInt 1A", [] { return QString::number(HexToInt("1A")); }, "26"},
        {"HexToInt 1a", [] { return QString::number(HexToInt("1a")); }, "26"},
        {"HexToInt bad digit", [] { return QString::number(HexToInt("1G")); }, "16"},
        {"HexToInt empty", [] { return QString::number(HexToInt("")); }, "0"},
        {"HexToInt wraps", [] { return QString::number(HexToInt("100000000")); }, "0"},
        {"HexToInt all ones", [] { return QString::number(HexToInt("FFFFFFFF")); }, "-1"},
        {"HexToInt top bit", [] { return QString::number(HexToInt("80000000")); }, "-2147483648"},
        {"HexToInt long", [] { return QString::number(HexToInt("123456789ABCDEF0")); }, "-1698898192"},

        {"float 15.0", [] { return Num(StrToFloatDef0("15.0")); }, Num(15.0L)},
        {"float -0.5", [] { return Num(StrToFloatDef0("-0.5")); }, Num(-0.5L)},
        {"float +2", [] { return Num(StrToFloatDef0("+2")); }, Num(2.0L)},
        {"float blanks", [] { return Num(StrToFloatDef0(" \t0.1  ")); }, Num(0.1L)},
        {"float .5", [] { return Num(StrToFloatDef0(".5")); }, Num(0.5L)},
        {"float 5.", [] { return Num(StrToFloatDef0("5.")); }, Num(5.0L)},
        {"float exponent", [] { return Num(StrToFloatDef0("1.5E-3")); }, Num(1.5e-3L)},
        {"float exponent sign", [] { return Num(StrToFloatDef0("2e+2")); }, Num(200.0L)},
        {"float long double precision", [] { return Num(StrToFloatDef0("138.92765432109876")); },
         Num(138.92765432109876L)},
        {"float tiny", [] { return Num(StrToFloatDef0("1e-4940")); }, Num(1e-4940L)},
        {"float overflow", [] { return Num(StrToFloatDef0("1e5000")); }, Num(0)},
        {"float nan", [] { return Num(StrToFloatDef0("nan")); }, Num(0)},
        {"float inf", [] { return Num(StrToFloatDef0("-inf")); }, Num(0)},
        {"float hex", [] { return Num(StrToFloatDef0("0x1p3")); }, Num(0)},
        {"float comma", [] { return Num(StrToFloatDef0("1,5")); }, Num(0)},
        {"float empty", [] { return Num(StrToFloatDef0("")); }, Num(0)},
        {"float blanks only", [] { return Num(StrToFloatDef0("  ")); }, Num(0)},
        {"float letters", [] { return Num(StrToFloatDef0("abc")); }, Num(0)},
        {"float trailing", [] { return Num(StrToFloatDef0("1.5x")); }, Num(0)},
        {"float inner blank", [] { return Num(StrToFloatDef0("1 5")); }, Num(0)},
        {"float sign only", [] { return Num(StrToFloatDef0("-")); }, Num(0)},
        {"float point only", [] { return Num(StrToFloatDef0(".")); }, Num(0)},
        {"float bare exponent", [] { return Num(StrToFloatDef0("1e")); }, Num(0)},
        {"float exponent first", [] { return Num(StrToFloatDef0("e5")); }, Num(0)},
        {"float two signs", [] { return Num(StrToFloatDef0("+-1")); }, Num(0)},
        {"float full-width digit", [] { return Num(StrToFloatDef0(QStringLiteral("\uFF11"))); }, Num(0)},

        {"int", [] { return Int(" 42 "); }, "ok 42"},
        {"int signs", [] { return Int("-7"); }, "ok -7"},
        {"int plus", [] { return Int("+7"); }, "ok 7"},
        {"int largest", [] { return Int("9223372036854775807"); }, "ok 9223372036854775807"},
        {"int smallest", [] { return Int("-9223372036854775808"); }, "ok -9223372036854775808"},
        {"int too large", [] { return Int("9223372036854775808"); }, "no 12345"},
        {"int too small", [] { return Int("-9223372036854775809"); }, "no 12345"},
        {"int far too large", [] { return Int("99999999999999999999999"); }, "no 12345"},
        {"int fraction", [] { return Int("1.0"); }, "no 12345"},
        {"int empty", [] { return Int(""); }, "no 12345"},
        {"int sign only", [] { return Int("-"); }, "no 12345"},
        {"int inner blank", [] { return Int("1 2"); }, "no 12345"},
        {"int hex", [] { return Int("0x10"); }, "no 12345"},

        {"fixed 15.0", [] { return FormatFixed(15.0L, 1); }, "15.0"},
        {"fixed 0.200", [] { return FormatFixed(0.2L, 3); }, "0.200"},
        {"fixed rounds", [] { return FormatFixed(2.675L, 2); }, "2.67"},   // 2.675L lies below
        {"fixed no decimals", [] { return FormatFixed(2.5L, 0); }, "2"},    // to even, like printf
        {"fixed negative", [] { return FormatFixed(-1.25L, 1); }, "-1.2"},
        {"fixed large", [] { return FormatFixed(1e20L, 2); }, "100000000000000000000.00"},
        {"fixed huge", [] { return FormatFixed(1e300L, 0).size() == 301 ? QString("301") : QString("bad"); }, "301"},
        {"fixed nan", [] { return FormatFixed(std::numeric_limits<long double>::quiet_NaN(), 2); }, "0"},
        {"fixed inf", [] { return FormatFixed(-std::numeric_limits<long double>::infinity(), 2); }, "0"},
        {"fixed negative decimals", [] { return FormatFixed(3.7L, -1); }, "4"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got(), c.want) << c.call;
}

// Qt takes the user's locale at start-up; file numbers must not follow it.
TEST(Parsing, IgnoresTheProcessLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name)) { switched = true; break; }
    if (!switched) GTEST_SKIP() << "no locale with a decimal comma installed";
    const QString fixed = FormatFixed(1.5L, 2);
    const long double parsed = StrToFloatDef0("1.5");
    const long double comma = StrToFloatDef0("1,5");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(fixed, QStringLiteral("1.50"));
    EXPECT_EQ(parsed, 1.5L);
    EXPECT_EQ(comma, 0.0L);
}

} // namespace
} // namespace vel
