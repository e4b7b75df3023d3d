#pragma once

#include "wayland/DamageLedger.h"

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QRegion>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QSocketNotifier;
struct wl_callback;
struct wl_compositor;
struct wl_seat;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

namespace wayland {

class Connection;
class SeatInput;

// A transparent surface over one whole output, above every window, on the
// compositor's overlay layer (the wlroots layer shell, which sway and KWin
// offer), through a Wayland connection of the program's own: Qt's windows
// cannot be put there. It shows the pictures it is given, takes the pointer
// and the keyboard while drawing, and lets them through to the windows
// beneath in pass-through. Its events are read from Qt's event loop; input
// comes as signals, in the overlay's logical coordinates, after the events
// are read, so that a slot may delete the overlay (with deleteLater()).
class LayerOverlay : public QObject
{
    Q_OBJECT

public:
    explicit LayerOverlay(QObject *parent = nullptr);
    ~LayerOverlay() override;

    // Puts the overlay on the output of that name (Qt's screen name; the
    // compositor's choice, at scale 1, when empty), taking the pointer and the
    // keyboard, and waits (2 s at most) for the compositor to say its size.
    // It shows at the first present(). False, with error() saying why in one
    // line, where that cannot be.
    bool open(const QString &outputName);
    QString error() const { return m_error; }
    bool isOpen() const { return m_layer != nullptr && !m_lost; }

    // The overlay's size in logical pixels, the output's scale, and the size
    // of the pictures present() takes: logical size times scale.
    QSize size() const { return m_size; }
    int scale() const { return m_scale; }
    QSize pictureSize() const { return m_size * m_scale; }

    // Shows `picture` (premultiplied ARGB32 of pictureSize(), the whole
    // overlay), of which only `touched` changed since the last call; at most
    // once a frame of the display, the rest gathered for the next. The first
    // picture after open() or a change of size is taken whole.
    void present(const QImage &picture, const QRegion &touched);

    // In pass-through the ink stays on screen and the pointer and the keys go
    // to the windows beneath; otherwise the overlay takes them. Buttons and
    // keys held are forgotten without a signal: a stroke under way is for the
    // caller to end.
    void setPassThrough(bool on);
    bool passThrough() const { return m_passThrough; }

    // Which of the globals the overlay needs are not in `offered`, as the
    // one line error() gives; empty when all are there.
    static QString lacking(const QStringList &offered);

signals:
    // The size or the scale changed: the next picture is of the new size.
    void resized(QSize size, int scale);
    void pointerPressed(QPointF position, Qt::MouseButton button, Qt::MouseButtons buttons,
                        Qt::KeyboardModifiers modifiers);
    void pointerMoved(QPointF position, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void pointerReleased(QPointF position, Qt::MouseButton button, Qt::MouseButtons buttons,
                         Qt::KeyboardModifiers modifiers);
    void wheel(QPointF position, QPoint angleDelta, QPoint pixelDelta);
    void keyPressed(int qtKey, Qt::KeyboardModifiers modifiers, QString text, bool autoRepeat);
    void keyReleased(int qtKey, Qt::KeyboardModifiers modifiers);
    // The compositor took the overlay away or went: nothing shows any more.
    void closed();

private:
    struct Buffer;
    struct Handlers;
    friend struct Handlers;
    static constexpr int BufferCount = 2;

    bool fail(const QString &why);
    void listenTo(wl_seat *seat);
    void close();
    void configure(uint32_t serial, uint32_t width, uint32_t height);
    void frameDone();
    void bufferReleased();
    bool fill(const QImage &picture, const QRegion &region);
    int freeBuffer();
    void commit();
    void readEvents();
    void flush();
    void lose();

    std::unique_ptr<Connection> m_connection;
    wl_compositor *m_compositor = nullptr;
    wl_seat *m_seat = nullptr;
    zwlr_layer_shell_v1 *m_shell = nullptr;
    wl_surface *m_surface = nullptr;
    zwlr_layer_surface_v1 *m_layer = nullptr;
    wl_callback *m_frame = nullptr;
    uint32_t m_output = 0; // the output's global; 0 for the compositor's choice
    SeatInput *m_input = nullptr;
    QSocketNotifier *m_reader = nullptr;
    QSocketNotifier *m_writer = nullptr;

    QSize m_size;
    int m_scale = 1;
    bool m_configured = false;
    bool m_shown = false; // a picture of this size has been taken whole
    bool m_passThrough = false;
    bool m_lost = false;
    QString m_error;

    std::vector<std::unique_ptr<Buffer>> m_buffers;
    DamageLedger m_ledger{BufferCount};
    int m_pending = -1;   // the buffer being filled for the next commit
    QRegion m_damage;     // what changed since the last commit
    QImage m_late;        // the newest picture, while no buffer was free for it
    QRegion m_lateRegion; // what of it no buffer got yet
};

} // namespace wayland
