// Help, home page, and the two information windows.
#include "app/Main.h"

#include "forms/App.h"
#include "info/Addresses.h"
#include "info/Help.h"
#include "info/VerInfo.h"
#include "info/ZELVO.h"

#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

namespace {

// Centres a dialog over the screen. Where the window system places windows itself
// (Wayland), the dialog becomes a transient of the main window instead, which
// compositors open over it.
void centreOnScreen(QDialog &dialog, QWidget *main)
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        dialog.setParent(main, dialog.windowFlags());
        return;
    }
    QScreen *screen = main && main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    dialog.move(area.center() - dialog.rect().center());
}

} // namespace

void Main::CmdHelpRef_Click()
{
    const info::HelpCommand help = info::helpCommand(QCoreApplication::applicationDirPath());
    if (!m_platform.startProgram(help.program, help.arguments)) {
        m_platform.MsgBox(QStringLiteral("ヘルプファイルを開けませんでした。") + QStringLiteral("\r\n") + help.helpFile,
                          forms::vbCritical, forms::AppTitle());
    }
}

void Main::CmdOpenHP_Click()
{
    // Returns at once; a failure is silent.
    m_platform.openUrl(QUrl(info::HomePageAddress()));
}

void Main::CmdSoftwareVote_Click()
{
    ZELVO window(m_platform);
    window.setWindowModality(Qt::ApplicationModal);
    centreOnScreen(window, this);
    window.exec();
}

void Main::CmdShowVersionInfo_Click()
{
    VerInfo window(m_platform);
    window.setWindowModality(Qt::ApplicationModal);
    centreOnScreen(window, this);
    window.exec();
}
