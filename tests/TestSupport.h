#pragma once

#include "canvas/Surface.h"

#include <QImage>
#include <QRect>
#include <QRgb>
#include <QtGlobal>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace testing {

// Pixels of `color` inside `area` (the whole image when empty).
inline int countPixels(const QImage &image, QRgb color, QRect area = {})
{
    if (area.isNull())
        area = image.rect();
    area &= image.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF);
    return n;
}

// Smallest rectangle holding every pixel of `color` inside `area`.
inline QRect boundsOf(const QImage &image, QRgb color, QRect area = {})
{
    if (area.isNull())
        area = image.rect();
    area &= image.rect();
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// What a surface shows in its drawing area.
inline QImage visible(canvas::Surface &surface)
{
    return surface.screenLayer()->copy(QRect(QPoint(0, 0), surface.area()));
}

// Proves only that what runs while it lives does not hang: the test ends with a
// failure if it takes longer than `seconds`. Give it ten times the usual time or
// more; speed is measured in the benchmarks, never here.
class Watchdog
{
public:
    Watchdog(int seconds, const char *what) : m_what(what)
    {
        m_thread = std::thread([this, seconds] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_finished; }))
                qFatal("%s did not finish within %d s: it hangs", m_what, seconds);
        });
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_thread.join();
    }
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    const char *m_what;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

constexpr QRgb Black = 0xFF000000;
constexpr QRgb White = 0xFFFFFFFF;

} // namespace testing
