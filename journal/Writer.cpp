#include "journal/Writer.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace journal {

namespace {

void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

QString writeAtomically(const QImage &image, const QString &path)
{
    if (image.isNull())
        return QStringLiteral("nothing to write");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QImageWriter writer(&file, "png");
    // Quality 80 is zlib's level 1: a drawing's flat areas still pack small, at a
    // fraction of the default level's time.
    writer.setQuality(80);
    writer.setText(QLatin1String(ScaleKey), QString::number(image.devicePixelRatio()));
    if (!writer.write(image)) {
        file.cancelWriting();
        return writer.errorString();
    }
    // QSaveFile syncs the file before the rename.
    if (!file.commit())
        return file.errorString();
    syncFolder(QFileInfo(path).absolutePath());
    return {};
}

Writer::Writer(const QString &path) : m_path(path)
{
    m_thread = std::thread([this] { run(); });
}

Writer::~Writer()
{
    stop();
    m_thread.join();
}

void Writer::post(const QImage &image)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
            return;
        m_pending = image;
    }
    m_wake.notify_one();
}

void Writer::flush()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_busy && !m_pending; });
}

void Writer::stop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_stopping = true;
    m_pending.reset();
    m_wake.notify_one();
    m_idle.wait(lock, [this] { return !m_busy; });
}

int Writer::written() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_written;
}

QString Writer::lastError() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

void Writer::run()
{
    // Behind the drawing when both want the processor.
    ::setpriority(PRIO_PROCESS, ::gettid(), 10);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_pending; });
        if (m_stopping)
            break;
        const QImage image = std::move(*m_pending);
        m_pending.reset();
        m_busy = true;
        lock.unlock();
        const QString error = writeAtomically(image, m_path);
        lock.lock();
        m_busy = false;
        m_error = error;
        m_written += error.isEmpty();
        m_idle.notify_all();
    }
    m_busy = false;
    m_idle.notify_all();
}

} // namespace journal
