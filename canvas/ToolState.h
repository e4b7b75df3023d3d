#pragma once

#include "forms/ColorWord.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace canvas {

enum class Tool { Pen, Eraser };

// The one owner of the program's tool state and flags. The menus' check marks
// and the toolbar's pressed looks are views of it. Listeners hear of every
// change of the tool (pen, eraser, their sizes, the colour), whoever made it.
//
// The pen colour is kept as a colour word, not as the decimal text of one: nothing
// outside reads the text, and a number cannot fail to parse.
class ToolState
{
public:
    static constexpr int PenSizes = 9;
    static constexpr int EraserSizes = 2;

    Tool tool() const { return m_tool; }
    bool eraserMode() const { return m_tool == Tool::Eraser; }
    // 0 to 8: the pen width less one.
    int penSizeIndex() const { return m_penSizeIndex; }
    // 0 small, 1 large.
    int eraserSizeIndex() const { return m_eraserSizeIndex; }
    // Half the side of the eraser's square, less the pen's own reach.
    int eraserHalfSize() const { return m_eraserSizeIndex == 0 ? 3 : 11; }
    std::int32_t penColor() const { return m_penColor; }
    bool screenHold() const { return m_screenHold; }
    bool pictureLoaded() const { return m_pictureLoaded; }
    bool toolbarShown() const { return m_toolbarShown; }
    // Empty until the first button-down; true while a stroke is in progress.
    std::optional<bool> drawing() const { return m_drawing; }

    // Which menu item of the pen and eraser group is ticked (none when the tool
    // is the other one).
    std::optional<int> checkedPenSize() const
    {
        return m_tool == Tool::Pen ? std::optional<int>(m_penSizeIndex) : std::nullopt;
    }
    std::optional<int> checkedEraserSize() const
    {
        return m_tool == Tool::Eraser ? std::optional<int>(m_eraserSizeIndex) : std::nullopt;
    }

    void selectPen(int index)
    {
        m_tool = Tool::Pen;
        m_penSizeIndex = clampIndex(index, PenSizes);
        changed();
    }
    void selectEraser(int index)
    {
        m_tool = Tool::Eraser;
        m_eraserSizeIndex = clampIndex(index, EraserSizes);
        changed();
    }
    void setPenColor(std::int32_t colorWord)
    {
        m_penColor = colorWord & 0xFFFFFF;
        changed();
    }

    // Returns a number to remove the listener with.
    int addListener(std::function<void()> listener)
    {
        m_listeners.emplace_back(++m_lastListener, std::move(listener));
        return m_lastListener;
    }
    void removeListener(int id)
    {
        for (auto it = m_listeners.begin(); it != m_listeners.end(); ++it)
            if (it->first == id) {
                m_listeners.erase(it);
                return;
            }
    }
    void setScreenHold(bool on) { m_screenHold = on; }
    void setPictureLoaded(bool loaded) { m_pictureLoaded = loaded; }
    void setToolbarShown(bool shown) { m_toolbarShown = shown; }
    void setDrawing(bool drawing) { m_drawing = drawing; }

private:
    void changed()
    {
        // A copy: a listener may add or remove listeners.
        const auto listeners = m_listeners;
        for (const auto &l : listeners)
            l.second();
    }
    static int clampIndex(int index, int count) { return index < 0 ? 0 : index >= count ? count - 1 : index; }

    Tool m_tool = Tool::Pen;
    int m_penSizeIndex = 0;
    int m_eraserSizeIndex = 0;
    std::int32_t m_penColor = forms::colorWord(0, 0, 0);
    bool m_screenHold = false;
    bool m_pictureLoaded = false;
    bool m_toolbarShown = true;
    std::optional<bool> m_drawing;
    std::vector<std::pair<int, std::function<void()>>> m_listeners;
    int m_lastListener = 0;
};

} // namespace canvas
