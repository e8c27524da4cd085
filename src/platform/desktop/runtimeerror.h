#pragma once
// A run-time error as the program's error handler shows it: a number and a description,
// and where it was raised. Platform layers throw it; the error trap catches it.
#include <QString>
#include <stdexcept>

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(long number, const QString& description, const QString& source = QString())
        : std::runtime_error(description.toStdString()), m_number(number), m_description(description), m_source(source) {}
    long number() const { return m_number; }
    const QString& description() const { return m_description; }
    const QString& source() const { return m_source; }

private:
    long m_number;
    QString m_description;
    QString m_source;
};
