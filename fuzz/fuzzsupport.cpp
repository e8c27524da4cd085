#include "fuzzsupport.h"

#include "desktop/dialogs.h"
#include "services/errtrap.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdlib>

namespace fuzzsupport {

void init() {
    static bool done = false;
    if (done) return;
    done = true;
    Dialogs::setAnswerer([](const Dialogs::Request& r) {
        Dialogs::Answer a;
        a.button = Dialogs::cautiousButton(r.style);
        return a;
    });
    ErrPtnr::setHandler([](const ErrPtnr::ErrorInfo&) { return ErrPtnr::Choice::Continue; });
    ErrPtnr::setEndHook([] { std::abort(); });
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
