#pragma once
// The evaluator of header-file expressions. Header files are C, and their constants mean
// what the module's C compiler makes of them, so Eval evaluates a C integer constant
// expression itself, in 64 bits: decimal, hex and octal numbers with the suffixes u, l,
// ul, ll, ull; casts to the module's fixed-width types ("(u16)" keeps the low 16 bits,
// unsigned); unary + - ~ !; the binary operators with C's precedence and associativity;
// "?:" and parentheses; and names, looked up through a resolver. Tokens need not be
// separated by blanks. A sequence of string literals evaluates to their text.
//
// Arithmetic follows C's usual conversions with every integer type 64 bits wide: a value
// is unsigned when it comes from an unsigned literal or cast, or when an operand of an
// arithmetic or bitwise operator is unsigned. Overflow wraps. What C leaves undefined or
// rejects (division by zero, shift counts outside 0..63, an unknown name, a malformed
// constant) is an error with its reason, never a number. So is an expression nested more
// than 256 levels deep (parentheses, unary operators, casts, "?:"), which would otherwise
// run the stack out.
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

namespace scriptcontrol {

struct EvalResult {
    enum class Kind { Number, Text, Error };
    Kind kind = Kind::Error;
    qint64 value = 0;         // Number: the 64 bits, read as signed
    bool isUnsigned = false;  // Number: the value's C type is unsigned
    QString text;             // Text: the string's characters
    QString error;            // Error: why it cannot be evaluated

    bool isNumber() const { return kind == Kind::Number; }
    // The value as decimal text, unsigned values as such.
    QString numberText() const;
};

class ScriptControl {
public:
    // Gives the value of a name, or nothing when the name is unknown.
    using Resolver = std::function<std::optional<qint64>(const QString& name)>;

    void setNameResolver(Resolver resolver) { m_resolver = std::move(resolver); }
    EvalResult Eval(const QString& expression) const;

private:
    Resolver m_resolver;
};

}  // namespace scriptcontrol
