#pragma once
// pxm-sim's command line as the tests read it: every part's options known, as in the
// program, and one part's read from the arguments.
#include "lib/bootoptions.h"
#include "lib/profileoptions.h"
#include "lib/scenario.h"

#include <QCommandLineParser>
#include <QStringList>
#include <gtest/gtest.h>
#include <functional>
#include <vector>

namespace simtest {

// The arguments (after the program's name) read into o; false with an error text for a
// bad value. Arguments the parser does not take fail the test.
template <class Options>
bool readArguments(Options& o, const QStringList& args, QString* error) {
    QCommandLineParser p;
    sim::Scenario::addOptions(p);
    sim::ProfileOptions::addOptions(p);
    sim::BootOptions::addOptions(p);
    if (!p.parse(QStringList{QStringLiteral("pxm-sim")} + args)) {
        ADD_FAILURE() << args.join(' ').toStdString() << ": " << p.errorText().toStdString();
        return false;
    }
    return o.read(p, error);
}

struct ArgumentsCase {
    QStringList args;
    bool ok;  // read without an error text; otherwise refused with one
};

// Reads each case's arguments into options of their own; those read are handed to check.
template <class Options>
void expectReads(const std::vector<ArgumentsCase>& cases,
                 const std::function<void(const QStringList& args, const Options& o)>& check) {
    for (const ArgumentsCase& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        Options o;
        QString error;
        EXPECT_EQ(readArguments(o, c.args, &error), c.ok);
        EXPECT_EQ(error.isEmpty(), c.ok);
        if (c.ok) check(c.args, o);
    }
}

}  // namespace simtest
