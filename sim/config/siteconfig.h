#pragma once
// The configuration of a simulated site: the tool's configuration database and the load
// files that belong to the modules pxm-sim simulates, so that the tool started on that
// folder finds the simulator's bus, node ids and symbol numbers. Test and demo support.
//
//   simconfig::Site site;  site.profile = "mbus";  site.busUrl = url;
//   simconfig::writeSite(dir, site, &error);            // <dir>/pxmloader-Config.mdb + *.S19
//   pxm-sim  simconfig::simulatorArguments(site) ...    // the same scenario on the bus
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace dao {
class Database;
}  // namespace dao

namespace simconfig {

struct UserText;

inline constexpr const char* kProgramName = "pxmloader";

// "<program name>-Config.mdb", the name under which the program looks for its database.
QString configDbName(const QString& programName = QString::fromLatin1(kProgramName));

struct Symbol {
    QString name;
    quint16 number = 0;      // 1 to 4095
    quint32 value = 0;       // as the modules publish it
    bool configItem = true;  // the configuration names it (the further parts of a text do not)
};

struct Site {
    QString profile = QStringLiteral("mbus");  // pxm-sim's --profile: mbus, sbus, qtm, bzm
    QString busUrl;                            // where the simulator is: tcp://127.0.0.1:PORT/can0
    int cylinders = 3;                         // cylinder modules beside module 0
    QList<Symbol> symbols;                     // empty: standardSymbols(cylinders)

    QList<Symbol> effectiveSymbols() const;
};

// The fixed symbol table of the simulated control system (the simulator has none of its
// own): numbers and the values the modules publish.
QList<Symbol> standardSymbols(int cylinders);

// "PXM" for mbus and sbus, "QTM", "BZM"; empty for an unknown profile.
QString moduleKind(const QString& profile);

// Replaces or adds symbols given as NAME=NUMBER or NAME=NUMBER:VALUE (pxm-sim's --symbol
// form). False with an error text for a bad one.
bool applySymbolSpec(QList<Symbol>& symbols, const QString& spec, QString* error = nullptr);

// pxm-sim's arguments for the same site: bus, profile, cylinders and every symbol.
QStringList simulatorArguments(const Site& site);

// The `miscellaneous` items the database gets, in the order they are written.
QList<QPair<QString, QString>> miscellaneousItems(const Site& site);

// Rows of the `messages` table of an open configuration database, one a user text.
void addUserTexts(dao::Database& db, const QList<UserText>& texts);

// Writes the configuration database (replacing one that is there) and the load files
// into dir, which is made when missing. False with an error text.
bool writeSite(const QString& dir, const Site& site, QString* error = nullptr);

}  // namespace simconfig
