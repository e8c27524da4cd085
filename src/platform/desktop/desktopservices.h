#pragma once
// The few desktop services the program asks of the operating system: the mail program,
// the system-information program, a file in the text editor, a document in its viewer,
// the printer, and taking the close item from a window. A test installs services that
// record the requests instead of starting programs.
#include "link/link.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace desktop {

// What the operating system does for the program; this one does it. Each answers whether
// the request could be started.
class Services {
public:
    virtual ~Services() = default;
    virtual bool openMail(const QString& mailtoUrl);
    // `program` is the system-information program found, empty when there is none.
    virtual bool startSystemInformation(const QString& program);
    virtual bool openInTextEditor(const QString& path);
    virtual bool openDocument(const QString& path);
    virtual bool printLines(const QStringList& lines);
};

using servicesLink = Link<Services, Services>;

// Opens the user's mail program with a "mailto:" URL. False when none could be started.
bool openMail(const QString& mailtoUrl);
// Starts the operating system's system-information program. False when there is none.
bool startSystemInformation();
// Opens a text file in the text editor.
bool openInTextEditor(const QString& path);
// Opens a document (a PDF report) in the desktop's viewer for its type, without waiting.
bool openDocument(const QString& path);
// Prints the lines, one printer line each, on the default printer. False when there is no
// printer or the job could not be started.
bool printLines(const QStringList& lines);
// Takes the close button (the system menu's close item) from a top-level window for good;
// a visible window stays visible.
void removeCloseItem(QWidget* window);

}  // namespace desktop
