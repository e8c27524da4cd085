#pragma once
// The shared error trap: a procedure that traps run-time errors runs each guarded step
// through trap(), which hands the object's name, the procedure's name and the error to
// the central error handler. "Continue" goes on with the caller's next step; "End" stops
// the program at once.
#include "services/link.h"

#include <QString>
#include <exception>

namespace ErrPtnr {

enum class Choice { Continue, End };

struct ErrorInfo {
    long number = 0;
    QString description;
    QString object;
    QString procedure;
    int line = 0;
    int mask = 0xFF;
};

// The central error handler, which chooses how the program goes on after an error. The
// program's wiring installs the error form; until then a plain error box asks.
class ErrorHandler {
public:
    virtual ~ErrorHandler() = default;
    virtual Choice handle(const ErrorInfo& info);
};
using errorHandlerLink = Link<ErrorHandler, ErrorHandler>;

// Registers the error dialog (ErrPtnr::Form) as the handler; called once at start-up.
void g_installErrorForm();
// Ends the program: what ProgramEnd's slot holds runs once first, then ProcessEnd's.
void endProgram();

// Builds the error information from a caught exception.
ErrorInfo describe(const QString& object, const QString& procedure, const std::exception* e, int mask = 0xFF);
// Hands an error to the handler and acts on "End". Returns the choice (Continue when it comes back).
Choice report(const ErrorInfo& info);

}  // namespace ErrPtnr

// What runs once when the program ends through ErrPtnr::endProgram, before it ends: the
// program's wiring installs the update run's report here; until then nothing runs.
class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    virtual void beforeEnd() {}
};
using programEndLink = Link<ProgramEnd, ProgramEnd>;

// The end itself, after ProgramEnd's step: the process ends at once, with no exit
// procedure. Tests and fuzz targets stand in for it.
class ProcessEnd {
public:
    virtual ~ProcessEnd() = default;
    virtual void endProcess();
};
using processEndLink = Link<ProcessEnd, ProcessEnd>;

// Runs one guarded step. Returns true when the step ran without a run-time error.
template <class F>
bool trap(const char* object, const char* procedure, F&& step) {
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        ErrPtnr::report(ErrPtnr::describe(QString::fromLatin1(object), QString::fromLatin1(procedure), &e));
    } catch (...) {
        ErrPtnr::report(ErrPtnr::describe(QString::fromLatin1(object), QString::fromLatin1(procedure), nullptr));
    }
    return false;
}
