// Peak resident memory of one case, printed in KiB:
//   bench_memory decode FILE   one bare decode of FILE, held
//   bench_memory scale4 FILE   the load command on FILE, then the 4x command
//   bench_memory frozen -      the drawing mode over a 3840 x 2160 screen, a stroke drawn
//   bench_memory live -        the live mode on a 3840 x 2160 monitor, a stroke drawn
// (the last two want the offscreen platform with such a screen: QT_QPA_PLATFORM=
// "offscreen:configfile=FILE", FILE naming one screen of that size)
#include "app/DrawingMode.h"
#include "app/LiveMode.h"
#include "app/Main.h"
#include "forms/ScriptedPlatform.h"
#include "present/DrawingWindow.h"

#include <QApplication>
#include <QImageReader>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

int main(int argc, char *argv[])
{
    if (argc < 3)
        return 2;
    QApplication application(argc, argv);
    forms::ScriptedPlatform platform;
    Main window(platform);
    window.show();
    QApplication::processEvents();
    QImage held;
    if (std::strcmp(argv[1], "decode") == 0) {
        QImageReader reader(QString::fromLocal8Bit(argv[2]));
        reader.setAllocationLimit(1024);
        held = reader.read();
    } else if (std::strcmp(argv[1], "frozen") == 0 || std::strcmp(argv[1], "live") == 0) {
        QImage screen(3840, 2160, QImage::Format_RGB32);
        screen.fill(Qt::darkCyan);
        platform.captureAnswers.push_back(screen);
        present::DrawingWindow *mode = nullptr;
        if (argv[1][0] == 'l') {
            window.drawingMode().toggleLive();
            mode = window.drawingMode().live().window();
        } else {
            window.drawingMode().enter();
            mode = window.drawingWindow();
        }
        if (!mode)
            return 1;
        QApplication::processEvents();
        mode->document().press({100, 100});
        mode->document().move({3000, 2000});
        mode->document().release();
        mode->repaint();
        QApplication::processEvents();
    } else {
        platform.openAnswers.push_back(QString::fromLocal8Bit(argv[2]));
        window.CmdPicLoad_Click();
        window.CmdPicRatio_Click(4);
    }
    QApplication::processEvents();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld\n", usage.ru_maxrss);
    return 0;
}
