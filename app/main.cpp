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
    // `sketrin FILE` starts with FILE loaded, as the load command would load it;
    // any further arguments are ignored.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        window.LoadPictureFile(arguments.at(1));
    return QApplication::exec();
}
