#include "services/errtrap.h"

#include "desktop/dialogs.h"
#include "desktop/runtimeerror.h"

#include <cstdio>
#include <cstdlib>

namespace ErrPtnr {
namespace {
bool g_inHandler = false;
}  // namespace

Choice ErrorHandler::handle(const ErrorInfo& i) {
    const QString text = QStringLiteral("Error %1: %2\rObject: %3\rProcedure: %4\r\rContinue with the next statement?")
                             .arg(i.number).arg(i.description, i.object, i.procedure);
    return Dialogs::msgBox(text, Dialogs::vbOKCancel | Dialogs::vbCritical, QStringLiteral("Error")) == Dialogs::vbCancel
               ? Choice::End : Choice::Continue;
}

void endProgram() {
    // Taken out first: an error inside the action that ends the program again ends it.
    ProgramEnd& last = programEndLink::get();
    programEndLink::install(nullptr);
    last.beforeEnd();
    processEndLink::get().endProcess();
}

ErrorInfo describe(const QString& object, const QString& procedure, const std::exception* e, int mask) {
    ErrorInfo info;
    info.object = object;
    info.procedure = procedure;
    info.mask = mask;
    if (const auto* re = dynamic_cast<const RuntimeError*>(e)) {
        info.number = re->number();
        info.description = re->description();
    } else if (e) {
        info.number = 440;  // automation error: a failure that carries no number of its own
        info.description = QString::fromLocal8Bit(e->what());
    } else {
        info.number = 440;
        info.description = QStringLiteral("Unknown error");
    }
    return info;
}

Choice report(const ErrorInfo& info) {
    // A failure inside the handler's own dialog must not open a second one on top of it.
    if (g_inHandler) {
        std::fprintf(stderr, "error while handling an error: %s.%s: %s\n", qPrintable(info.object),
                     qPrintable(info.procedure), qPrintable(info.description));
        return Choice::Continue;
    }
    g_inHandler = true;
    Choice c = Choice::Continue;
    try {
        c = errorHandlerLink::get().handle(info);
    } catch (...) {
        c = Choice::Continue;
    }
    g_inHandler = false;
    if (c == Choice::End) endProgram();
    return c;
}

}  // namespace ErrPtnr

void ProcessEnd::endProcess() {
    std::fflush(nullptr);
    std::_Exit(1);
}
