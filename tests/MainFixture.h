#pragma once

#include "app/Main.h"
#include "forms/PictureBox.h"
#include "forms/ScriptedPlatform.h"

#include <QMenuBar>
#include <QtTest>
#include <memory>

namespace testing {

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
    QImage surface() const
    {
        forms::PictureBox *box = w->PicBox;
        return box->ScreenImage().copy(0, 0, box->ScaleWidth(), box->ScaleHeight());
    }
    QImage persistent() const
    {
        forms::PictureBox *box = w->PicBox;
        return box->PersistentImage().copy(0, 0, box->ScaleWidth(), box->ScaleHeight());
    }

    // Mouse input on the surface, in drawing-area pixels.
    QPoint at(int x, int y) const { return QPoint(x + w->PicBox->BorderStyle(), y + w->PicBox->BorderStyle()); }
    void press(int x, int y, Qt::MouseButton b = Qt::LeftButton) { QTest::mousePress(w->PicBox, b, {}, at(x, y)); }
    void move(int x, int y) { QTest::mouseMove(w->PicBox, at(x, y)); }
    void release(int x, int y, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseRelease(w->PicBox, b, {}, at(x, y)); }
    void drag(QPoint from, QPoint to, Qt::MouseButton b = Qt::LeftButton)
    {
        press(from.x(), from.y(), b);
        move(to.x(), to.y());
        release(to.x(), to.y(), b);
    }

    int checkedToolItems() const
    {
        int n = 0;
        for (QAction *a : w->PenSize)
            n += a->isChecked();
        for (QAction *a : w->EraserSize)
            n += a->isChecked();
        return n;
    }
};

// Button looks read from the button's own pixels: the background where the picture
// is transparent, and the frame at the four edges.
inline QRgb buttonBackground(forms::PictureBox *button)
{
    const QImage picture = button->Picture().convertToFormat(QImage::Format_ARGB32);
    for (int y = 1; y < 16; ++y)
        for (int x = 1; x < 16; ++x)
            if (picture.isNull() || qAlpha(picture.pixel(x, y)) == 0)
                return button->ScreenImage().pixel(x, y);
    return 0;
}
inline bool buttonFramed(forms::PictureBox *button)
{
    const QImage &img = button->ScreenImage();
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
