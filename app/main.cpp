#include "app/Main.h"
#include "app/CommandLine.h"
#include "app/DrawingMode.h"
#include "forms/App.h"
#include "forms/BusEntry.h"
#include "forms/QtPlatform.h"
#include "forms/ScratchFolder.h"
#include "imaging/PictureFile.h"
#include "journal/Journal.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>
#include <cstdio>

namespace {

// `sketrin --draw` or `--live` hands the request to the Sketrin already running
// in this session, if there is one (with the file it names, if it can be read).
// Returns the exit code when it was handed over or refused, -1 when this
// program is to go on.
int handOver(const CommandLine &line, bool doorOpen)
{
    if (doorOpen || !forms::BusEntry::running())
        return -1;
    if (line.draw) {
        const QString file = line.file.isEmpty() ? QString() : QFileInfo(line.file).absoluteFilePath();
        if (!file.isEmpty() && !imaging::PictureReader().read(file).ok()) {
            std::fprintf(stderr, "sketrin: cannot read %s as a picture\n", line.file.toLocal8Bit().constData());
            return 1;
        }
        if (forms::BusEntry::askToDraw(file))
            return 0;
    }
    if (line.live && forms::BusEntry::askToDrawLive())
        return 0;
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    // The command line first: --help, --version and a mistake need no window,
    // nor a display to show one on.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = parseCommandLine(arguments);
    if (!line.error.isEmpty()) {
        std::fputs(line.error.toLocal8Bit().constData(), stderr);
        return 2;
    }
    if (line.help || line.version) {
        std::fputs((line.help ? CommandLine::usage() : CommandLine::versionText()).toLocal8Bit().constData(), stdout);
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(forms::AppTitle());
    // The name on the session bus first, before any window: of two
    // `sketrin --draw` started at the same moment, the second finds the first.
    forms::BusEntry door;
    if (const int handed = handOver(line, door.open()); handed >= 0)
        return handed;
    forms::quitOnTerminationSignals();
    forms::ScratchFolder::removeLeftovers();
    forms::installFonts();
    forms::installQtTranslations(QLocale::system());

    forms::QtPlatform platform;
    Main window(platform);
    platform.setDialogParent(&window);
    window.show();
    window.drawingMode().useDoor(door);
    QString why;
    if (!window.grabDrawingKey(why) && !why.isEmpty())
        std::fprintf(stderr, "sketrin: Ctrl+Shift+D and Ctrl+Shift+L work only in Sketrin's own windows: %s\n",
                     why.toLocal8Bit().constData());
    // The drawing is kept in a journal; one that a crash left is offered back.
    window.startJournal(journal::defaultFolder());
    if (forms::terminationRequested())
        return 0;
    // `sketrin FILE` starts with FILE loaded, as the load command would load it.
    if (!line.file.isEmpty())
        window.LoadPictureFile(line.file);
    if (line.live)
        QTimer::singleShot(0, &window, &Main::CmdDrawLive_Click);
    else if (line.draw)
        QTimer::singleShot(0, &window, &Main::enterDrawingMode);
    return QApplication::exec();
}
