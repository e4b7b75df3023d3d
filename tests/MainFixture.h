#pragma once

#include "TestSupport.h"
#include "app/Main.h"
#include "forms/PictureBox.h"
#include "forms/ScriptedPlatform.h"
#include "toolbar/ToolButton.h"

#include <QMenuBar>
#include <QtTest>
#include <memory>

namespace testing {

// The window's controls, found by name as a user finds them by sight.
inline Main &mainOf(Main &w)
{
    return w;
}
inline Main &mainOf(Main *w)
{
    return *w;
}
inline Main &mainOf(const std::unique_ptr<Main> &w)
{
    return *w;
}
template <typename W>
forms::PictureBox *picBox(W &&w)
{
    return mainOf(w).template findChild<forms::PictureBox *>(QStringLiteral("PicBox"));
}
template <typename W>
forms::PictureBox *colView(W &&w)
{
    return mainOf(w).template findChild<forms::PictureBox *>(QStringLiteral("ColView"));
}
template <typename W>
toolbar::ToolButton *toolButton(W &&w, int index)
{
    return mainOf(w).template findChild<toolbar::ToolButton *>(QStringLiteral("TBarB%1").arg(index));
}
template <typename W>
toolbar::ToolButton *commandButton(W &&w, int index)
{
    return mainOf(w).template findChild<toolbar::ToolButton *>(QStringLiteral("TBar%1").arg(index));
}
template <typename W>
QAction *action(W &&w, const char *name, int index = -1)
{
    QString objectName = QString::fromLatin1(name);
    if (index >= 0)
        objectName += QString::number(index);
    return mainOf(w).template findChild<QAction *>(objectName);
}
template <typename W>
QList<toolbar::ToolButton *> toolButtons(W &&w, bool withPressedState)
{
    QList<toolbar::ToolButton *> buttons;
    for (int i = 0; i < (withPressedState ? 14 : 10); ++i)
        buttons << (withPressedState ? toolButton(w, i) : commandButton(w, i));
    return buttons;
}

// A main window on the scripted platform, shown at its declared size.
struct MainFixture
{
    forms::ScriptedPlatform platform;
    std::unique_ptr<Main> w;

    explicit MainFixture(bool show = true)
    {
        w = std::make_unique<Main>(platform);
        if (show) {
            w->show();
            if (!QTest::qWaitForWindowExposed(w.get()))
                qWarning("the main window was not exposed");
        }
    }

    // The visible part of the surface.
    QImage surface() const { return visible(w->surface()); }
    QImage persistent() const
    {
        canvas::Surface &s = w->surface();
        return s.persistentLayer().copy(0, 0, s.area().width(), s.area().height());
    }

    // Mouse input on the surface, in drawing-area pixels.
    QPoint at(int x, int y) const { return QPoint(x + picBox(w)->BorderStyle(), y + picBox(w)->BorderStyle()); }
    void press(int x, int y, Qt::MouseButton b = Qt::LeftButton) { QTest::mousePress(picBox(w), b, {}, at(x, y)); }
    void move(int x, int y) { QTest::mouseMove(picBox(w), at(x, y)); }
    void release(int x, int y, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseRelease(picBox(w), b, {}, at(x, y)); }
    void drag(QPoint from, QPoint to, Qt::MouseButton b = Qt::LeftButton)
    {
        press(from.x(), from.y(), b);
        move(to.x(), to.y());
        release(to.x(), to.y(), b);
    }

    int checkedToolItems() const
    {
        int n = 0;
        for (int i = 0; i < 9; ++i)
            n += action(w, "PenSize", i)->isChecked();
        for (int i = 0; i < 2; ++i)
            n += action(w, "EraserSize", i)->isChecked();
        return n;
    }
};

// Mouse events sent straight to a widget, in the order the window system
// delivers them, with no double-click made up from their timing: a click is a
// press and a release, a double-click a click, then a double-click event (the
// second press) and its release.
inline void sendMouse(QWidget *w, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}
inline void click(QWidget *w, QPoint at)
{
    sendMouse(w, QEvent::MouseButtonPress, at);
    sendMouse(w, QEvent::MouseButtonRelease, at);
}
inline void doubleClick(QWidget *w, QPoint at)
{
    click(w, at);
    sendMouse(w, QEvent::MouseButtonDblClick, at);
    sendMouse(w, QEvent::MouseButtonRelease, at);
}

// Button looks read from the button's own pixels: the background where the picture
// is transparent, and the frame at the four edges.
inline QRgb buttonBackground(forms::PictureBox *button)
{
    const QImage picture = button->Picture().convertToFormat(QImage::Format_ARGB32);
    const QImage shown = button->grab().toImage();
    for (int y = 1; y < 16; ++y)
        for (int x = 1; x < 16; ++x)
            if (picture.isNull() || qAlpha(picture.pixel(x, y)) == 0)
                return shown.pixel(x, y);
    return 0;
}
inline bool buttonFramed(forms::PictureBox *button)
{
    const QImage img = button->grab().toImage();
    const QRgb frame = qRgb(82, 150, 247);
    return img.pixel(0, 8) == frame && img.pixel(8, 0) == frame && img.pixel(8, 16) == frame &&
           img.pixel(16, 8) == frame;
}

// Rows for the eraser sizes: index and side of the square at width 1.
inline void eraserSizeRows()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("side");
    QTest::newRow("small") << 0 << 7;
    QTest::newRow("large") << 1 << 23;
}

constexpr QRgb PlainLook = 0xFFFFFFFF;
constexpr QRgb HoverLook = 0xFFD9E8FA;   // 217, 232, 250
constexpr QRgb PressedLook = 0xFFFAFAD9; // 250, 250, 217

} // namespace testing
