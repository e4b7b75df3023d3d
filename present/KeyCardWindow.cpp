#include "present/KeyCardWindow.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

namespace present {

namespace {

QRect screenArea(QWidget *parent)
{
    QScreen *screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

} // namespace

KeyCardWindow::KeyCardWindow(QWidget *parent) : QDialog(parent), m_card(screenArea(parent))
{
    setObjectName(QStringLiteral("KeyCardWindow"));
    setWindowTitle(QStringLiteral("描画モードのキー"));
    setFixedSize(m_card.rect().size());
}

void KeyCardWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(24, 24, 28));
    p.translate(-m_card.rect().topLeft());
    m_card.paint(p);
}

void KeyCardWindow::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    close();
}

void KeyCardWindow::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    close();
}

} // namespace present
