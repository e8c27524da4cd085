#include "mainwindow/toolwindow.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace toolWindow {

GridWindow buildGridWindow(QWidget* w, const char* frameName, const QString& frameCaption, const char* gridName) {
    auto* layout = new QVBoxLayout(w);
    GridWindow g;
    g.frame = new QGroupBox(frameCaption, w);
    g.frame->setObjectName(QString::fromLatin1(frameName));
    auto* frameLayout = new QVBoxLayout(g.frame);
    g.grid = new QTableWidget(g.frame);
    g.grid->setObjectName(QString::fromLatin1(gridName));
    g.grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g.grid->setSelectionMode(QAbstractItemView::NoSelection);
    g.grid->verticalHeader()->hide();
    frameLayout->addWidget(g.grid);
    layout->addWidget(g.frame);
    g.exit = new QPushButton(QStringLiteral("Exit"), w);
    g.exit->setObjectName(QStringLiteral("cmdExit"));
    layout->addWidget(g.exit, 0, Qt::AlignRight);
    return g;
}

}  // namespace toolWindow
