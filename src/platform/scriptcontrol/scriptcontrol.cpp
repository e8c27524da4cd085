#include "scriptcontrol/scriptcontrol.h"

#include <QHash>
#include <climits>
#include <vector>

namespace scriptcontrol {

namespace {

struct Value {
    quint64 bits = 0;
    bool uns = false;
    qint64 s() const { return qint64(bits); }
};

// Raised inside the evaluator; Eval turns it into an error result.
struct EvalError {
    QString reason;
};

[[noreturn]] void fail(const QString& reason) { throw EvalError{reason}; }

// Parentheses, unary operators, casts and "?:" each nest one level of recursion; a line
// from outside must not run the stack out, and real headers stay far below this.
constexpr int kMaxNesting = 256;

enum class Tok { Number, Name, String, Op, End };

struct Token {
    Tok kind = Tok::End;
    QString text;
    Value value;  // Number
};

// The fixed-width types of the module software: bits and signedness.
struct CastType {
    int bits;
    bool uns;
};
const QHash<QString, CastType>& castTypes() {
    static const QHash<QString, CastType> types = {
        {QStringLiteral("u8"), {8, true}},   {QStringLiteral("u16"), {16, true}}, {QStringLiteral("u32"), {32, true}},
        {QStringLiteral("u64"), {64, true}}, {QStringLiteral("s8"), {8, false}},  {QStringLiteral("s16"), {16, false}},
        {QStringLiteral("s32"), {32, false}}, {QStringLiteral("s64"), {64, false}},
    };
    return types;
}

bool isIdentStart(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }
bool isIdentChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// Reads an integer constant with its suffix, as C does.
Value readNumber(const QString& text, qsizetype& pos) {
    const qsizetype start = pos;
    while (pos < text.size() && (text[pos].isLetterOrNumber() || text[pos] == QLatin1Char('.') || text[pos] == QLatin1Char('_')))
        ++pos;
    const QString word = text.mid(start, pos - start);
    int base = 10;
    qsizetype i = 0;
    if (word.size() > 1 && word[0] == QLatin1Char('0') && (word[1] == QLatin1Char('x') || word[1] == QLatin1Char('X'))) {
        base = 16;
        i = 2;
    } else if (word.size() > 1 && word[0] == QLatin1Char('0')) {
        base = 8;
        i = 1;
    }
    const qsizetype digitsStart = i;
    quint64 v = 0;
    bool overflow = false;
    for (; i < word.size(); ++i) {
        const int d = word[i].isDigit()                                      ? word[i].digitValue()
                      : (base == 16 && word[i].isLetter() && word[i].toLower() <= QLatin1Char('f'))
                          ? word[i].toLower().unicode() - 'a' + 10
                          : -1;
        if (d < 0) break;
        if (d >= base) fail(QStringLiteral("invalid digit in the constant %1").arg(word));
        if (v > (ULLONG_MAX - quint64(d)) / quint64(base)) overflow = true;
        v = v * quint64(base) + quint64(d);
    }
    if (base == 16 && i == digitsStart) fail(QStringLiteral("the constant %1 has no digits").arg(word));
    const QString suffix = word.mid(i).toLower();
    static const QStringList kSigned = {QString(), QStringLiteral("l"), QStringLiteral("ll")};
    static const QStringList kUnsigned = {QStringLiteral("u"), QStringLiteral("ul"), QStringLiteral("lu"),
                                          QStringLiteral("ull"), QStringLiteral("llu")};
    const bool suffixUnsigned = kUnsigned.contains(suffix);
    if (!suffixUnsigned && !kSigned.contains(suffix)) {
        if (suffix.contains(QLatin1Char('.')) || suffix.startsWith(QLatin1Char('e')) || suffix.contains(QLatin1Char('f')))
            fail(QStringLiteral("%1 is not an integer constant").arg(word));
        fail(QStringLiteral("invalid suffix on the constant %1").arg(word));
    }
    if (overflow) fail(QStringLiteral("the constant %1 is too large for 64 bits").arg(word));
    // A constant beyond the signed range has an unsigned type.
    return Value{v, suffixUnsigned || v > quint64(LLONG_MAX)};
}

std::vector<Token> tokenize(const QString& text) {
    static const QStringList kOps = {QStringLiteral("<<"), QStringLiteral(">>"), QStringLiteral("<="), QStringLiteral(">="),
                                     QStringLiteral("=="), QStringLiteral("!="), QStringLiteral("&&"), QStringLiteral("||")};
    static const QString kSingle = QStringLiteral("()+-*/%~!<>&^|?:");
    std::vector<Token> tokens;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const QChar c = text[pos];
        if (c.isSpace()) {
            ++pos;
        } else if (c.isDigit()) {
            Token t{Tok::Number, QString(), readNumber(text, pos)};
            tokens.push_back(t);
        } else if (isIdentStart(c)) {
            const qsizetype start = pos;
            while (pos < text.size() && isIdentChar(text[pos])) ++pos;
            tokens.push_back({Tok::Name, text.mid(start, pos - start), {}});
        } else if (c == QLatin1Char('"')) {
            QString s;
            ++pos;
            while (pos < text.size() && text[pos] != QLatin1Char('"')) {
                if (text[pos] == QLatin1Char('\\') && pos + 1 < text.size()) ++pos;
                s += text[pos++];
            }
            if (pos >= text.size()) fail(QStringLiteral("a string has no closing quote"));
            ++pos;
            tokens.push_back({Tok::String, s, {}});
        } else {
            const QString two = text.mid(pos, 2);
            if (kOps.contains(two)) {
                tokens.push_back({Tok::Op, two, {}});
                pos += 2;
            } else if (kSingle.contains(c)) {
                tokens.push_back({Tok::Op, QString(c), {}});
                ++pos;
            } else {
                fail(QStringLiteral("the character '%1' is not understood").arg(c));
            }
        }
    }
    tokens.push_back({Tok::End, QString(), {}});
    return tokens;
}

// Binary operators by precedence level, lowest first.
int precedence(const QString& op) {
    static const QHash<QString, int> levels = {
        {QStringLiteral("||"), 1}, {QStringLiteral("&&"), 2}, {QStringLiteral("|"), 3},  {QStringLiteral("^"), 4},
        {QStringLiteral("&"), 5},  {QStringLiteral("=="), 6}, {QStringLiteral("!="), 6}, {QStringLiteral("<"), 7},
        {QStringLiteral("<="), 7}, {QStringLiteral(">"), 7},  {QStringLiteral(">="), 7}, {QStringLiteral("<<"), 8},
        {QStringLiteral(">>"), 8}, {QStringLiteral("+"), 9},  {QStringLiteral("-"), 9},  {QStringLiteral("*"), 10},
        {QStringLiteral("/"), 10}, {QStringLiteral("%"), 10},
    };
    return levels.value(op, 0);
}

Value truth(bool b) { return Value{b ? 1u : 0u, false}; }

// Applies a binary operator. `live` is false inside a branch that C does not evaluate,
// where arithmetic faults are not faults.
Value apply(const QString& op, Value a, Value b, bool live) {
    const bool uns = a.uns || b.uns;
    if (op == QLatin1String("<<") || op == QLatin1String(">>")) {
        const bool badCount = b.uns ? b.bits > 63 : (b.s() < 0 || b.s() > 63);
        if (badCount) {
            if (live) fail(QStringLiteral("shift count %1 is outside 0 to 63").arg(b.uns ? QString::number(b.bits) : QString::number(b.s())));
            return Value{0, a.uns};
        }
        const int n = int(b.bits);
        if (op == QLatin1String("<<")) return Value{a.bits << n, a.uns};
        return Value{a.uns ? a.bits >> n : quint64(a.s() >> n), a.uns};
    }
    if (op == QLatin1String("+")) return Value{a.bits + b.bits, uns};
    if (op == QLatin1String("-")) return Value{a.bits - b.bits, uns};
    if (op == QLatin1String("*")) return Value{a.bits * b.bits, uns};
    if (op == QLatin1String("/") || op == QLatin1String("%")) {
        if (b.bits == 0) {
            if (live) fail(QStringLiteral("division by zero"));
            return Value{0, uns};
        }
        const bool div = op == QLatin1String("/");
        if (uns) return Value{div ? a.bits / b.bits : a.bits % b.bits, true};
        if (a.s() == LLONG_MIN && b.s() == -1) {
            if (live) fail(QStringLiteral("the division overflows 64 bits"));
            return Value{0, false};
        }
        return Value{quint64(div ? a.s() / b.s() : a.s() % b.s()), false};
    }
    if (op == QLatin1String("&")) return Value{a.bits & b.bits, uns};
    if (op == QLatin1String("^")) return Value{a.bits ^ b.bits, uns};
    if (op == QLatin1String("|")) return Value{a.bits | b.bits, uns};
    if (op == QLatin1String("==")) return truth(a.bits == b.bits);
    if (op == QLatin1String("!=")) return truth(a.bits != b.bits);
    const bool less = uns ? a.bits < b.bits : a.s() < b.s();
    const bool greater = uns ? a.bits > b.bits : a.s() > b.s();
    if (op == QLatin1String("<")) return truth(less);
    if (op == QLatin1String(">")) return truth(greater);
    if (op == QLatin1String("<=")) return truth(!greater);
    if (op == QLatin1String(">=")) return truth(!less);
    fail(QStringLiteral("the operator %1 is not understood").arg(op));
}

class Parser {
public:
    Parser(std::vector<Token> tokens, const ScriptControl::Resolver& resolver)
        : m_tokens(std::move(tokens)), m_resolver(resolver) {}

    Value parseAll() {
        const Value v = conditional(true);
        if (peek().kind != Tok::End) fail(QStringLiteral("unexpected '%1'").arg(describe(peek())));
        return v;
    }

private:
    const Token& peek(int ahead = 0) const { return m_tokens[std::min(m_pos + size_t(ahead), m_tokens.size() - 1)]; }
    bool isOp(const char* op, int ahead = 0) const {
        return peek(ahead).kind == Tok::Op && peek(ahead).text == QLatin1String(op);
    }
    static QString describe(const Token& t) {
        if (t.kind == Tok::End) return QStringLiteral("end of expression");
        if (t.kind == Tok::Number) return QString::number(t.value.bits);
        return t.text;
    }
    void expect(const char* op) {
        if (!isOp(op)) fail(QStringLiteral("'%1' expected before %2").arg(QLatin1String(op), describe(peek())));
        ++m_pos;
    }

    // Holds one level of nesting while a nested part is parsed.
    struct Nested {
        int& depth;
        explicit Nested(int& d) : depth(d) {
            if (++depth > kMaxNesting) fail(QStringLiteral("the expression is nested more than %1 levels deep").arg(kMaxNesting));
        }
        ~Nested() { --depth; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;
    };

    Value conditional(bool live) {
        const Value c = binary(1, live);
        if (!isOp("?")) return c;
        ++m_pos;
        const Nested nested(m_depth);
        const bool cond = c.bits != 0;
        const Value a = conditional(live && cond);
        expect(":");
        const Value b = conditional(live && !cond);
        const bool uns = a.uns || b.uns;
        return Value{cond ? a.bits : b.bits, uns};
    }

    // Precedence climbing; every binary operator of C is left-associative.
    Value binary(int minLevel, bool live) {
        Value left = unary(live);
        for (;;) {
            const Token& t = peek();
            const int level = t.kind == Tok::Op ? precedence(t.text) : 0;
            if (level == 0 || level < minLevel) return left;
            const QString op = t.text;
            ++m_pos;
            if (op == QLatin1String("&&") || op == QLatin1String("||")) {
                const bool l = left.bits != 0;
                const bool rightLive = live && (op == QLatin1String("&&") ? l : !l);
                const bool r = binary(level + 1, rightLive).bits != 0;
                left = truth(op == QLatin1String("&&") ? (l && r) : (l || r));
            } else {
                const Value right = binary(level + 1, live);
                left = apply(op, left, right, live);
            }
        }
    }

    Value unary(bool live) {
        const Token& t = peek();
        if (t.kind != Tok::Op) return primary(live);
        const Nested nested(m_depth);
        if (t.text == QLatin1String("(") && peek(1).kind == Tok::Name && isOp(")", 2) &&
            castTypes().contains(peek(1).text)) {
            const CastType type = castTypes().value(peek(1).text);
            m_pos += 3;
            return cast(unary(live), type);
        }
        const QString op = t.text;
        if (op == QLatin1String("+") || op == QLatin1String("-") || op == QLatin1String("~") || op == QLatin1String("!")) {
            ++m_pos;
            const Value v = unary(live);
            if (op == QLatin1String("+")) return v;
            if (op == QLatin1String("-")) return Value{0 - v.bits, v.uns};
            if (op == QLatin1String("~")) return Value{~v.bits, v.uns};
            return truth(v.bits == 0);
        }
        return primary(live);
    }

    static Value cast(Value v, CastType type) {
        if (type.bits == 64) return Value{v.bits, type.uns};
        const quint64 mask = (quint64(1) << type.bits) - 1;
        quint64 bits = v.bits & mask;
        if (!type.uns && (bits >> (type.bits - 1)) & 1) bits |= ~mask;
        // A narrower type is promoted to the (signed) 64-bit int in any further arithmetic.
        return Value{bits, false};
    }

    Value primary(bool live) {
        const Token t = peek();
        switch (t.kind) {
        case Tok::Number: ++m_pos; return t.value;
        case Tok::Name: {
            ++m_pos;
            const std::optional<qint64> v = m_resolver ? m_resolver(t.text) : std::nullopt;
            if (!v) fail(QStringLiteral("%1 is not found in DB").arg(t.text));
            return Value{quint64(*v), false};
        }
        case Tok::Op:
            if (t.text == QLatin1String("(")) {
                ++m_pos;
                const Value v = conditional(live);
                expect(")");
                return v;
            }
            break;
        case Tok::String: fail(QStringLiteral("a string cannot be used in a number expression"));
        case Tok::End: break;
        }
        fail(QStringLiteral("a value is missing before %1").arg(describe(t)));
    }

    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    int m_depth = 0;
    const ScriptControl::Resolver& m_resolver;
};

}  // namespace

QString EvalResult::numberText() const {
    return isUnsigned ? QString::number(quint64(value)) : QString::number(value);
}

EvalResult ScriptControl::Eval(const QString& expression) const {
    EvalResult r;
    try {
        std::vector<Token> tokens = tokenize(expression);
        if (tokens.front().kind == Tok::End) fail(QStringLiteral("the expression is empty"));
        // Adjacent string literals make one text, as in C.
        bool allStrings = true;
        QString text;
        for (size_t i = 0; i + 1 < tokens.size(); ++i) {
            allStrings = allStrings && tokens[i].kind == Tok::String;
            text += tokens[i].text;
        }
        if (allStrings) {
            r.kind = EvalResult::Kind::Text;
            r.text = text;
            return r;
        }
        const Value v = Parser(std::move(tokens), m_resolver).parseAll();
        r.kind = EvalResult::Kind::Number;
        r.value = v.s();
        r.isUnsigned = v.uns;
    } catch (const EvalError& e) {
        r.kind = EvalResult::Kind::Error;
        r.error = e.reason;
    }
    return r;
}

}  // namespace scriptcontrol
