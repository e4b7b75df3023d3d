// The main window: its controls and menus, start-up, layout and exit.
#include "app/Main.h"

#include "app/DrawingMode.h"
#include "forms/App.h"
#include "forms/GlobalShortcut.h"
#include "forms/LineControl.h"
#include "forms/PictureBox.h"
#include "forms/ScratchFolder.h"
#include "forms/StepAside.h"
#include "present/DrawingWindow.h"
#include "toolbar/Toolbar.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <cmath>

namespace {
constexpr int ClientWidth = 474;
constexpr int ClientHeight = 292;
} // namespace

Main::Main(forms::Platform &platform, QWidget *parent) : QMainWindow(parent), m_platform(platform), CDialog(platform)
{
    createControls();
    TBar = new toolbar::Toolbar(Client, toolbarTable());
    createMenus();
    createDrawingMode();
    setWindowIcon(forms::appIcon());
    setAcceptDrops(true);
    resize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
    // The size to return to when unmaximised, for when the window steps aside.
    forms::StepAside::watch(*this);
    Form_Load();
}

Main::~Main()
{
    finishPasteWrite();
    PicBox->setSource(nullptr);
}

void Main::createControls()
{
    Client = new forms::FormSurface(this);
    setCentralWidget(Client);
    Client->resize(ClientWidth, ClientHeight);

    PicBox = new forms::PictureBox(Client);
    PicBox->setObjectName(QStringLiteral("PicBox"));
    PicBox->setBorderStyle(1);
    PicBox->setGeometry(8, 52, 405, 225);
    PicBox->setSource(&m_surface);

    ColView = new forms::PictureBox(Client);
    ColView->setObjectName(QStringLiteral("ColView"));
    ColView->setBorderStyle(1);
    ColView->setGeometry(412, 4, 13, 13);

    EraserLoader[0] = QPixmap(QStringLiteral(":/resources/eraser_small.xpm"));
    EraserLoader[1] = QPixmap(QStringLiteral(":/resources/eraser_large.xpm"));

    connect(PicBox, &forms::PictureBox::MouseDown, this, &Main::PicBox_MouseDown);
    connect(PicBox, &forms::PictureBox::MouseMove, this, &Main::PicBox_MouseMove);
    connect(PicBox, &forms::PictureBox::MouseUp, this, &Main::PicBox_MouseUp);
    connect(ColView, &forms::PictureBox::Click, this, &Main::ColView_Click);
    connect(Client, &forms::FormSurface::Resized, this, &Main::Form_Resize);
    connect(Client, &forms::FormSurface::MouseMove, this, &Main::Form_MouseMove);
}

void Main::Form_Load()
{
    setWindowTitle(forms::VersionTitle());
    m_tools.setPenColor(forms::colorWord(0, 0, 0));
    showPenColor();
    m_tools.setPictureLoaded(false);
    m_tools.setToolbarShown(true);
    // The toolbar's start-up selection: the pen with the remembered width (1), then
    // width 1 itself, then the tooltips.
    TBarB_Click(0);
    TBarB_Click(3);
    SetToolTips();
    showHistory();
}

void Main::Form_Resize()
{
    const float W = float(Client->width());
    const float H = float(Client->height());
    // Absolute values: a client area smaller than the margins still gives a
    // positive size, equal to the shortfall.
    const bool shown = m_tools.toolbarShown();
    const int top = shown ? 49 : 5;
    const int width = int(std::fabs(W - 10));
    const int height = int(std::fabs(H - (shown ? 53 : 10)));
    PicBox->move(5, top);
    PicBox->resize(width, height);
    PicBox->syncArea();
}

void Main::CmdExit_Click()
{
    // Every window closes with the main one, and no further event runs.
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}
