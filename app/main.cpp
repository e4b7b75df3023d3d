#include "app/AppInfo.h"
#include "app/Main.h"
#include "forms/QtPlatform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(app::AppTitle());
    app::installFonts();

    forms::QtPlatform platform;
    Main window(platform);
    platform.setDialogParent(&window);
    window.show();
    return QApplication::exec();
}
