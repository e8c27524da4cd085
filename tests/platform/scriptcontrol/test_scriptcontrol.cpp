#include "scriptcontrol/scriptcontrol.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

using scriptcontrol::EvalResult;
using scriptcontrol::ScriptControl;

struct Case {
    const char* expression;
    qint64 value;
};

// Each value is what gcc gives the expression with every integer type 64 bits wide
// (literals widened to long long, the module's types as unsigned short and so on).
const Case kCases[] = {
    {"1 << 2 + 1", 8LL},
    {"0x8000", 32768LL},
    {"0x8000u", 32768LL},
    {"0xFFFF", 65535LL},
    {"0xffffffff", 4294967295LL},
    {"0XABCDEFL", 11259375LL},
    {"017", 15LL},
    {"0", 0LL},
    {"0u", 0LL},
    {"10ul", 10LL},
    {"5ll", 5LL},
    {"123ull", 123LL},
    {"7 / 2", 3LL},
    {"-7 / 2", -3LL},
    {"-7 % 3", -1LL},
    {"7 % -3", 1LL},
    {"2 + 3 * 4", 14LL},
    {"(2 + 3) * 4", 20LL},
    {"2 - 3 - 4", -5LL},
    {"64 / 4 / 2", 8LL},
    {"1 << 4", 16LL},
    {"(1<<4)", 16LL},
    {"-16 >> 2", -4LL},
    {"0x80000000ull >> 31", 1LL},
    {"~0", -1LL},
    {"~0u", qint64(18446744073709551615ull)},
    {"!0", 1LL},
    {"!5", 0LL},
    {"-(-3)", 3LL},
    {"+4", 4LL},
    {"1 < 2", 1LL},
    {"2 <= 1", 0LL},
    {"3 > 2 == 1", 1LL},
    {"1 == 1 != 0", 1LL},
    {"0xF0 & 0x3C", 48LL},
    {"0xF0 ^ 0x3C", 204LL},
    {"0xF0 | 0x0F", 255LL},
    {"1 | 2 & 3", 3LL},
    {"1 ^ 3 | 4", 6LL},
    {"0 && 1", 0LL},
    {"2 && 3", 1LL},
    {"0 || 0", 0LL},
    {"0 || 7", 1LL},
    {"1 ? 10 : 20", 10LL},
    {"0 ? 10 : 20", 20LL},
    {"1 ? 2 : 0 ? 3 : 4", 2LL},
    {"0 ? 2 : 0 ? 3 : 4", 4LL},
    {"(u16)-1", 65535LL},
    {"(u16)0x12345", 9029LL},
    {"(u16)1 - 2", -1LL},
    {"(s16)0xFFFF", -1LL},
    {"(s8)200", -56LL},
    {"(u8)0x1FF", 255LL},
    {"(u32)-1", 4294967295LL},
    {"(s32)0x80000000ll", -2147483648LL},
    {"(u64)-1 > 0", 1LL},
    {"-1 < 0u", 0LL},
    {"-1 < 0", 1LL},
    {"1ll << 40", 1099511627776LL},
    {"9223372036854775807", 9223372036854775807LL},
    {"9223372036854775807 + 1 < 0", 1LL},
    {"0xFFFFFFFFFFFFFFFF", qint64(18446744073709551615ull)},
    {"(0x10 + 0x20) >> 1", 24LL},
    {"100 - 2 * (3 + 4) % 5", 96LL},
    {"0 && 1 / 0", 0LL},
    {"1 || 1 / 0", 1LL},
    {"1 ? 5 : 1 / 0", 5LL},
    {"3 - -2", 5LL},
    {"10 - 2 - 1 << 1", 14LL},
};

template <class Cases>
void expectValues(const ScriptControl& sc, const Cases& cases) {
    for (const Case& c : cases) {
        const EvalResult r = sc.Eval(QString::fromLatin1(c.expression));
        ASSERT_TRUE(r.isNumber()) << c.expression << ": " << r.error.toStdString();
        EXPECT_EQ(r.value, c.value) << c.expression;
    }
}

TEST(ScriptControlEval, GivesTheValuesOfTheCCompiler) { expectValues(ScriptControl(), kCases); }

TEST(ScriptControlEval, KeepsTheUnsignedTypeWhereCDoes) {
    ScriptControl sc;
    EXPECT_TRUE(sc.Eval(QStringLiteral("0x8000u")).isUnsigned);
    EXPECT_FALSE(sc.Eval(QStringLiteral("0x8000")).isUnsigned);
    const EvalResult all = sc.Eval(QStringLiteral("~0u"));
    EXPECT_TRUE(all.isUnsigned);
    EXPECT_EQ(all.numberText(), QStringLiteral("18446744073709551615"));
    EXPECT_EQ(sc.Eval(QStringLiteral("-1")).numberText(), QStringLiteral("-1"));
    EXPECT_FALSE(sc.Eval(QStringLiteral("(u16)-1")).isUnsigned);
}

TEST(ScriptControlEval, ResolvesNamesThroughTheResolver) {
    ScriptControl sc;
    sc.setNameResolver([](const QString& name) -> std::optional<qint64> {
        if (name == QLatin1String("FOO")) return 7;
        if (name == QLatin1String("BIG")) return 0x10000;
        return std::nullopt;
    });
    const Case cases[] = {{"FOO + 1", 8}, {"FOO<<2", 28}, {"(FOO)", 7}, {"(u16)BIG", 0}, {"(u16)(BIG-1)", 65535}, {"FOO*FOO-1", 48}};
    expectValues(sc, cases);
}

TEST(ScriptControlEval, RefusesWhatItCannotEvaluateWithItsReason) {
    ScriptControl sc;
    const struct {
        const char* expression;
        const char* reason;
    } cases[] = {
        {"1 / 0", "division by zero"},
        {"5 % (2 - 2)", "division by zero"},
        {"UNKNOWN + 1", "UNKNOWN is not found in DB"},
        {"1 << 64", "shift count 64 is outside 0 to 63"},
        {"1 << -1", "shift count -1 is outside 0 to 63"},
        {"08", "invalid digit in the constant 08"},
        {"1.5", "1.5 is not an integer constant"},
        {"1 2", "unexpected '2'"},
        {"(1 + 2", "')' expected before end of expression"},
        {"1 +", "a value is missing before end of expression"},
        {"0x", "the constant 0x has no digits"},
        {"12q", "invalid suffix on the constant 12q"},
        {"99999999999999999999", "the constant 99999999999999999999 is too large for 64 bits"},
        {"1 $ 2", "the character '$' is not understood"},
        {"", "the expression is empty"},
        {"(-9223372036854775807 - 1) / -1", "the division overflows 64 bits"},
        {"1 ? \"a\" : 2", "a string cannot be used in a number expression"},
    };
    for (const auto& c : cases) {
        const EvalResult r = sc.Eval(QString::fromLatin1(c.expression));
        EXPECT_EQ(r.kind, EvalResult::Kind::Error) << c.expression;
        EXPECT_EQ(r.error, QString::fromLatin1(c.reason)) << c.expression;
    }
}

// Each way of nesting: parentheses, unary operators, casts and "?:" chains.
QString nested(int levels, int kind) {
    switch (kind) {
    case 0: return QString(levels, QLatin1Char('(')) + QLatin1Char('1') + QString(levels, QLatin1Char(')'));
    case 1: return QString(levels, QLatin1Char('-')) + QLatin1Char('1');
    case 2: return QStringLiteral("(u16)").repeated(levels) + QLatin1Char('1');
    default: return QStringLiteral("1 ? ").repeated(levels) + QLatin1Char('1') + QStringLiteral(" : 0").repeated(levels);
    }
}

TEST(ScriptControlEval, RefusesNestingDeeperThanItsLimitWithoutRunningTheStackOut) {
    ScriptControl sc;
    for (int kind = 0; kind < 4; ++kind) {
        const EvalResult within = sc.Eval(nested(256, kind));
        EXPECT_TRUE(within.isNumber()) << kind << ": " << within.error.toStdString();
        for (int levels : {257, 20000}) {
            const EvalResult r = sc.Eval(nested(levels, kind));
            EXPECT_EQ(r.kind, EvalResult::Kind::Error) << kind << " " << levels;
            EXPECT_EQ(r.error, QStringLiteral("the expression is nested more than 256 levels deep")) << kind << " " << levels;
        }
    }
    // A long flat expression is no nesting.
    const EvalResult flat = sc.Eval(QStringLiteral("1 + ").repeated(20000) + QLatin1Char('1'));
    ASSERT_TRUE(flat.isNumber());
    EXPECT_EQ(flat.value, 20001);
}

TEST(ScriptControlEval, AStringLiteralIsText) {
    ScriptControl sc;
    const EvalResult r = sc.Eval(QStringLiteral("\"V1.\" \"2\""));
    EXPECT_EQ(r.kind, EvalResult::Kind::Text);
    EXPECT_EQ(r.text, QStringLiteral("V1.2"));
}

}  // namespace
