// Strokes, tool settings, clearing and screen hold.
#include "app/Main.h"

#include "canvas/Strokes.h"
#include "forms/App.h"
#include "forms/PictureBox.h"

#include <QAction>

void Main::PicBox_MouseDown(int, int, float X, float Y)
{
    // A stroke is one step, from button-down to button-up, whatever tool it ends
    // with.
    beginStep(canvas::History::Extent::Touched);
    canvas::strokeDown(m_tools, m_surface, X, Y);
}

void Main::PicBox_MouseMove(int, int, float X, float Y)
{
    if (m_tools.drawing() == true && !m_history.recording())
        beginStep(canvas::History::Extent::Touched); // a command ended the step mid-stroke
    canvas::strokeMove(m_tools, m_surface, X, Y);
}

void Main::PicBox_MouseUp(int, int, float, float)
{
    canvas::strokeUp(m_tools);
    endStep();
}

void Main::endStroke()
{
    if (m_tools.drawing() == true)
        PicBox_MouseUp(0, 0, 0, 0);
}

canvas::DocumentState Main::documentState() const
{
    return {m_surface.Picture(), m_tools.pictureLoaded(), CDialog.FileName, m_fileScale};
}

void Main::beginStep(canvas::History::Extent extent, const QString &previousFile, qreal previousScale)
{
    canvas::DocumentState before = documentState();
    before.file = previousFile;
    before.fileScale = previousScale;
    m_history.begin(before, extent);
}

void Main::endStep()
{
    m_history.end(documentState());
    showHistory();
    journalChanged();
}

void Main::CmdUndo_Click()
{
    restoreDocument(m_history.undo(documentState()));
}

void Main::CmdRedo_Click()
{
    restoreDocument(m_history.redo(documentState()));
}

void Main::restoreDocument(const std::optional<canvas::DocumentState> &state)
{
    if (state) {
        m_surface.adoptPicture(state->picture);
        m_tools.setPictureLoaded(state->pictureLoaded);
        CDialog.FileName = state->file;
        m_fileScale = state->fileScale;
    }
    showHistory();
    journalChanged();
}

void Main::showHistory()
{
    CmdUndo->setEnabled(m_history.canUndo());
    CmdRedo->setEnabled(m_history.canRedo());
    forgetUnusedPictureFiles();
}

void Main::PenSize_Click(int Index)
{
    m_surface.setDrawWidth(Index + 1);
    m_tools.selectPen(Index);
    showToolSelection();
}

void Main::EraserSize_Click(int Index)
{
    // The eraser keeps the pen's line width: a wide pen makes it wider.
    m_tools.selectEraser(Index);
    showToolSelection();
}

void Main::showToolSelection()
{
    const std::optional<int> pen = m_tools.checkedPenSize();
    const std::optional<int> eraser = m_tools.checkedEraserSize();
    if (eraser) {
        PicBox->setMouseIcon(EraserLoader[size_t(*eraser)]);
        PicBox->setMousePointer(forms::PictureBox::CustomPointer);
    } else {
        PicBox->setMousePointer(forms::PictureBox::DefaultPointer);
    }
    for (int i = 0; i < int(PenSize.size()); ++i)
        PenSize[size_t(i)]->setChecked(pen == i);
    for (int i = 0; i < int(EraserSize.size()); ++i)
        EraserSize[size_t(i)]->setChecked(eraser == i);

    SetTBarBPressed(0, bool(pen));
    SetTBarBPressed(1, bool(eraser));
    for (int b = 3; b <= 13; ++b)
        SetTBarBPressed(b, false);
    SetTBarBPressed(pen ? *pen + 3 : *eraser + 12, true);
}

void Main::CmdPenColor_Click()
{
    // A cancel changes nothing: the dialog's Color is the last colour accepted in
    // it, which is no longer the pen's once a colour key of the drawing mode chose
    // another.
    if (CDialog.ShowColor())
        m_tools.setPenColor(CDialog.Color);
    showPenColor();
}

void Main::ColView_Click()
{
    CmdPenColor_Click();
}

void Main::showPenColor()
{
    ColView->setBackColor(m_tools.penColor());
}

void Main::CmdPicClear_Click()
{
    beginStep(canvas::History::Extent::Whole);
    canvas::clearSurface(m_surface, m_tools.screenHold());
    m_tools.setPictureLoaded(false);
    m_pictures.forget(); // no picture is loaded now: nothing to keep in memory
    endStep();
}

void Main::CmdPicRemain_Click(int Index)
{
    if (Index != 0 && !m_surface.layersAvailable()) {
        // No memory for a persistent image of this size: say so rather than claim
        // to keep what cannot be kept.
        m_platform.MsgBox(QStringLiteral("画面が大きすぎるため、画面保持を使用できません。"), forms::vbCritical,
                          forms::AppTitle());
        Index = 0;
    }
    m_tools.setScreenHold(Index != 0);
    m_surface.setAutoRedraw(m_tools.screenHold());
    showScreenHold();
}

void Main::showScreenHold()
{
    const bool on = m_tools.screenHold();
    CmdPicRemain[0]->setChecked(!on);
    CmdPicRemain[1]->setChecked(on);
    SetTBarBPressed(2, on);
}

void Main::CmdPicRemainExplain_Click()
{
    const QString prompt =
        QStringLiteral("Sketrinより前面に他のアプリケーションを重ねると、それまでに書いた部分は消えますが") +
        QStringLiteral("\r\n") + QStringLiteral("この機能は、それをメモリに保持しておき消えないようにする機能です。") +
        QStringLiteral("\r\n") +
        QStringLiteral("しかし多くのマシンパワーを必要とし、さらにバッファは限られているので、領域が大きすぎると") +
        QStringLiteral("\r\n") + QStringLiteral("使用できません。");
    m_platform.MsgBox(prompt, forms::vbInformation, QStringLiteral("機能説明"));
}
