#include "quitonsignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <unistd.h>

namespace {
int g_pipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &c, 1);  // the only safe thing to do here
}
}  // namespace

void quitOnSignals() {
    if (::pipe(g_pipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char c;
        [[maybe_unused]] ssize_t n = ::read(g_pipe[0], &c, 1);
        QCoreApplication::quit();
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}
