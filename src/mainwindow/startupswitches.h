#pragma once
// The start-up's reading of the command line and of the flash base addresses, kept apart
// from the window so that each rule can be checked on its own.
#include <QString>
#include <functional>

namespace startupSwitches {

// A switch is found anywhere in the line, also inside a longer word, but not in the value
// of "/db="; case counts.
bool hasSwitch(const QString& commandLine, const QString& sw);

// The global mode flags the switches set (all but "/noCan", which belongs to the CAN master).
struct Modes {
    bool debugMode = false;
    bool qtmMode = false;
    bool bzmMode = false;
    bool updateMode = false;
    bool develop = false;
    QString moduleKind;
};
// Switches 2 to 6 in their order: "/debug", "/QTM", else "/BZM", else PXM with update
// mode, then "/develop".
Modes readModes(const QString& commandLine);

// The folder of the configuration database, with a trailing separator, from "/db=" (an
// absolute or relative folder when the value holds a separator; under "/IDE" a bare name
// is a folder of the development tree) or else the program's folder.
QString configDbDir(const QString& commandLine, const QString& programDir);
// The folder under which "/IDE" looks for a bare "/db=" name.
QString developmentRoot();

// A flash base address ("baseAdrDC_", "baseAdrFPGA_", "baseAdrAppl_"): the item of the
// stem followed by "bigMem" or "smallMem", read as hex (modGlobal::hexValue); missing or 0
// gives the built-in address of the layout.
using ItemReader = std::function<QString(const QString& item)>;
qint32 baseAddress(const QString& stem, bool bigMem, const ItemReader& item);

// A setting read as a truth value: a number (0 is False) or the words True and False;
// anything else is a type mismatch (a run-time error).
bool truthValue(const QString& text);

}  // namespace startupSwitches
