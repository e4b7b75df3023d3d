// The drawing mode's marks on a 3840 x 2160 screen, each beside a pen move in the
// mode measured in the same run. Every figure is one pointer sample: on the
// document alone (Mode*_4K), and as the window takes it, its repaint included
// (Mode*Window_4K), which is what a sample costs the presenter.
#include "canvas/ToolState.h"
#include "present/Document.h"

#include <QImage>
#include <benchmark/benchmark.h>

namespace {

QImage screen4K()
{
    QImage image(3840, 2160, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF);
    }
    return image;
}

const QImage &screen()
{
    static const QImage image = screen4K();
    return image;
}

// A drag back and forth over 100 pixels in steps of 3, wobbling up and down.
template <typename Sample>
void drag(benchmark::State &state, QPointF from, Sample sample)
{
    float x = 0;
    for (auto _ : state) {
        x = x >= 100 ? 0 : x + 3;
        sample(from + QPointF(x, int(x) & 7));
    }
}

} // namespace

void ModePenMove_4K(benchmark::State &state)
{
    canvas::ToolState tools;
    present::Document doc(screen(), tools);
    doc.press(QPointF(1000, 600));
    drag(state, QPointF(1000, 600), [&](QPointF p) { doc.move(p); });
}
BENCHMARK(ModePenMove_4K)->Unit(benchmark::kMicrosecond);

// A rectangle whose far corner follows the pointer: about 150 x 80 (a number
// boxed), and 450 x 300.
void ModeRubberBand_4K(benchmark::State &state)
{
    canvas::ToolState tools;
    present::Document doc(screen(), tools);
    doc.press(QPointF(1000, 600), present::Shape::Rectangle);
    drag(state, QPointF(1000 + state.range(0), 600 + state.range(1)), [&](QPointF p) { doc.move(p); });
}
BENCHMARK(ModeRubberBand_4K)->Args({100, 80})->Args({400, 300})->Unit(benchmark::kMicrosecond);

void ModeHighlighter_4K(benchmark::State &state)
{
    canvas::ToolState tools;
    present::Document doc(screen(), tools);
    doc.setHighlighter(true);
    doc.press(QPointF(1000, 600));
    drag(state, QPointF(1000, 600), [&](QPointF p) { doc.move(p); });
}
BENCHMARK(ModeHighlighter_4K)->Unit(benchmark::kMicrosecond);

// The tip's pressure changing at every sample.
void ModeTabletMove_4K(benchmark::State &state)
{
    canvas::ToolState tools;
    present::Document doc(screen(), tools);
    doc.press(QPointF(1000, 600), present::Shape::Free, present::Input::TabletTip, 0.5);
    drag(state, QPointF(1000, 600), [&](QPointF p) { doc.move(p, 0.3 + (int(p.x()) % 50) / 100.0); });
}
BENCHMARK(ModeTabletMove_4K)->Unit(benchmark::kMicrosecond);

#include "forms/ScriptedPlatform.h"
#include "present/DrawingWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QTabletEvent>
#include <QTimer>
#include <ctime>

namespace {

// The same samples sent to the mode's window as the window system would, each
// followed by the repaint of what it changed.
struct Window
{
    canvas::ToolState tools;
    forms::ScriptedPlatform platform;
    present::DrawingWindow window{screen(), nullptr, tools, platform};
    Window()
    {
        window.resize(3840, 2160);
        window.show();
        QApplication::processEvents();
        if (window.size() != QSize(3840, 2160))
            qFatal("the window is %dx%d", window.width(), window.height());
    }
    void mouse(QEvent::Type type, QPointF at, Qt::KeyboardModifiers mods = {}, bool frame = true)
    {
        QMouseEvent e(type, at, window.mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, mods);
        QApplication::sendEvent(&window, &e);
        if (frame)
            QApplication::processEvents();
    }
    // Four samples to a frame, as a 250 Hz pointer on a 60 Hz display sends them:
    // the window draws and repaints once the frame's samples are in.
    void framed(QPointF at, Qt::KeyboardModifiers mods = {}) { mouse(QEvent::MouseMove, at, mods, ++samples % 4 == 0); }
    int samples = 0;
};

} // namespace

void ModePenMoveWindow_4K(benchmark::State &state)
{
    Window w;
    w.mouse(QEvent::MouseButtonPress, QPointF(1000, 600));
    drag(state, QPointF(1000, 600), [&](QPointF p) { w.mouse(QEvent::MouseMove, p); });
}
BENCHMARK(ModePenMoveWindow_4K)->Unit(benchmark::kMicrosecond);

void ModeRubberBandWindow_4K(benchmark::State &state)
{
    Window w;
    w.mouse(QEvent::MouseButtonPress, QPointF(1000, 600), Qt::ControlModifier);
    drag(state, QPointF(1000 + state.range(0), 600 + state.range(1)),
         [&](QPointF p) { w.mouse(QEvent::MouseMove, p); });
}
BENCHMARK(ModeRubberBandWindow_4K)->Args({100, 80})->Args({400, 300})->Unit(benchmark::kMicrosecond);

void ModePenMoveFramesWindow_4K(benchmark::State &state)
{
    Window w;
    w.mouse(QEvent::MouseButtonPress, QPointF(1000, 600));
    drag(state, QPointF(1000, 600), [&](QPointF p) { w.framed(p); });
}
BENCHMARK(ModePenMoveFramesWindow_4K)->Unit(benchmark::kMicrosecond);

void ModeRubberBandFramesWindow_4K(benchmark::State &state)
{
    Window w;
    w.mouse(QEvent::MouseButtonPress, QPointF(1000, 600), Qt::ControlModifier);
    drag(state, QPointF(1000 + state.range(0), 600 + state.range(1)),
         [&](QPointF p) { w.framed(p, Qt::ControlModifier); });
}
BENCHMARK(ModeRubberBandFramesWindow_4K)->Args({100, 80})->Args({400, 300})->Unit(benchmark::kMicrosecond);

void ModeHighlighterWindow_4K(benchmark::State &state)
{
    Window w;
    w.window.document().setHighlighter(true);
    w.mouse(QEvent::MouseButtonPress, QPointF(1000, 600));
    drag(state, QPointF(1000, 600), [&](QPointF p) { w.mouse(QEvent::MouseMove, p); });
}
BENCHMARK(ModeHighlighterWindow_4K)->Unit(benchmark::kMicrosecond);

void ModeTabletMoveWindow_4K(benchmark::State &state)
{
    Window w;
    const QPointingDevice stylus(QStringLiteral("stylus"), 7, QInputDevice::DeviceType::Stylus,
                                 QPointingDevice::PointerType::Pen,
                                 QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 3);
    auto send = [&](QEvent::Type type, QPointF at, qreal pressure) {
        QTabletEvent e(type, &stylus, at, w.window.mapToGlobal(at), pressure, 0, 0, 0, 0, 0, Qt::NoModifier,
                       type == QEvent::TabletMove ? Qt::NoButton : Qt::LeftButton, Qt::LeftButton);
        QApplication::sendEvent(&w.window, &e);
        QApplication::processEvents();
    };
    send(QEvent::TabletPress, QPointF(1000, 600), 0.5);
    drag(state, QPointF(1000, 600), [&](QPointF p) { send(QEvent::TabletMove, p, 0.3 + (int(p.x()) % 50) / 100.0); });
}
BENCHMARK(ModeTabletMoveWindow_4K)->Unit(benchmark::kMicrosecond);

// The presenter's kit, each against a pen move through the window: the laser
// drawn, and the spotlight following a pointer with no button down.
void ModeLaserMoveWindow_4K(benchmark::State &state)
{
    Window w;
    w.window.document().setKit(present::Kit::Laser);
    w.mouse(QEvent::MouseButtonPress, QPointF(1000, 600));
    drag(state, QPointF(1000, 600), [&](QPointF p) { w.mouse(QEvent::MouseMove, p); });
    w.mouse(QEvent::MouseButtonRelease, QPointF(1000, 600));
}
BENCHMARK(ModeLaserMoveWindow_4K)->Unit(benchmark::kMicrosecond);

void ModeSpotlightMoveWindow_4K(benchmark::State &state)
{
    Window w;
    QKeyEvent key(QEvent::KeyPress, Qt::Key_S, Qt::NoModifier, QStringLiteral("s"));
    QApplication::sendEvent(&w.window, &key);
    QApplication::processEvents();
    if (!w.window.spotlight().on())
        state.SkipWithError("the spotlight did not come on");
    drag(state, QPointF(1000, 600), [&](QPointF p) {
        QMouseEvent e(QEvent::MouseMove, p, w.window.mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&w.window, &e);
        QApplication::processEvents();
    });
}
BENCHMARK(ModeSpotlightMoveWindow_4K)->Unit(benchmark::kMicrosecond);

// The process's CPU time over 10 s with nothing happening, after a laser stroke
// has faded: the fade's frames must have stopped.
void ModeLaserIdleCpu(benchmark::State &state)
{
    Window w;
    w.window.document().setKit(present::Kit::Laser);
    w.mouse(QEvent::MouseButtonPress, QPointF(1000, 600));
    for (int x = 1000; x < 1400; x += 4)
        w.mouse(QEvent::MouseMove, QPointF(x, 600 + x % 30));
    w.mouse(QEvent::MouseButtonRelease, QPointF(1400, 600));
    QElapsedTimer fade;
    fade.start();
    while (!w.window.document().laser().empty() && fade.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    for (auto _ : state) {
        timespec before{}, after{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
        QEventLoop idle;
        QTimer::singleShot(int(state.range(0)), &idle, &QEventLoop::quit);
        idle.exec();
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
        state.counters["cpu_ms"] = (after.tv_sec - before.tv_sec) * 1e3 + (after.tv_nsec - before.tv_nsec) / 1e6;
        state.counters["timer_left"] = w.window.laserFrameWaiting();
    }
}
BENCHMARK(ModeLaserIdleCpu)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);
