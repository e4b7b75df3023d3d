#include "present/Keys.h"

#include "forms/ColorWord.h"

#include <iterator>

namespace present {

namespace {

std::vector<ModeKey> makeTable()
{
    using C = Command;
    const Qt::KeyboardModifiers none, ctrl(Qt::ControlModifier), ctrlShift(Qt::ControlModifier | Qt::ShiftModifier),
        alt(Qt::AltModifier);
    std::vector<ModeKey> keys;
    for (int i = 0; i < 9; ++i)
        keys.push_back({Qt::Key_F1 + i, none, C::Pen, i, true, false, QStringLiteral("ペン 太さ%1").arg(i + 1)});
    keys.push_back({Qt::Key_F11, none, C::Eraser, 0, true, false, QStringLiteral("消しゴム 小")});
    keys.push_back({Qt::Key_F12, none, C::Eraser, 1, true, false, QStringLiteral("消しゴム 大")});
    const struct
    {
        int key;
        std::int32_t color;
        const char16_t *name;
    } colors[] = {
        {Qt::Key_R, forms::colorWord(255, 0, 0), u"赤"},   {Qt::Key_G, forms::colorWord(0, 170, 0), u"緑"},
        {Qt::Key_B, forms::colorWord(0, 0, 255), u"青"},   {Qt::Key_Y, forms::colorWord(255, 220, 0), u"黄"},
        {Qt::Key_O, forms::colorWord(255, 140, 0), u"橙"}, {Qt::Key_P, forms::colorWord(255, 105, 180), u"桃"},
    };
    for (const auto &c : colors)
        keys.push_back(
            {c.key, none, C::Color, c.color, false, false, QStringLiteral("ペンの色: ") + QString::fromUtf16(c.name)});
    const ModeKey more[] = {
        {Qt::Key_C, ctrl, C::ChooseColor, 0, false, false, QStringLiteral("ペンの色を選ぶ")},
        {Qt::Key_H, none, C::Highlighter, 0, false, false, QStringLiteral("蛍光ペン / ペン")},
        {Qt::Key_T, none, C::Text, 0, false, false, QStringLiteral("文字を書く")},
        {Qt::Key_W, none, C::WhiteBoard, 0, false, false, QStringLiteral("白板 / 画面")},
        {Qt::Key_K, none, C::BlackBoard, 0, false, false, QStringLiteral("黒板 / 画面")},
        {Qt::Key_Delete, none, C::Clear, 0, true, false, QStringLiteral("すべて消す")},
        {Qt::Key_Z, ctrl, C::Undo, 0, false, true, QStringLiteral("元に戻す")},
        {Qt::Key_Y, ctrl, C::Redo, 0, false, true, QStringLiteral("やり直し")},
        {Qt::Key_Z, ctrlShift, C::Redo, 0, false, true, QStringLiteral("やり直し")},
        {Qt::Key_Plus, none, C::ZoomIn, 0, true, true, QStringLiteral("拡大")},
        {Qt::Key_Equal, none, C::ZoomIn, 0, true, true, QStringLiteral("拡大")},
        {Qt::Key_Minus, none, C::ZoomOut, 0, true, true, QStringLiteral("縮小")},
        {Qt::Key_0, none, C::ZoomReset, 0, true, false, QStringLiteral("等倍に戻す")},
        {Qt::Key_S, ctrl, C::Save, 0, false, false, QStringLiteral("名前を付けて保存")},
        {Qt::Key_C, ctrlShift, C::Copy, 0, false, false, QStringLiteral("画面をコピー")},
        {Qt::Key_L, none, C::Laser, 0, false, false, QStringLiteral("レーザーペン")},
        {Qt::Key_S, none, C::Spotlight, 0, false, false, QStringLiteral("スポットライト")},
        {Qt::Key_BracketLeft, none, C::SpotlightSize, -1, false, true, QStringLiteral("スポットライトを小さく")},
        {Qt::Key_BracketRight, none, C::SpotlightSize, 1, false, true, QStringLiteral("スポットライトを大きく")},
        {Qt::Key_N, none, C::Steps, 0, false, false, QStringLiteral("番号付きの手順")},
        {Qt::Key_M, none, C::Redact, 0, false, false, QStringLiteral("ぼかし(モザイク)")},
        {Qt::Key_Question, none, C::KeyCard, 0, true, false, QStringLiteral("キーの一覧")},
        {Qt::Key_Escape, none, C::Leave, 0, true, false, QStringLiteral("終わる")},
        {Qt::Key_D, ctrlShift, C::Leave, 0, false, false, QStringLiteral("終わる")},
        {Qt::Key_F4, alt, C::Leave, 0, false, false, QStringLiteral("終わる")},
    };
    keys.insert(keys.end(), std::begin(more), std::end(more));
    return keys;
}

} // namespace

const std::vector<ModeKey> &modeKeys()
{
    static const std::vector<ModeKey> table = makeTable();
    return table;
}

const ModeKey *findModeKey(int key, Qt::KeyboardModifiers modifiers)
{
    modifiers &= Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    for (const ModeKey &k : modeKeys()) {
        if (k.key != key)
            continue;
        if (k.modifiers == modifiers || (k.shiftToo && (k.modifiers | Qt::ShiftModifier) == modifiers))
            return &k;
    }
    return nullptr;
}

} // namespace present
