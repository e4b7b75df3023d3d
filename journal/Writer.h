#pragma once

#include <QImage>
#include <QString>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace journal {

// The key of the PNG text that keeps the picture's device pixel ratio.
constexpr char ScaleKey[] = "Sketrin-Scale";

// Writes `image` to `path` whole or not at all: encoded as a lightly compressed
// PNG into a temporary file beside it, synced to the disk, then renamed over it,
// and the folder synced so that the rename survives a power cut. The image's
// device pixel ratio is kept in the file. Returns an empty text on success, else
// why it failed.
QString writeAtomically(const QImage &image, const QString &path);

// A worker thread that writes pictures to one file, so that the thread that
// draws never waits for the disk. Only the latest picture waiting is kept: one
// posted while another is being written replaces any that still waits, and the
// file always ends up holding the latest.
class Writer
{
public:
    explicit Writer(const QString &path);
    // Waits for a write under way; a picture still waiting is dropped.
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    QString path() const { return m_path; }
    // Returns at once.
    void post(const QImage &image);
    // Waits until nothing waits and nothing is being written.
    void flush();
    // Drops what waits and waits for a write under way; nothing is written after.
    void stop();

    int written() const;
    QString lastError() const;

private:
    void run();

    const QString m_path;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::optional<QImage> m_pending;
    bool m_busy = false;
    bool m_stopping = false;
    int m_written = 0;
    QString m_error;
    std::thread m_thread;
};

} // namespace journal
