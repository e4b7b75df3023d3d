#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWindow>

#include <cstdint>
#include <functional>
#include <vector>

namespace forms {

// Keys pressed with Ctrl or Alt in one window, offered to the window before its
// input method sees them. On X11 an input method that is composing keeps every
// key for itself (Ctrl+S would never save); where `take` answers true the key is
// the window's and goes no further. Letters and function keys only, as Qt names
// them. Nothing happens off X11, where Qt's shortcut override comes first.
class KeysFirst : public QAbstractNativeEventFilter
{
public:
    using Take = std::function<bool(int key, Qt::KeyboardModifiers modifiers)>;

    KeysFirst(QWindow &window, Take take);
    ~KeysFirst() override;
    KeysFirst(const KeysFirst &) = delete;
    KeysFirst &operator=(const KeysFirst &) = delete;

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *result) override;

private:
    int qtKey(std::uint8_t keycode) const;

    QPointer<QWindow> m_window;
    Take m_take;
    bool m_installed = false;
    int m_firstKeycode = 0;
    int m_perKeycode = 0;
    std::vector<std::uint32_t> m_keysyms; // the keyboard map's first column
};

} // namespace forms
