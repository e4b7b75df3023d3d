// Help, home page, and the two information windows.
#include "app/Main.h"

#include "forms/App.h"
#include "info/Addresses.h"
#include "info/Help.h"
#include "info/VerInfo.h"
#include "info/ZELVO.h"
#include "present/KeyCardWindow.h"

#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

namespace {

// The window manager's frame around a window: none until it has been mapped.
QMargins frameOf(const QWidget &window)
{
    const QRect inner = window.geometry();
    const QRect outer = window.frameGeometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

// Keeps a dialog's whole frame centred on the available area while the window
// manager decorates it: the frame is only known once the dialog is mapped, so the
// first place rests on a guess and is corrected when the real frame shows up.
class FrameCentring : public QObject
{
public:
    FrameCentring(QDialog &dialog, const QRect &area) : QObject(&dialog), m_dialog(dialog), m_area(area)
    {
        dialog.installEventFilter(this);
    }

    void place(const QMargins &frame)
    {
        const QSize outer = m_dialog.size().grownBy(frame);
        m_dialog.move(m_area.center() - QRect(QPoint(), outer).center());
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &m_dialog && m_corrections < 3 &&
            (event->type() == QEvent::Move || event->type() == QEvent::Resize) && m_dialog.isVisible()) {
            const QMargins frame = frameOf(m_dialog);
            const QPoint off = m_dialog.frameGeometry().center() - m_area.center();
            // Off by more than rounding: the guessed frame was wrong.
            if (!frame.isNull() && (qAbs(off.x()) > 1 || qAbs(off.y()) > 1)) {
                ++m_corrections;
                place(frame);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QDialog &m_dialog;
    QRect m_area;
    int m_corrections = 0;
};

// Centres a dialog, frame and all, over the screen. Where the window system places
// windows itself (Wayland), the dialog stays a transient of the main window, which
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
    // The main window's frame is the best guess at the dialog's before it is mapped.
    auto *centring = new FrameCentring(dialog, screen->availableGeometry());
    centring->place(main && main->isVisible() ? frameOf(*main) : QMargins());
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

void Main::CmdModeKeys_Click()
{
    // Beside the main window, not in its way: any key or click closes it.
    auto *card = new present::KeyCardWindow(this);
    card->setAttribute(Qt::WA_DeleteOnClose);
    centreOnScreen(*card, this);
    card->show();
}

void Main::CmdOpenHP_Click()
{
    // Returns at once; a failure is silent.
    m_platform.openUrl(QUrl(info::HomePageAddress()));
}

void Main::CmdSoftwareVote_Click()
{
    ZELVO window(m_platform, this);
    window.setWindowModality(Qt::ApplicationModal);
    centreOnScreen(window, this);
    window.exec();
}

void Main::CmdShowVersionInfo_Click()
{
    VerInfo window(m_platform, this);
    window.setWindowModality(Qt::ApplicationModal);
    centreOnScreen(window, this);
    window.exec();
}
