#include "testsupport.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>

#include <QFile>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTcpServer>
#include <QThread>

namespace testsupport {

ScriptedAnswerer::ScriptedAnswerer() { Dialogs::answererLink::install(this); }

ScriptedAnswerer::~ScriptedAnswerer() { Dialogs::answererLink::install(nullptr); }

Dialogs::Answer ScriptedAnswerer::answer(const Dialogs::Request& r) {
    m_shown.push_back(r);
    if (r.kind == Dialogs::Kind::Form && !m_forms.empty()) {
        auto f = std::move(m_forms.front());
        m_forms.pop_front();
        Dialogs::Answer a;
        a.button = f(r.form);
        return a;
    }
    if (r.kind != Dialogs::Kind::Form && !m_queue.empty()) {
        Dialogs::Answer a = m_queue.front();
        m_queue.pop_front();
        return a;
    }
    Dialogs::Answer a;
    a.button = r.kind == Dialogs::Kind::Message ? Dialogs::cautiousButton(r.style) : 0;
    return a;
}

QStringList ScriptedAnswerer::texts() const {
    QStringList l;
    for (const auto& r : m_shown) l << r.text;
    return l;
}

bool ScriptedAnswerer::anyTextContains(const QString& part) const {
    for (const auto& r : m_shown)
        if (r.text.contains(part)) return true;
    return false;
}

DesktopRecorder::DesktopRecorder() { desktop::servicesLink::install(this); }

DesktopRecorder::~DesktopRecorder() { desktop::servicesLink::install(nullptr); }

QStringList DesktopRecorder::targets(DesktopAction action) const {
    QStringList l;
    for (const auto& [a, target] : seen)
        if (a == action) l << target;
    return l;
}

quint16 freePort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

QString busUrl(quint16 port, int channel) {
    return QStringLiteral("tcp://127.0.0.1:%1/can%2").arg(port).arg(channel);
}

bool waitFor(const std::function<bool()>& pred, int timeoutMs, const std::function<void()>& eachRound) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents();
        QThread::msleep(2);
        if (eachRound) eachRound();
    }
    return true;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

}  // namespace testsupport

namespace testsupport {

bool keepGrab(QWidget* window, const QString& name) {
    const QPixmap shot = window->grab();
    if (shot.isNull()) return false;
    bool ok = QDir().mkpath(QStringLiteral(KELB_TEST_GRABS)) &&
              shot.save(QDir(QStringLiteral(KELB_TEST_GRABS)).filePath(name + QStringLiteral(".png")));
    const QString extra = qEnvironmentVariable("KELB_GRAB_DIR");
    if (!extra.isEmpty()) ok = QDir().mkpath(extra) && shot.save(QDir(extra).filePath(name + QStringLiteral(".png"))) && ok;
    return ok;
}

QStringList unreachable(QScrollArea* area) {
    QStringList out;
    QWidget* page = area->widget();
    QWidget* view = area->viewport();
    for (QWidget* c : page->findChildren<QWidget*>()) {
        if (!c->isVisibleTo(page)) continue;
        // A control that fits the view must come wholly into it, a larger one with its corner.
        const QPoint at = c->mapTo(page, QPoint(0, 0));
        const bool fits = c->width() <= view->width() && c->height() <= view->height();
        if (fits) area->ensureVisible(at.x() + c->width() / 2, at.y() + c->height() / 2, (c->width() + 1) / 2, (c->height() + 1) / 2);
        else area->ensureVisible(at.x(), at.y(), 1, 1);
        const QRect shown(c->mapTo(view, QPoint(0, 0)), fits ? c->size() : QSize(1, 1));
        if (!view->rect().contains(shown))
            out << (c->objectName().isEmpty() ? QString::fromLatin1(c->metaObject()->className()) : c->objectName()) +
                       QStringLiteral(" at %1,%2 in %3x%4").arg(shown.x()).arg(shown.y()).arg(view->width()).arg(view->height());
    }
    return out;
}

QRect workArea() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect();
}

}  // namespace testsupport
