#pragma once

#include <QString>
#include <Qt>
#include <cstdint>
#include <optional>
#include <vector>

namespace present {

// What a key of the drawing mode does.
enum class Command {
    Pen,         // the pen of width arg + 1
    Eraser,      // the small (0) or large (1) eraser
    Color,       // the pen colour arg (a colour word)
    ChooseColor, // the colour dialog
    Highlighter, // pen <-> highlighter
    Text,        // text at the pointer
    WhiteBoard,
    BlackBoard,
    Clear,
    Undo,
    Redo,
    ZoomIn,
    ZoomOut,
    ZoomReset,
    Save,
    Copy,
    Leave,
    Laser,         // the laser pen on or off
    Spotlight,     // the spotlight on or off
    SpotlightSize, // the spotlight smaller (arg -1) or larger (1)
    Steps,         // numbered steps on or off
    Redact,        // redaction on or off
    KeyCard,       // the card of these keys
};

// One key of the mode: the one table that the window dispatches from and that
// anything listing the keys reads.
struct ModeKey
{
    int key;
    Qt::KeyboardModifiers modifiers;
    Command command;
    int arg = 0;
    bool shiftToo = false; // also with Shift held (F keys, Del, Esc, zoom keys)
    bool repeats = false;  // held down, it acts again and again
    QString what;          // what it does, as the key card says it
};

const std::vector<ModeKey> &modeKeys();

// The key of the table that this key and these modifiers press, if any.
const ModeKey *findModeKey(int key, Qt::KeyboardModifiers modifiers);

} // namespace present
