#pragma once
// The few desktop services the program asks of the operating system: the mail program,
// the system-information program, a file in the text editor, a document in its viewer,
// the printer, and taking the close item from a window. A test installs a launcher that
// records the requests instead of starting programs.
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace desktop {

enum class Action { OpenMail, StartSystemInformation, OpenInTextEditor, PrintLines, OpenDocument };

// The target is the mailto URL, the system-information program found (empty when there
// is none), the file (text or document), or the printed lines joined by "\n". The result is the request's.
using Launcher = std::function<bool(Action, const QString& target)>;
void setLauncher(Launcher launcher);  // an empty one restores the real services

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
