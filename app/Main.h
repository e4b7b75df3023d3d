#pragma once

#include "forms/Platform.h"
#include "imaging/PictureFile.h"

#include <QMainWindow>
#include <QPixmap>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

class QAction;
class QLabel;
class QMenu;

namespace forms {
class FormSurface;
class LineControl;
class PictureBox;
} // namespace forms

// The main window. It owns the program's whole state and its event handlers. The
// handlers are public so that the toolbar, the start-up selection and the tests can
// call them directly, as the menu does.
//
// The handlers live next to the subsystem they belong to: app/ (start-up, layout,
// exit, menus), canvas/ (strokes, tools, clearing, screen hold), imaging/ (pictures
// and filters), toolbar/ (buttons, looks, show/hide), info/ (help and the two
// information windows).
class Main : public QMainWindow
{
    Q_OBJECT

public:
    explicit Main(forms::Platform &platform, QWidget *parent = nullptr);
    ~Main() override;

    // --- Tool state and flags ---------------------------------------------------
    bool EraserMode = false;
    QString PenColor;
    std::int16_t PenSizeIndex = 0;
    std::int16_t EraserSizeIndex = 0;
    bool PicLoaded = false;
    bool ToolBarShown = false;
    // Empty until the first button-down; True while a stroke is in progress.
    std::optional<bool> Drawing;

    // --- Controls ---------------------------------------------------------------
    forms::FormSurface *Client = nullptr;
    forms::PictureBox *PicBox = nullptr;
    forms::PictureBox *ColView = nullptr;
    forms::PictureBox *PreLoad = nullptr;
    std::array<QPixmap, 2> EraserLoader;
    forms::CommonDialog CDialog;
    std::array<forms::PictureBox *, 10> TBar{};
    std::array<forms::PictureBox *, 14> TBarB{};
    std::array<QLabel *, 6> ToolBarTip{};
    std::array<forms::LineControl *, 7> Sepa{};
    std::array<forms::LineControl *, 2> TopLine{};

    // --- Menus ------------------------------------------------------------------
    QMenu *MFile = nullptr;
    QMenu *MDraw = nullptr;
    QMenu *MCPicRemain = nullptr;
    QMenu *MCPenSetting = nullptr;
    QMenu *MTool = nullptr;
    QMenu *MCToolPicRatio = nullptr;
    QMenu *MCToolPicFilter = nullptr;
    QMenu *MHelp = nullptr;
    QAction *CmdPicLoad = nullptr;
    QAction *CmdExit = nullptr;
    QAction *CmdPicClear = nullptr;
    std::array<QAction *, 2> CmdPicRemain{};
    QAction *CmdPicRemainExplain = nullptr;
    QAction *CmdPenColor = nullptr;
    std::array<QAction *, 9> PenSize{};
    std::array<QAction *, 2> EraserSize{};
    QAction *CmdToolBarVisible = nullptr;
    std::array<QAction *, 5> CmdPicRatio{};
    std::array<QAction *, 2> CmdPicFilter{};
    QAction *CmdHelpRef = nullptr;
    QAction *CmdOpenHP = nullptr;
    QAction *CmdSoftwareVote = nullptr;
    QAction *CmdShowVersionInfo = nullptr;

    // --- app/: start-up, layout, exit -------------------------------------------
    void Form_Load();
    void Form_Resize();
    void CmdExit_Click();

    // --- canvas/: strokes -------------------------------------------------------
    void PicBox_MouseDown(int Button, int Shift, float X, float Y);
    void PicBox_MouseMove(int Button, int Shift, float X, float Y);
    void PicBox_MouseUp(int Button, int Shift, float X, float Y);

    // --- canvas/: tool settings -------------------------------------------------
    void PenSize_Click(int Index);
    void EraserSize_Click(int Index);
    void CmdPenColor_Click();
    void ColView_Click();

    // --- canvas/: clearing and screen hold --------------------------------------
    void CmdPicClear_Click();
    void CmdPicRemain_Click(int Index);
    void CmdPicRemainExplain_Click();

    // --- imaging/: pictures and filters -----------------------------------------
    void CmdPicLoad_Click();
    void CmdPicRatio_Click(int Index);
    void CmdPicFilter_Click(int Index);

    // --- toolbar/ ---------------------------------------------------------------
    void SetTBarBPressed(int Index, bool Pressed);
    void TBar_Click(int Index);
    void TBar_MouseDown(int Index, int Button, int Shift, float X, float Y);
    void TBar_MouseMove(int Index, int Button, int Shift, float X, float Y);
    void TBar_MouseUp(int Index, int Button, int Shift, float X, float Y);
    void TBarB_Click(int Index);
    void TBarB_MouseMove(int Index, int Button, int Shift, float X, float Y);
    void Form_MouseMove(int Button, int Shift, float X, float Y);
    void SetToolTips();
    void CmdToolBarVisible_Click();

    // --- info/ ------------------------------------------------------------------
    void CmdHelpRef_Click();
    void CmdOpenHP_Click();
    void CmdSoftwareVote_Click();
    void CmdShowVersionInfo_Click();

    forms::Platform &platform() { return m_platform; }

private:
    void createControls();
    void createToolbar();
    void createMenus();
    void stampEraser(float X, float Y);

    forms::Platform &m_platform;
    imaging::PictureReader m_pictures;
};
