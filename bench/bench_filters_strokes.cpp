// Benchmarks of the hot paths, each beside a baseline measured in the same run.
#include "app/Main.h"
#include "canvas/Strokes.h"
#include "canvas/ToolState.h"
#include "forms/LineControl.h"
#include "forms/PictureBox.h"
#include "forms/ScriptedPlatform.h"
#include "imaging/Filter.h"
#include "imaging/PictureFile.h"
#include "present/Document.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <memory>

namespace {

constexpr int BigW = 3840;
constexpr int BigH = 2160;

QImage photoLike(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb((x * 7 + y) & 0xFF, (x ^ y) & 0xFF, (x * 3 + y * 5) & 0xFF);
    }
    return image;
}

// --- Filters ---------------------------------------------------------------------

void Baseline_Memcpy4K(benchmark::State &state)
{
    const QImage src = photoLike(BigW, BigH);
    QImage dst(BigW, BigH, QImage::Format_RGB32);
    for (auto _ : state) {
        std::memcpy(dst.bits(), src.constBits(), size_t(src.sizeInBytes()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Baseline_Memcpy4K)->Unit(benchmark::kMillisecond);

using BltFn = void (*)(const QImage &, int, int, int, int, QImage &, int, int);

// One filter over the whole surface, in place; the picture is put back between runs.
void filter4K(benchmark::State &state, BltFn blt)
{
    const QImage original = photoLike(BigW, BigH);
    QImage image = original.copy();
    for (auto _ : state) {
        blt(image, 0, 0, BigW, BigH, image, 0, 0);
        benchmark::ClobberMemory();
        state.PauseTiming();
        std::memcpy(image.bits(), original.constBits(), size_t(original.sizeInBytes()));
        state.ResumeTiming();
    }
}
void MonochromeBlt4K(benchmark::State &state)
{
    filter4K(state, &Filter::MonochromeBlt);
}
void SepiaBlt4K(benchmark::State &state)
{
    filter4K(state, &Filter::SepiaBlt);
}
BENCHMARK(MonochromeBlt4K)->Unit(benchmark::kMillisecond);
BENCHMARK(SepiaBlt4K)->Unit(benchmark::kMillisecond);

// --- Strokes ---------------------------------------------------------------------

struct Surface
{
    forms::ScriptedPlatform platform;
    std::unique_ptr<Main> main;
    Surface(int w, int h)
    {
        main = std::make_unique<Main>(platform);
        main->show();
        // The window's own size sets the surface's: w x h inside the margins.
        main->resize(w + 12, h + 55 + main->height() - main->centralWidget()->height());
        QApplication::processEvents();
        if (main->surface().area() != QSize(w, h))
            qFatal("the surface is %dx%d, not %dx%d", main->surface().area().width(), main->surface().area().height(),
                   w, h);
        main->CmdPicRemain_Click(1); // both layers, the costlier case
        main->surface().persistentLayer();
    }
};

// Timed moves of one drag, back and forth over 100 pixels, each followed by the
// repaint of what it touched.
void timedMoves(benchmark::State &state, Main &m, bool wobble)
{
    m.PicBox_MouseDown(1, 0, 100, 100);
    float x = 100;
    for (auto _ : state) {
        x = x >= 200 ? 100 : x + 3;
        m.PicBox_MouseMove(1, 0, x, 100 + (wobble ? int(x) & 7 : 0));
        QApplication::processEvents();
    }
}

// One pen move: the handler the mouse-move event runs, then the repaint of what it
// touched.
void penMoves(benchmark::State &state, int w, int h)
{
    Surface s(w, h);
    Main &m = *s.main;
    timedMoves(state, m, true);
}
void PenMove_464x239(benchmark::State &state)
{
    penMoves(state, 464, 239);
}
void PenMove_3840x2160(benchmark::State &state)
{
    penMoves(state, BigW, BigH);
}
BENCHMARK(PenMove_464x239)->Unit(benchmark::kMicrosecond);
BENCHMARK(PenMove_3840x2160)->Unit(benchmark::kMicrosecond);

// A pen move on the drawing alone, as the main window's handler makes it and
// records it, and the same move in the drawing mode, both on 3840 x 2160: the
// mode's cost beside the main window's.
void PenMoveModel_3840x2160(benchmark::State &state)
{
    canvas::Surface surface;
    surface.setArea(QSize(BigW, BigH), 1);
    canvas::History history(surface);
    canvas::ToolState tools;
    history.begin({}, canvas::History::Extent::Touched);
    canvas::strokeDown(tools, surface, 100, 100);
    float x = 100;
    for (auto _ : state) {
        x = x >= 200 ? 100 : x + 3;
        canvas::strokeMove(tools, surface, x, 100 + (int(x) & 7));
    }
}
BENCHMARK(PenMoveModel_3840x2160)->Unit(benchmark::kMicrosecond);

void PenMoveMode_3840x2160(benchmark::State &state)
{
    canvas::ToolState tools;
    present::Document doc(photoLike(BigW, BigH), tools);
    doc.press(QPointF(100, 100));
    float x = 100;
    for (auto _ : state) {
        x = x >= 200 ? 100 : x + 3;
        doc.move(QPointF(x, 100 + (int(x) & 7)));
    }
}
BENCHMARK(PenMoveMode_3840x2160)->Unit(benchmark::kMicrosecond);

// The same moves with the stroke's undo record closed: nothing is recorded.
void PenMove_3840x2160_Unrecorded(benchmark::State &state)
{
    Surface s(BigW, BigH);
    Main &m = *s.main;
    m.PicBox_MouseDown(1, 0, 100, 100);
    m.history().cancel();
    float x = 100;
    for (auto _ : state) {
        x = x >= 200 ? 100 : x + 3;
        m.PicBox_MouseMove(1, 0, x, 100 + (int(x) & 7));
        QApplication::processEvents();
    }
}
BENCHMARK(PenMove_3840x2160_Unrecorded)->Unit(benchmark::kMicrosecond);

// Both layers copied once: the baseline of a full-surface undo.
void Baseline_MemcpyBothLayers4K(benchmark::State &state)
{
    const QImage src = photoLike(BigW, BigH);
    QImage a(BigW, BigH, QImage::Format_RGB32), b(BigW, BigH, QImage::Format_RGB32);
    for (auto _ : state) {
        std::memcpy(a.bits(), src.constBits(), size_t(src.sizeInBytes()));
        std::memcpy(b.bits(), src.constBits(), size_t(src.sizeInBytes()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Baseline_MemcpyBothLayers4K)->Unit(benchmark::kMillisecond);

// Undo of a filter over the whole 3840 x 2160 surface (redo between runs).
void UndoFilter4K(benchmark::State &state)
{
    Surface s(BigW, BigH);
    Main &m = *s.main;
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.bmp"));
    photoLike(800, 600).save(path);
    m.LoadPictureFile(path);
    m.CmdPicFilter_Click(1);
    for (auto _ : state) {
        m.CmdUndo_Click();
        QApplication::processEvents(); // and the repaint
        state.PauseTiming();
        m.CmdRedo_Click();
        state.ResumeTiming();
    }
}
BENCHMARK(UndoFilter4K)->Unit(benchmark::kMillisecond);

long peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// 2,000 strokes, 2,000 undos and 2,000 redos: the surface must come back bit for
// bit; the peak memory that the history adds is reported beside its budget.
void UndoSession(benchmark::State &state)
{
    Surface s(1280, 720);
    Main &m = *s.main;
    for (auto _ : state) {
        for (int stroke = 0; stroke < 2000; ++stroke) {
            const float y = float((stroke * 37) % 700);
            m.PicBox_MouseDown(1, 0, float(stroke % 1200), y);
            for (int i = 0; i < 20; ++i)
                m.PicBox_MouseMove(1, 0, float(stroke % 1200) + i * 3, y + (i & 3));
            m.PicBox_MouseUp(1, 0, 0, 0);
        }
        const QImage end = m.surface().visibleImage();
        while (m.history().canUndo())
            m.CmdUndo_Click();
        while (m.history().canRedo())
            m.CmdRedo_Click();
        if (m.surface().visibleImage() != end)
            state.SkipWithError("the surface did not come back bit for bit");
    }
    state.counters["history_MiB"] = double(m.history().bytes()) / (1 << 20);
    state.counters["peak_MiB"] = double(peakKiB()) / 1024;
}
BENCHMARK(UndoSession)->Unit(benchmark::kMillisecond)->Iterations(1);

void EraserLargeStamp_W9(benchmark::State &state)
{
    Surface s(464, 239);
    Main &m = *s.main;
    m.PenSize_Click(8);
    m.EraserSize_Click(1);
    timedMoves(state, m, false);
}
BENCHMARK(EraserLargeStamp_W9)->Unit(benchmark::kMicrosecond);

// A long doc: 2,000 strokes of 20 moves; the last 100 moves against the first.
void LongSession(benchmark::State &state)
{
    Surface s(1280, 720);
    Main &m = *s.main;
    for (auto _ : state) {
        for (int stroke = 0; stroke < 2000; ++stroke) {
            const float y = float(stroke % 700);
            m.PicBox_MouseDown(1, 0, 10, y);
            for (int i = 0; i < 20; ++i)
                m.PicBox_MouseMove(1, 0, 10 + i * 13, y + (i & 3));
            m.PicBox_MouseUp(1, 0, 270, y);
            if (stroke % 100 == 0)
                QApplication::processEvents();
        }
    }
}
BENCHMARK(LongSession)->Unit(benchmark::kMillisecond)->Iterations(1);

void PenMovesAfterSession(benchmark::State &state)
{
    Surface s(1280, 720);
    Main &m = *s.main;
    const bool after = state.range(0) != 0;
    if (after) {
        for (int stroke = 0; stroke < 2000; ++stroke) {
            m.PicBox_MouseDown(1, 0, 10, float(stroke % 700));
            for (int i = 0; i < 20; ++i)
                m.PicBox_MouseMove(1, 0, 10 + i * 13, float(stroke % 700));
            m.PicBox_MouseUp(1, 0, 10, 10);
        }
        QApplication::processEvents();
    }
    timedMoves(state, m, false);
}
BENCHMARK(PenMovesAfterSession)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// --- Pictures --------------------------------------------------------------------

const QString &bigJpeg()
{
    static QTemporaryDir dir;
    static QString path;
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("photo-6000x4000.jpg"));
        QImageWriter writer(path, "jpeg");
        writer.setQuality(85);
        writer.write(photoLike(6000, 4000));
    }
    return path;
}

void Baseline_BareDecode6000x4000(benchmark::State &state)
{
    const QString path = bigJpeg();
    for (auto _ : state) {
        QImageReader reader(path);
        reader.setAllocationLimit(1024);
        QImage image = reader.read();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(Baseline_BareDecode6000x4000)->Unit(benchmark::kMillisecond);

void LoadCommand6000x4000(benchmark::State &state)
{
    const QString path = bigJpeg();
    Surface s(464, 239);
    for (auto _ : state) {
        // A clear first, so that every load decodes the file anew.
        state.PauseTiming();
        s.main->CmdPicClear_Click();
        s.platform.openAnswers.push_back(path);
        state.ResumeTiming();
        s.main->CmdPicLoad_Click();
        benchmark::DoNotOptimize((*s.main->surface().screenLayer()).constBits());
    }
}
BENCHMARK(LoadCommand6000x4000)->Unit(benchmark::kMillisecond);

void ScaleCommand(benchmark::State &state)
{
    const QString path = bigJpeg();
    Surface s(464, 239);
    s.platform.openAnswers.push_back(path);
    s.main->CmdPicLoad_Click();
    const int index = int(state.range(0));
    for (auto _ : state) {
        s.main->CmdPicRatio_Click(index);
        benchmark::DoNotOptimize((*s.main->surface().screenLayer()).constBits());
    }
}
BENCHMARK(ScaleCommand)->Arg(0)->Arg(4)->Unit(benchmark::kMillisecond);

// Paste of a 24-megapixel picture (through its private PNG file) and a drop of the
// file, beside the load command.
void PasteCommand6000x4000(benchmark::State &state)
{
    const QString path = bigJpeg();
    Surface s(464, 239);
    const QImage picture = QImageReader(path).read();
    for (auto _ : state) {
        state.PauseTiming();
        s.main->CmdPicClear_Click();
        s.platform.clipboardContent = {picture, {}};
        state.ResumeTiming();
        s.main->CmdPicPaste_Click();
        benchmark::DoNotOptimize((*s.main->surface().screenLayer()).constBits());
        state.PauseTiming();
        s.main->CmdPicRatio_Click(2); // the file written beside, read again
        state.ResumeTiming();
    }
}
BENCHMARK(PasteCommand6000x4000)->Unit(benchmark::kMillisecond)->Iterations(3);

void DropFile6000x4000(benchmark::State &state)
{
    const QString path = bigJpeg();
    Surface s(464, 239);
    for (auto _ : state) {
        state.PauseTiming();
        s.main->CmdPicClear_Click();
        state.ResumeTiming();
        s.main->LoadPictureFile(path);
        benchmark::DoNotOptimize((*s.main->surface().screenLayer()).constBits());
    }
}
BENCHMARK(DropFile6000x4000)->Unit(benchmark::kMillisecond);

// Saving a 3840 x 2160 surface as PNG, beside QImage::save of the same image.
void Baseline_QImageSave4K(benchmark::State &state)
{
    static QTemporaryDir dir;
    const QImage image = photoLike(BigW, BigH);
    for (auto _ : state)
        image.save(dir.filePath(QStringLiteral("bare.png")));
}
BENCHMARK(Baseline_QImageSave4K)->Unit(benchmark::kMillisecond);

void SaveCommand4K(benchmark::State &state)
{
    static QTemporaryDir dir;
    Surface s(BigW, BigH);
    s.main->surface().PaintPicture(photoLike(BigW, BigH), 0, 0, BigW, BigH);
    for (auto _ : state) {
        s.platform.saveAnswers.push_back(dir.filePath(QStringLiteral("saved.png")));
        s.main->CmdPicSave_Click();
    }
}
BENCHMARK(SaveCommand4K)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
