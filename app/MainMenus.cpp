// The menu bar, built from a table as the toolbar is.
#include "app/Main.h"

#include <QAction>
#include <QMenuBar>

// One row of the menu table: a menu opens (and the rows after it go into it until
// its End), or an item goes into the menu open now.
struct MenuRow
{
    enum Kind { Menu, End, Command, Choice, Separator } kind;
    QString name{}; // the action's object name; arrays are named like controls: PenSize3
    QString caption{};
    QList<QKeySequence> keys{};
    QAction **into = nullptr;
    std::function<void()> run{};
    bool ticked = false;
};

namespace {

QString member(const char *array, int index)
{
    return QString::fromLatin1(array) + QString::number(index);
}

QAction *addItem(QMenu *menu, const MenuRow &row)
{
    QAction *action = menu->addAction(row.caption);
    action->setObjectName(row.name);
    if (!row.keys.isEmpty()) {
        action->setShortcuts(row.keys);
        // A shortcut fires from anywhere in the program, also while a menu is
        // open; a modal dialog still blocks it.
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
    if (row.kind == MenuRow::Choice) {
        action->setCheckable(true);
        action->setChecked(row.ticked);
    }
    return action;
}

using R = MenuRow;

R command(const char *name, const QString &caption, QAction **into, std::function<void()> run,
          QList<QKeySequence> keys = {})
{
    return R{R::Command, QString::fromLatin1(name), caption, std::move(keys), into, std::move(run)};
}

R choice(const QString &name, const QString &caption, QAction **into, std::function<void()> run, bool ticked,
         QList<QKeySequence> keys = {})
{
    return R{R::Choice, name, caption, std::move(keys), into, std::move(run), ticked};
}

R element(const QString &name, const QString &caption, QAction **into, std::function<void()> run)
{
    return R{R::Command, name, caption, {}, into, std::move(run)};
}

R menu(const QString &caption)
{
    return R{R::Menu, {}, caption};
}

const R end{R::End}, separator{R::Separator};

QKeySequence ctrl(int key)
{
    return QKeySequence(Qt::CTRL | key);
}

QKeySequence ctrlShift(int key)
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | key);
}

} // namespace

void Main::createMenus()
{
    std::vector<MenuRow> rows;
    fileMenu(rows);
    drawMenu(rows);
    toolMenu(rows);
    helpMenu(rows);
    buildMenus(rows);
}

void Main::fileMenu(std::vector<MenuRow> &rows)
{
    rows.insert(rows.end(), {
                                // The File menu's caption has no access key: "(F)" is plain text.
                                menu(QStringLiteral("ファイル(F)")),
                                command("CmdPicLoad", QStringLiteral("画像読み込み(&L)..."), &CmdPicLoad,
                                        [this] { CmdPicLoad_Click(); }, {ctrl(Qt::Key_O)}),
                                command("CmdPicPaste", QStringLiteral("貼り付け(&V)"), &CmdPicPaste,
                                        [this] { CmdPicPaste_Click(); }, {ctrl(Qt::Key_V)}),
                                command("CmdScreenCapture", QStringLiteral("画面取り込み(&G)"), &CmdScreenCapture,
                                        [this] { CmdScreenCapture_Click(); }, {ctrlShift(Qt::Key_G)}),
                                command("CmdDrawOnScreen", QStringLiteral("画面に描く(&D)"), &CmdDrawOnScreen,
                                        [this] { CmdDrawOnScreen_Click(); }, {ctrlShift(Qt::Key_D)}),
                                command("CmdDrawLive", QStringLiteral("画面に描く (ライブ)(&L)"), &CmdDrawLive,
                                        [this] { CmdDrawLive_Click(); }, {ctrlShift(Qt::Key_L)}),
                                command("CmdPicSave", QStringLiteral("名前を付けて保存(&S)..."), &CmdPicSave,
                                        [this] { CmdPicSave_Click(); }, {ctrl(Qt::Key_S)}),
                                command("CmdScreenCopy", QStringLiteral("画面をコピー(&C)"), &CmdScreenCopy,
                                        [this] { CmdScreenCopy_Click(); }, {ctrlShift(Qt::Key_C)}),
                                separator,
                                command("CmdExit", QStringLiteral("終了(&X)"), &CmdExit, [this] { CmdExit_Click(); }),
                                end,
                            });
}

void Main::drawMenu(std::vector<MenuRow> &rows)
{
    rows.insert(rows.end(), {
                                menu(QStringLiteral("描画(&D)")),
                                command("CmdPicClear", QStringLiteral("画面クリア(&D)"), &CmdPicClear,
                                        [this] { CmdPicClear_Click(); }, {QKeySequence(Qt::Key_Delete)}),
                                menu(QStringLiteral("画面保持(&R)")),
                                choice(
                                    member("CmdPicRemain", 0), QStringLiteral("OFF(&F)"), &CmdPicRemain[0],
                                    [this] { CmdPicRemain_Click(0); }, true),
                                choice(
                                    member("CmdPicRemain", 1), QStringLiteral("ON(&N)"), &CmdPicRemain[1],
                                    [this] { CmdPicRemain_Click(1); }, false),
                                separator,
                                command("CmdPicRemainExplain", QStringLiteral("機能説明(&H)..."), &CmdPicRemainExplain,
                                        [this] { CmdPicRemainExplain_Click(); }),
                                end,
                                separator,
                                command("CmdPenColor", QStringLiteral("ペンの色(&C)..."), &CmdPenColor,
                                        [this] { CmdPenColor_Click(); }, {ctrl(Qt::Key_C)}),
                                menu(QStringLiteral("ペンの太さ/消しゴム(&P)")),
                            });
    for (int i = 0; i < 9; ++i)
        rows.push_back(choice(member("PenSize", i), QStringLiteral("太さ %1").arg(i + 1), &PenSize[size_t(i)],
                              [this, i] { PenSize_Click(i); }, i == 0, {QKeySequence(Qt::Key_F1 + i)}));
    rows.push_back(separator);
    for (int i = 0; i < 2; ++i)
        rows.push_back(choice(member("EraserSize", i),
                              i == 0 ? QStringLiteral("消しゴム 小") : QStringLiteral("消しゴム 大"),
                              &EraserSize[size_t(i)], [this, i] { EraserSize_Click(i); }, false,
                              {QKeySequence(i == 0 ? Qt::Key_F11 : Qt::Key_F12)}));
    rows.insert(rows.end(), {
                                end,
                                separator,
                                command("CmdUndo", QStringLiteral("元に戻す(&U)"), &CmdUndo,
                                        [this] { CmdUndo_Click(); }, {QKeySequence(QKeySequence::Undo)}),
                                command("CmdRedo", QStringLiteral("やり直し(&Y)"), &CmdRedo,
                                        [this] { CmdRedo_Click(); }, {ctrl(Qt::Key_Y), ctrlShift(Qt::Key_Z)}),
                                end,
                            });
}

void Main::toolMenu(std::vector<MenuRow> &rows)
{
    rows.insert(rows.end(), {
                                menu(QStringLiteral("ツール(&T)")),
                                command("CmdToolBarVisible", QStringLiteral("ツールバーの非表示(&T)"),
                                        &CmdToolBarVisible, [this] { CmdToolBarVisible_Click(); }),
                                separator,
                                menu(QStringLiteral("比率調整(&R)")),
                            });
    const QString ratios[5] = {QStringLiteral("1/4倍(&W)"), QStringLiteral("1/2倍(&Q)"), QStringLiteral("等倍(&1)"),
                               QStringLiteral("2倍(&2)"), QStringLiteral("4倍(&4)")};
    for (int i = 0; i < 5; ++i)
        rows.push_back(
            element(member("CmdPicRatio", i), ratios[i], &CmdPicRatio[size_t(i)], [this, i] { CmdPicRatio_Click(i); }));
    rows.insert(rows.end(), {
                                end,
                                menu(QStringLiteral("フィルター(&F)")),
                                element(member("CmdPicFilter", 0), QStringLiteral("モノクロ(&M)"), &CmdPicFilter[0],
                                        [this] { CmdPicFilter_Click(0); }),
                                element(member("CmdPicFilter", 1), QStringLiteral("セピア(&S)"), &CmdPicFilter[1],
                                        [this] { CmdPicFilter_Click(1); }),
                                end,
                                end,
                            });
}

void Main::helpMenu(std::vector<MenuRow> &rows)
{
    rows.insert(rows.end(), {
                                menu(QStringLiteral("ヘルプ(&H)")),
                                command("CmdHelpRef", QStringLiteral("ヘルプを開く(&H)..."), &CmdHelpRef,
                                        [this] { CmdHelpRef_Click(); }),
                                command("CmdModeKeys", QStringLiteral("描画モードのキー(&K)"), &CmdModeKeys,
                                        [this] { CmdModeKeys_Click(); }),
                                separator,
                                command("CmdOpenHP", QStringLiteral("ホームページを開く(&W)..."), &CmdOpenHP,
                                        [this] { CmdOpenHP_Click(); }),
                                command("CmdSoftwareVote", QStringLiteral("ソフトを評価 [ZELVO] (&V)..."),
                                        &CmdSoftwareVote, [this] { CmdSoftwareVote_Click(); }),
                                separator,
                                command("CmdShowVersionInfo", QStringLiteral("バージョン情報(&A)..."),
                                        &CmdShowVersionInfo, [this] { CmdShowVersionInfo_Click(); }),
                                end,
                            });
}

void Main::buildMenus(const std::vector<MenuRow> &rows)
{
    std::vector<QMenu *> open;
    for (const MenuRow &row : rows) {
        switch (row.kind) {
        case MenuRow::Menu:
            open.push_back(open.empty() ? menuBar()->addMenu(row.caption) : open.back()->addMenu(row.caption));
            break;
        case MenuRow::End:
            open.pop_back();
            break;
        case MenuRow::Separator:
            open.back()->addSeparator();
            break;
        case MenuRow::Command:
        case MenuRow::Choice:
            *row.into = addItem(open.back(), row);
            connect(*row.into, &QAction::triggered, this, row.run);
            break;
        }
    }
}
