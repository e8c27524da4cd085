#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PXM Loader"));
    QApplication::setApplicationVersion(QStringLiteral("5.0.0"));
    std::printf("KELB-3817 service tool %s\n", qPrintable(QApplication::applicationVersion()));
    return 0;
}
