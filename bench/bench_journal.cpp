// The journal's cost to drawing: pen moves in the main window, strokes of 20
// moves with the pen coming up between them, with the journal on and off.
#include "app/Main.h"
#include "forms/ScriptedPlatform.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

// The newest write of the journal in `folder`, if there is one.
QDateTime lastWrite(const QString &folder)
{
    const QFileInfoList pictures = QDir(folder).entryInfoList({QStringLiteral("journal-*.png")}, QDir::Files);
    return pictures.isEmpty() ? QDateTime() : pictures.first().lastModified();
}

// Arg 0: the journal off; 1: on. On 3840 x 2160, where a copy of what is shown
// and its encoding cost the most. It runs long enough for the journal to write
// a few times (it writes two seconds after a stroke ends); `journal_writes` says
// how often it did.
void PenMoveJournal_3840x2160(benchmark::State &state)
{
    const int w = 3840, h = 2160;
    QTemporaryDir dir;
    forms::ScriptedPlatform platform;
    Main m(platform);
    m.show();
    m.resize(w + 12, h + 55 + m.height() - m.centralWidget()->height());
    QApplication::processEvents();
    if (m.surface().area() != QSize(w, h))
        qFatal("the surface is not %dx%d", w, h);
    m.CmdPicRemain_Click(1); // both layers, the costlier case
    if (state.range(0) != 0)
        m.startJournal(dir.path());
    // Each stroke a row lower, so that what is shown keeps changing.
    float x = 100, y = 100;
    m.PicBox_MouseDown(1, 0, x, y);
    int moves = 0, writes = 0;
    QDateTime written;
    for (auto _ : state) {
        x = x >= 200 ? 100 : x + 3;
        m.PicBox_MouseMove(1, 0, x, y + (int(x) & 7));
        QApplication::processEvents();
        if (++moves % 20 == 0) {
            m.PicBox_MouseUp(1, 0, x, y);
            QApplication::processEvents(); // where the journal's timer fires, the pen up
            y = y >= 2000 ? 100 : y + 1;
            m.PicBox_MouseDown(1, 0, x, y);
        }
        if (moves % 1000 == 0) {
            const QDateTime last = lastWrite(dir.path());
            writes += last != written;
            written = last;
        }
    }
    m.PicBox_MouseUp(1, 0, x, y);
    state.counters["journal_writes"] = writes;
}
BENCHMARK(PenMoveJournal_3840x2160)->Arg(0)->Arg(1)->MinTime(5)->Unit(benchmark::kMicrosecond);

} // namespace
