#include "desktop/windowfit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

namespace windowFit {
namespace {

// Until the window manager has framed a window its frame is unknown: room is left for a
// title bar and a thin border, so that the frame does not reach below the work area.
QMargins frameOf(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    const QMargins known = handle ? handle->frameMargins() : QMargins();
    // A window shown without a window manager has no frame at all.
    return handle && handle->isVisible() ? known : QMargins(4, 30, 4, 4);
}

class PageArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        const int f = 2 * frameWidth();
        return widget() ? widget()->size() + QSize(f, f) : QScrollArea::sizeHint();
    }
};

constexpr char kPlaced[] = "windowFitPlaced";

}  // namespace

QRect workArea(const QWidget* window) {
    const QScreen* s = window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect();
}

QScrollArea* scrollingPage(QWidget* page, QWidget* parent) {
    auto* area = new PageArea(parent);
    area->setObjectName(QStringLiteral("scrollingPage"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(false);
    area->setWidget(page);
    return area;
}

void fillWithPage(QWidget* window, QWidget* page) {
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scrollingPage(page, window));
}

// A window's position (x, y, move) is its frame's; its size is the client's.
static void keepInside(QWidget* window, const QRect& area, const QMargins& frame) {
    const QSize outer = window->size().grownBy(frame);
    const int x = std::max(area.left(), std::min(window->x(), area.right() + 1 - outer.width()));
    const int y = std::max(area.top(), std::min(window->y(), area.bottom() + 1 - outer.height()));
    if (QPoint(x, y) != window->pos()) window->move(x, y);
}

void fitToContent(QWidget* window) {
    const QRect area = workArea(window);
    if (!area.isValid()) return;
    // A page that grew since its window was laid out (the update window beside the main
    // window's controls): the layout forgets the size hint it keeps of the old page.
    for (QScrollArea* a : window->findChildren<QScrollArea*>(QStringLiteral("scrollingPage"))) a->updateGeometry();
    const QMargins frame = frameOf(window);
    const QSize room = area.size().shrunkBy(frame);
    QSize wanted = window->sizeHint().expandedTo(window->minimumSizeHint());
    // A side that is cut gets a scroll bar, which the other side makes room for.
    const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window);
    const bool wide = wanted.width() > room.width(), high = wanted.height() > room.height();
    if (wide) wanted.rheight() += bar;
    if (high) wanted.rwidth() += bar;
    window->resize(wanted.boundedTo(room));
    keepInside(window, area, frame);
}

void openInside(QWidget* window) {
    if (window->isVisible()) return;
    if (!window->property(kPlaced).toBool()) {
        window->setProperty(kPlaced, true);
        fitToContent(window);
        return;
    }
    const QRect area = workArea(window);
    if (area.isValid()) keepInside(window, area, frameOf(window));
}

}  // namespace windowFit
