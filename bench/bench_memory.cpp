// Peak resident memory of one case, printed in KiB:
//   bench_memory decode FILE   one bare decode of FILE, held
//   bench_memory scale4 FILE   the load command on FILE, then the 4x command
#include "app/Main.h"
#include "forms/ScriptedPlatform.h"

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
