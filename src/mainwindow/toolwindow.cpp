#include "mainwindow/toolwindow.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace toolWindow {

GridWindow buildGridWindow(QWidget* w, const char* objectName, const QString& title, const char* frameName,
                           const QString& frameCaption, const char* gridName) {
    w->setObjectName(QString::fromLatin1(objectName));
    w->setWindowTitle(title);
    auto* layout = new QVBoxLayout(w);
    auto* frame = new QGroupBox(frameCaption, w);
    frame->setObjectName(QString::fromLatin1(frameName));
    auto* frameLayout = new QVBoxLayout(frame);
    auto* grid = new QTableWidget(frame);
    grid->setObjectName(QString::fromLatin1(gridName));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->verticalHeader()->hide();
    frameLayout->addWidget(grid);
    layout->addWidget(frame);
    auto* exit = new QPushButton(QStringLiteral("Exit"), w);
    exit->setObjectName(QStringLiteral("cmdExit"));
    layout->addWidget(exit, 0, Qt::AlignRight);
    return {frame, grid, exit};
}

}  // namespace toolWindow
