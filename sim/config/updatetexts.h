#pragma once
// What the update run needs of the configuration of a simulated PXM site: the build table
// that names the simulated application's builds by their CRCs, and the user texts of the
// run, each under its message number.
#include <QList>
#include <QPair>
#include <QString>

namespace simconfig {

struct LoadFile;

// The build of the site: the modules leave the factory with an older application of it,
// and the application load file is its newest.
inline constexpr const char* kBuildName = "1234";

struct UserText {
    int id = 0;
    QString text;
    bool okButton = false;
};

// The build-table rows: "0x<CRC of the factory application>" = the build,
// "0x<CRC of the load file's application>" = "new" and the build, and "appl_" and the
// build = the application load file's name.
QList<QPair<QString, QString>> buildItems(const LoadFile& application);

// The update run's user texts: the text of each step, the outcomes, the prompts.
QList<UserText> updateTexts();

}  // namespace simconfig
