#include "present/DrawingWindow.h"

#include "canvas/ToolState.h"
#include "forms/Platform.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTabletEvent>
#include <QWheelEvent>
#include <cmath>
#include <cstring>

namespace present {

DrawingWindow::DrawingWindow(const QImage &screen, QScreen *on, canvas::ToolState &tools, forms::Platform &platform)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_document(std::make_unique<Document>(screen, tools)), m_tools(tools), m_platform(platform)
{
    setObjectName(QStringLiteral("DrawingWindow"));
    setWindowTitle(QStringLiteral("画面に描く - Sketrin"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    m_eraserPointers = {QPixmap(QStringLiteral(":/resources/eraser_small.xpm")),
                        QPixmap(QStringLiteral(":/resources/eraser_large.xpm"))};
    setAttribute(Qt::WA_AcceptTouchEvents);
    m_document->setChangeListener([this](const QRect &area) { showPicture(area); });
    m_toolListener = m_tools.addListener([this] { showTool(); });
    // Every pointer sample the window system sends, not only the latest of a
    // burst: far-apart samples are what make a fast line coarse.
    m_compressed = QCoreApplication::testAttribute(Qt::AA_CompressHighFrequencyEvents);
    QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, false);
    if (on) {
        setScreen(on);
        setGeometry(on->geometry());
    }
    showTool();
}

DrawingWindow::~DrawingWindow()
{
    m_document->setChangeListener({});
    m_tools.removeListener(m_toolListener);
    QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, m_compressed);
}

void DrawingWindow::showTool()
{
    if (m_tools.eraserMode()) {
        const QPixmap &icon = m_eraserPointers[size_t(m_tools.eraserSizeIndex())];
        setCursor(QCursor(icon, icon.width() / 2, icon.height() / 2));
    } else {
        unsetCursor();
    }
}

void DrawingWindow::showPicture(const QRect &pictureArea)
{
    update(m_zoom.toView(QRectF(pictureArea)).toAlignedRect().adjusted(-1, -1, 1, 1));
}

void DrawingWindow::closeEvent(QCloseEvent *event)
{
    // Closed by the window manager (Alt+F4): the mode ends as with Esc. Closing
    // this window must never close the program, whose main window is away.
    event->ignore();
    emit leaveRequested();
}

void DrawingWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_zoom.setView(QSizeF(m_document->surface().area()));
}

void DrawingWindow::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const QImage *layer = m_document->surface().screenLayer();
    if (!layer) {
        p.fillRect(event->rect(), Qt::black);
        return;
    }
    // Only the exposed part: the picture behind it, through the zoom, unsmoothed
    // so that a zoomed view shows the pixels as they are.
    const Zoom &zoom = m_zoom;
    const qreal s = layer->devicePixelRatio();
    // At 1x onto a window image of the layer's own kind, the rows are copied as
    // they are: QPainter hands tall narrow areas (the sides of a rectangle being
    // dragged) to worker threads, which costs more than the copy.
    QPaintDevice *device = p.paintEngine() ? p.paintEngine()->paintDevice() : nullptr;
    QImage *window = device && device->devType() == QInternal::Image ? static_cast<QImage *>(device) : nullptr;
    const QTransform toWindow = p.deviceTransform();
    const bool copy = window && zoom.factor() == 1 && s == 1 && window->format() == layer->format() &&
                      toWindow.type() <= QTransform::TxTranslate;
    for (const QRect &r : event->region()) {
        if (copy) {
            const QRect from = r.intersected(layer->rect());
            const QRect to = from.translated(int(toWindow.dx()), int(toWindow.dy())).intersected(window->rect());
            for (int y = 0; y < to.height(); ++y)
                std::memcpy(window->scanLine(to.top() + y) + to.left() * 4,
                            layer->constScanLine(from.top() + y) + from.left() * 4, size_t(to.width()) * 4);
            continue;
        }
        const QRectF view(r);
        const QRectF picture(zoom.toPicture(view.topLeft()), view.size() / zoom.factor());
        p.drawImage(view, *layer, QRectF(picture.topLeft() * s, picture.size() * s));
    }
}

void DrawingWindow::wheelEvent(QWheelEvent *event)
{
    const int steps = m_wheel.add(event->angleDelta(), event->pixelDelta());
    if (steps != 0)
        zoomBy(steps, event->position());
    event->accept();
}

void DrawingWindow::zoomBy(int steps, QPointF anchor)
{
    m_zoom.stepAt(anchor, steps);
    update();
}

QImage DrawingWindow::picture()
{
    confirmText();
    endMark();
    return m_document->shown();
}

} // namespace present
