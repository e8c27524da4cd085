#include "fuzzsupport.h"

#include "desktop/dialogs.h"
#include "services/errtrap.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdlib>

namespace fuzzsupport {
namespace {
struct CautiousAnswers : Dialogs::Answerer {
    Dialogs::Answer answer(const Dialogs::Request& r) override {
        Dialogs::Answer a;
        a.button = Dialogs::cautiousButton(r.style);
        return a;
    }
};
struct GoOn : ErrPtnr::ErrorHandler {
    ErrPtnr::Choice handle(const ErrPtnr::ErrorInfo&) override { return ErrPtnr::Choice::Continue; }
};
// An end of the program is a finding.
struct AbortAtEnd : ProcessEnd {
    void endProcess() override { std::abort(); }
};
}  // namespace

void init() {
    static CautiousAnswers answers;
    static GoOn handler;
    static AbortAtEnd end;
    Dialogs::answererLink::install(&answers);
    ErrPtnr::errorHandlerLink::install(&handler);
    processEndLink::install(&end);
}

QString writeInput(const uint8_t* data, size_t size, const QString& suffix) {
    const QString path = QDir::tempPath() + QStringLiteral("/kelb-fuzz-%1%2").arg(QCoreApplication::applicationPid()).arg(suffix);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        f.write(reinterpret_cast<const char*>(data), qint64(size));
        f.close();
    }
    return path;
}

}  // namespace fuzzsupport
