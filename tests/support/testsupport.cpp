#include "testsupport.h"

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
