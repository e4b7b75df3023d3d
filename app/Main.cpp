// The main window: its controls and menus, start-up, layout and exit.
#include "app/Main.h"

#include "forms/App.h"
#include "forms/GlobalShortcut.h"
#include "forms/LineControl.h"
#include "forms/PictureBox.h"
#include "forms/StepAside.h"
#include "present/DrawingWindow.h"
#include "toolbar/Toolbar.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QTemporaryDir>
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

namespace {

QAction *addCommand(QMenu *menu, const QString &name, const QString &caption, const QKeySequence &shortcut = {})
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // A shortcut fires from anywhere in the program, also while a menu is
        // open; a modal dialog still blocks it.
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
    return action;
}

QAction *addChoice(QMenu *menu, const QString &name, const QString &caption, bool ticked,
                   const QKeySequence &shortcut = {})
{
    QAction *action = addCommand(menu, name, caption, shortcut);
    action->setCheckable(true);
    action->setChecked(ticked);
    return action;
}

// Array members are named like controls: PenSize3.
QString member(const char *array, int index)
{
    return QString::fromLatin1(array) + QString::number(index);
}

} // namespace

void Main::createMenus()
{
    QMenuBar *bar = menuBar();

    // The File menu's caption has no access key: "(F)" is plain text.
    QMenu *MFile = bar->addMenu(QStringLiteral("ファイル(F)"));
    CmdPicLoad = addCommand(MFile, QStringLiteral("CmdPicLoad"), QStringLiteral("画像読み込み(&L)..."),
                            QKeySequence(Qt::CTRL | Qt::Key_O));
    CmdPicPaste = addCommand(MFile, QStringLiteral("CmdPicPaste"), QStringLiteral("貼り付け(&V)"),
                             QKeySequence(Qt::CTRL | Qt::Key_V));
    CmdScreenCapture = addCommand(MFile, QStringLiteral("CmdScreenCapture"), QStringLiteral("画面取り込み(&G)"),
                                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G));
    CmdDrawOnScreen = addCommand(MFile, QStringLiteral("CmdDrawOnScreen"), QStringLiteral("画面に描く(&D)"),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
    CmdPicSave = addCommand(MFile, QStringLiteral("CmdPicSave"), QStringLiteral("名前を付けて保存(&S)..."),
                            QKeySequence(Qt::CTRL | Qt::Key_S));
    CmdScreenCopy = addCommand(MFile, QStringLiteral("CmdScreenCopy"), QStringLiteral("画面をコピー(&C)"),
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    MFile->addSeparator();
    CmdExit = addCommand(MFile, QStringLiteral("CmdExit"), QStringLiteral("終了(&X)"));

    QMenu *MDraw = bar->addMenu(QStringLiteral("描画(&D)"));
    CmdPicClear = addCommand(MDraw, QStringLiteral("CmdPicClear"), QStringLiteral("画面クリア(&D)"),
                             QKeySequence(Qt::Key_Delete));
    QMenu *MCPicRemain = MDraw->addMenu(QStringLiteral("画面保持(&R)"));
    CmdPicRemain[0] = addChoice(MCPicRemain, member("CmdPicRemain", 0), QStringLiteral("OFF(&F)"), true);
    CmdPicRemain[1] = addChoice(MCPicRemain, member("CmdPicRemain", 1), QStringLiteral("ON(&N)"), false);
    MCPicRemain->addSeparator();
    CmdPicRemainExplain =
        addCommand(MCPicRemain, QStringLiteral("CmdPicRemainExplain"), QStringLiteral("機能説明(&H)..."));
    MDraw->addSeparator();
    CmdPenColor = addCommand(MDraw, QStringLiteral("CmdPenColor"), QStringLiteral("ペンの色(&C)..."),
                             QKeySequence(Qt::CTRL | Qt::Key_C));
    QMenu *MCPenSetting = MDraw->addMenu(QStringLiteral("ペンの太さ/消しゴム(&P)"));
    for (int i = 0; i < 9; ++i)
        PenSize[i] = addChoice(MCPenSetting, member("PenSize", i), QStringLiteral("太さ %1").arg(i + 1), i == 0,
                               QKeySequence(Qt::Key_F1 + i));
    MCPenSetting->addSeparator();
    EraserSize[0] = addChoice(MCPenSetting, member("EraserSize", 0), QStringLiteral("消しゴム 小"), false,
                              QKeySequence(Qt::Key_F11));
    EraserSize[1] = addChoice(MCPenSetting, member("EraserSize", 1), QStringLiteral("消しゴム 大"), false,
                              QKeySequence(Qt::Key_F12));
    MDraw->addSeparator();
    CmdUndo = addCommand(MDraw, QStringLiteral("CmdUndo"), QStringLiteral("元に戻す(&U)"), QKeySequence::Undo);
    CmdRedo = addCommand(MDraw, QStringLiteral("CmdRedo"), QStringLiteral("やり直し(&Y)"),
                         QKeySequence(Qt::CTRL | Qt::Key_Y));
    CmdRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});

    QMenu *MTool = bar->addMenu(QStringLiteral("ツール(&T)"));
    CmdToolBarVisible =
        addCommand(MTool, QStringLiteral("CmdToolBarVisible"), QStringLiteral("ツールバーの非表示(&T)"));
    MTool->addSeparator();
    QMenu *MCToolPicRatio = MTool->addMenu(QStringLiteral("比率調整(&R)"));
    const QString ratios[5] = {QStringLiteral("1/4倍(&W)"), QStringLiteral("1/2倍(&Q)"), QStringLiteral("等倍(&1)"),
                               QStringLiteral("2倍(&2)"), QStringLiteral("4倍(&4)")};
    for (int i = 0; i < 5; ++i)
        CmdPicRatio[i] = addCommand(MCToolPicRatio, member("CmdPicRatio", i), ratios[i]);
    QMenu *MCToolPicFilter = MTool->addMenu(QStringLiteral("フィルター(&F)"));
    CmdPicFilter[0] = addCommand(MCToolPicFilter, member("CmdPicFilter", 0), QStringLiteral("モノクロ(&M)"));
    CmdPicFilter[1] = addCommand(MCToolPicFilter, member("CmdPicFilter", 1), QStringLiteral("セピア(&S)"));

    QMenu *MHelp = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    CmdHelpRef = addCommand(MHelp, QStringLiteral("CmdHelpRef"), QStringLiteral("ヘルプを開く(&H)..."));
    MHelp->addSeparator();
    CmdOpenHP = addCommand(MHelp, QStringLiteral("CmdOpenHP"), QStringLiteral("ホームページを開く(&W)..."));
    CmdSoftwareVote =
        addCommand(MHelp, QStringLiteral("CmdSoftwareVote"), QStringLiteral("ソフトを評価 [ZELVO] (&V)..."));
    MHelp->addSeparator();
    CmdShowVersionInfo =
        addCommand(MHelp, QStringLiteral("CmdShowVersionInfo"), QStringLiteral("バージョン情報(&A)..."));

    connect(CmdPicLoad, &QAction::triggered, this, &Main::CmdPicLoad_Click);
    connect(CmdPicPaste, &QAction::triggered, this, &Main::CmdPicPaste_Click);
    connect(CmdPicSave, &QAction::triggered, this, &Main::CmdPicSave_Click);
    connect(CmdScreenCapture, &QAction::triggered, this, &Main::CmdScreenCapture_Click);
    connect(CmdDrawOnScreen, &QAction::triggered, this, &Main::CmdDrawOnScreen_Click);
    connect(CmdScreenCopy, &QAction::triggered, this, &Main::CmdScreenCopy_Click);
    connect(CmdExit, &QAction::triggered, this, &Main::CmdExit_Click);
    connect(CmdPicClear, &QAction::triggered, this, &Main::CmdPicClear_Click);
    for (int i = 0; i < 2; ++i)
        connect(CmdPicRemain[i], &QAction::triggered, this, [this, i] { CmdPicRemain_Click(i); });
    connect(CmdPicRemainExplain, &QAction::triggered, this, &Main::CmdPicRemainExplain_Click);
    connect(CmdPenColor, &QAction::triggered, this, &Main::CmdPenColor_Click);
    connect(CmdUndo, &QAction::triggered, this, &Main::CmdUndo_Click);
    connect(CmdRedo, &QAction::triggered, this, &Main::CmdRedo_Click);
    for (int i = 0; i < 9; ++i)
        connect(PenSize[i], &QAction::triggered, this, [this, i] { PenSize_Click(i); });
    for (int i = 0; i < 2; ++i)
        connect(EraserSize[i], &QAction::triggered, this, [this, i] { EraserSize_Click(i); });
    connect(CmdToolBarVisible, &QAction::triggered, this, &Main::CmdToolBarVisible_Click);
    for (int i = 0; i < 5; ++i)
        connect(CmdPicRatio[i], &QAction::triggered, this, [this, i] { CmdPicRatio_Click(i); });
    for (int i = 0; i < 2; ++i)
        connect(CmdPicFilter[i], &QAction::triggered, this, [this, i] { CmdPicFilter_Click(i); });
    connect(CmdHelpRef, &QAction::triggered, this, &Main::CmdHelpRef_Click);
    connect(CmdOpenHP, &QAction::triggered, this, &Main::CmdOpenHP_Click);
    connect(CmdSoftwareVote, &QAction::triggered, this, &Main::CmdSoftwareVote_Click);
    connect(CmdShowVersionInfo, &QAction::triggered, this, &Main::CmdShowVersionInfo_Click);
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
