#pragma once

#include "canvas/History.h"
#include "canvas/Surface.h"
#include "canvas/ToolState.h"
#include "forms/Platform.h"
#include "imaging/PictureFile.h"

#include <QMainWindow>
#include <QPixmap>
#include <array>
#include <cstdint>
#include <future>
#include <memory>
#include <vector>

class MainJournal;
class QAction;
class QDragEnterEvent;
class QDropEvent;
class QMenu;
class QScreen;

namespace forms {
class FormSurface;
class ScratchFolder;
class GlobalShortcut;
class PictureBox;
class StepAside;
} // namespace forms

namespace present {
class DrawingWindow;
}

struct MenuRow;
class DrawingMode;

namespace toolbar {
class Toolbar;
struct ButtonRow;
} // namespace toolbar

// The main window. It wires the models (the drawing, the tool state, the picture
// reader) to the controls and menus. Each handler reads its event, calls the
// models and updates the views; the toolbar, the start-up selection and the tests
// call them directly, as the menus do.
class Main : public QMainWindow
{
    Q_OBJECT

public:
    explicit Main(forms::Platform &platform, QWidget *parent = nullptr);
    ~Main() override;

    // The models, for what shows them elsewhere (and for tests).
    canvas::Surface &surface() { return m_surface; }
    const canvas::ToolState &tools() const { return m_tools; }
    const forms::CommonDialog &commonDialog() const { return CDialog; }
    canvas::History &history() { return m_history; }

    // --- Start-up, layout, exit -------------------------------------------------
    void Form_Load();
    void Form_Resize();
    void CmdExit_Click();

    // --- Strokes ----------------------------------------------------------------
    void PicBox_MouseDown(int Button, int Shift, float X, float Y);
    void PicBox_MouseMove(int Button, int Shift, float X, float Y);
    void PicBox_MouseUp(int Button, int Shift, float X, float Y);

    // --- Tool settings ----------------------------------------------------------
    void PenSize_Click(int Index);
    void EraserSize_Click(int Index);
    void CmdPenColor_Click();
    void ColView_Click();

    // --- Clearing and screen hold -----------------------------------------------
    void CmdPicClear_Click();
    void CmdPicRemain_Click(int Index);
    void CmdPicRemainExplain_Click();
    void CmdUndo_Click();
    void CmdRedo_Click();

    // --- Pictures and filters ---------------------------------------------------
    void CmdPicLoad_Click();
    void CmdPicRatio_Click(int Index);
    void CmdPicFilter_Click(int Index);
    // A picture file loaded as the load command loads the file it is given: from
    // the command line, a drop, or a paste.
    void LoadPictureFile(const QString &path);
    void CmdPicPaste_Click();
    void CmdScreenCapture_Click();
    // Draw on the screen: enters the drawing mode, or leaves it when it is on.
    void CmdDrawOnScreen_Click();
    void CmdDrawLive_Click();
    // The drawing mode (DrawingMode.h), and the main window's ways into it.
    DrawingMode &drawingMode() { return *m_mode; }
    void enterDrawingMode();
    void leaveDrawingMode();
    present::DrawingWindow *drawingWindow() const;
    bool grabDrawingKey(QString &why);
    void CmdPicSave_Click();
    void CmdScreenCopy_Click();

    // --- Toolbar ----------------------------------------------------------------
    void SetTBarBPressed(int Index, bool Pressed);
    void TBar_Click(int Index);
    void TBarB_Click(int Index);
    void Form_MouseMove(int Button, int Shift, float X, float Y);
    void SetToolTips();
    void CmdToolBarVisible_Click();

    // --- Help and information ---------------------------------------------------
    void CmdHelpRef_Click();
    void CmdModeKeys_Click();
    void CmdOpenHP_Click();
    void CmdSoftwareVote_Click();
    void CmdShowVersionInfo_Click();

    // --- Journal (MainJournal.cpp) ------------------------------------------------
    // What the window shows is kept in a journal in `folder` from now on, and a
    // journal that an earlier run left behind (it crashed, or was killed) is
    // offered back first. An exit the user chose removes it.
    void startJournal(const QString &folder);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createControls();
    void createMenus();
    // Each adds its menu's rows to the table.
    void fileMenu(std::vector<MenuRow> &rows);
    void drawMenu(std::vector<MenuRow> &rows);
    void toolMenu(std::vector<MenuRow> &rows);
    void helpMenu(std::vector<MenuRow> &rows);
    void createDrawingMode();
    void buildMenus(const std::vector<MenuRow> &rows);
    std::vector<toolbar::ButtonRow> toolbarTable();
    // One view update per kind of change of the tool state.
    void showToolSelection();
    void showScreenHold();
    void showPenColor();
    void showToolbar();
    // `what` names the file, or what the picture came from when it has none.
    void reportUnreadable(const QString &what);
    bool requirePicture(const QString &message);
    void loadPicture(const QString &path, const QString &previousFile);
    // Steps of the history: what the document is now, and the step's bounds.
    canvas::DocumentState documentState() const;
    void beginStep(canvas::History::Extent extent, const QString &previousFile, qreal previousScale);
    void beginStep(canvas::History::Extent extent) { beginStep(extent, CDialog.FileName, m_fileScale); }
    void endStep();
    void showHistory();
    void restoreDocument(const std::optional<canvas::DocumentState> &state);
    void finishPasteWrite();
    // Removes the files of pictures without a file that no step and no scale
    // command needs any more.
    void forgetUnusedPictureFiles();
    // The window steps off the screen for it to be taken, and comes back as it
    // was: raised and active, or, with `activate` false, where it was in the
    // stacking and without the focus.
    void stepAside(forms::StepAside &aside);
    void comeBack(forms::StepAside &aside, bool activate = true);
    // Whether the window is on the screen, on `monitor`, to be taken with it.
    bool showsOn(const QScreen *monitor) const;
    void savePicture(const QImage &image);
    // The tool state changed in the drawing mode: the menus, toolbar and surface follow.
    void showTools();
    // A picture that has no file (pasted, captured), loaded through a file of its
    // own as if the load command had chosen that file. `source` names it in a
    // message.
    void loadPictureWithoutFile(const QImage &picture, const QString &source);
    // Ends a stroke still in progress: the window is about to step aside, and
    // the button will come up where no mouse-up reaches the surface.
    void endStroke();

    forms::Platform &m_platform;
    forms::CommonDialog CDialog;
    canvas::Surface m_surface;
    canvas::ToolState m_tools;
    canvas::History m_history{m_surface};
    imaging::PictureReader m_pictures;
    // The remembered file's pixels to a logical pixel at 100%: 1 for a file the
    // user chose, the screen's scale for a captured screen, so that 100% shows
    // the picture as it first showed.
    qreal m_fileScale = 1;
    std::unique_ptr<forms::ScratchFolder> m_pasteDir; // pictures without a file of their own
    int m_pastes = 0;
    std::future<QString> m_pasteWrite; // the last pasted picture's file, being written
    QString m_pasteWritePath;
    // After the tool state, which the mode's window listens to until it goes.
    std::unique_ptr<DrawingMode> m_mode;
    friend class DrawingMode;
    friend class LiveMode;

    // Controls
    forms::FormSurface *Client = nullptr;
    forms::PictureBox *PicBox = nullptr;
    forms::PictureBox *ColView = nullptr;
    std::array<QPixmap, 2> EraserLoader;
    toolbar::Toolbar *TBar = nullptr; // both button arrays, TBar and TBarB

    // Menus
    QAction *CmdPicLoad = nullptr;
    QAction *CmdPicPaste = nullptr;
    QAction *CmdScreenCapture = nullptr;
    QAction *CmdDrawOnScreen = nullptr;
    QAction *CmdDrawLive = nullptr;
    QAction *CmdPicSave = nullptr;
    QAction *CmdScreenCopy = nullptr;
    QAction *CmdExit = nullptr;
    QAction *CmdPicClear = nullptr;
    std::array<QAction *, 2> CmdPicRemain{};
    QAction *CmdPicRemainExplain = nullptr;
    QAction *CmdUndo = nullptr;
    QAction *CmdRedo = nullptr;
    QAction *CmdPenColor = nullptr;
    std::array<QAction *, 9> PenSize{};
    std::array<QAction *, 2> EraserSize{};
    QAction *CmdToolBarVisible = nullptr;
    std::array<QAction *, 5> CmdPicRatio{};
    std::array<QAction *, 2> CmdPicFilter{};
    QAction *CmdHelpRef = nullptr;
    QAction *CmdModeKeys = nullptr;
    QAction *CmdOpenHP = nullptr;
    QAction *CmdSoftwareVote = nullptr;
    QAction *CmdShowVersionInfo = nullptr;

    // The journal (MainJournal.cpp). Told when what is shown may have changed: a
    // step ended, undo or redo, the drawing mode came up.
    void journalChanged();
    friend class MainJournal;
    MainJournal *m_journal = nullptr; // a child object, while there is a journal
};
