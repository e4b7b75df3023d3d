// Start-up to the main window shown, in one of two forms:
//   bench_startup bare       a minimal Qt Widgets program with one QMainWindow
//   bench_startup bare-text  the same with one line of Japanese text, so that it
//                            loads the font database as any program with text must
//   bench_startup sketrin    the program's own start-up
// Each exits as soon as its window is exposed; bench/run.sh times whole processes.
#include "app/Main.h"
#include "forms/App.h"
#include "forms/ScriptedPlatform.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <cstring>

int main(int argc, char *argv[])
{
    const bool bare = argc > 1 && std::strncmp(argv[1], "bare", 4) == 0;
    const bool text = argc > 1 && std::strcmp(argv[1], "bare-text") == 0;
    QApplication application(argc, argv);
    std::unique_ptr<QMainWindow> window;
    forms::ScriptedPlatform platform;
    if (bare) {
        window = std::make_unique<QMainWindow>();
        if (text)
            window->setCentralWidget(new QLabel(QStringLiteral("画像読み込み"), window.get()));
    } else {
        forms::installFonts();
        window = std::make_unique<Main>(platform);
    }
    window->show();
    // The first paint has happened once the queued events are through.
    QTimer::singleShot(0, &application, &QCoreApplication::quit);
    return QApplication::exec();
}
