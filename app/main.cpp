#include "app/Main.h"
#include "forms/App.h"
#include "forms/QtPlatform.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(forms::AppTitle());
    forms::installFonts();
    forms::installQtTranslations(QLocale::system());

    forms::QtPlatform platform;
    Main window(platform);
    platform.setDialogParent(&window);
    window.show();
    return QApplication::exec();
}
