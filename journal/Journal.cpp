#include "journal/Journal.h"

#include "forms/RegularFile.h"
#include "journal/Writer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLockFile>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <cstdio>

namespace journal {

namespace {

const QString Prefix = QStringLiteral("journal-");
const QString PictureEnding = QStringLiteral(".png");
const QString LockEnding = QStringLiteral(".lock");
// The largest picture a journal may hold when read back, as for any picture file.
constexpr int AllocationLimitMiB = 256;

// A lock held for as long as its owner runs: only an owner that is gone makes
// it stale, never its age.
std::unique_ptr<QLockFile> takeLock(const QString &path)
{
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return lock;
    // A lock file that names no owner was cut short (by a power cut, say): an
    // owner still running would have filled it in long ago, and still holds it
    // (which keeps removeStaleLockFile from removing it).
    qint64 pid = 0;
    QString host, app;
    if (lock->error() == QLockFile::LockFailedError && !lock->getLockInfo(&pid, &host, &app) &&
        QFileInfo(path).lastModified().secsTo(QDateTime::currentDateTime()) > 10 && lock->removeStaleLockFile() &&
        lock->tryLock(0))
        return lock;
    return nullptr;
}

// A write cut short leaves its temporary file (the picture's name and six
// characters) beside the picture.
void removeUnfinishedWrites(const QString &picture)
{
    const QFileInfo info(picture);
    QDir dir = info.dir();
    for (const QString &name : dir.entryList({info.fileName() + QStringLiteral(".??????")}, QDir::Files | QDir::Hidden))
        dir.remove(name);
}

// A whole PNG ends with its IEND chunk; one cut short does not.
bool endsWhole(QFile &file, qint64 size)
{
    static const QByteArray iend = QByteArray::fromHex("0000000049454e44ae426082");
    if (size < iend.size() || !file.seek(size - iend.size()))
        return false;
    const bool whole = file.read(iend.size()) == iend;
    return file.seek(0) && whole;
}

} // namespace

QString defaultFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/sketrin");
}

bool disabled()
{
    const QString value = qEnvironmentVariable("SKETRIN_NO_JOURNAL");
    return !value.isEmpty() && value != QLatin1String("0");
}

// --- LeftOver ---------------------------------------------------------------------

LeftOver::LeftOver(const QString &path, std::unique_ptr<QLockFile> lock) : m_path(path), m_lock(std::move(lock)) {}

LeftOver::~LeftOver() = default;

QImage LeftOver::read()
{
    QFile file;
    qint64 size = 0;
    QString error;
    QImage image;
    if (forms::openRegularFile(m_path, file, size, error) && endsWhole(file, size)) {
        QImageReader reader(&file, "png");
        reader.setAllocationLimit(AllocationLimitMiB);
        image = reader.read();
    }
    if (image.isNull()) {
        // Kept for whoever wants to look at it, but out of the way for good.
        QString aside = m_path + QStringLiteral(".damaged");
        for (int n = 2; QFileInfo::exists(aside); ++n)
            aside = m_path + QStringLiteral(".damaged-%1").arg(n);
        if (QFile::rename(m_path, aside))
            m_setAside = aside;
        release();
        return {};
    }
    bool ok = false;
    const qreal scale = image.text(QLatin1String(ScaleKey)).toDouble(&ok);
    image.setDevicePixelRatio(ok && scale >= 1 && scale <= 8 ? scale : 1);
    return image;
}

void LeftOver::discard()
{
    if (m_lock)
        QFile::remove(m_path);
    release();
}

void LeftOver::release()
{
    if (!m_lock)
        return;
    removeUnfinishedWrites(m_path);
    m_lock->unlock(); // the lock file goes with it
    m_lock.reset();
}

// --- Journal ----------------------------------------------------------------------

Journal::Journal(const QString &folder) : m_folder(QDir::cleanPath(folder)) {}

Journal::~Journal() = default;

QString Journal::path() const
{
    return m_base.isEmpty() ? QString() : m_base + PictureEnding;
}

bool Journal::open()
{
    if (isOpen())
        return true;
    if (disabled() || m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return false;
    // The journal shows what was on the screen: for the user's eyes alone.
    QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    static std::atomic<int> serial{0};
    const QString name = Prefix + QStringLiteral("%1-%2-%3")
                                      .arg(QCoreApplication::applicationPid())
                                      .arg(QDateTime::currentMSecsSinceEpoch(), 0, 36)
                                      .arg(++serial);
    const QString base = m_folder + QLatin1Char('/') + name;
    auto lock = takeLock(base + LockEnding);
    if (!lock)
        return false;
    m_lock = std::move(lock);
    m_base = base;
    m_writer = std::make_unique<Writer>(path());
    return true;
}

void Journal::write(const QImage &image)
{
    if (m_writer)
        m_writer->post(image);
}

void Journal::flush()
{
    if (m_writer)
        m_writer->flush();
}

void Journal::remove()
{
    if (!m_writer)
        return;
    m_writer.reset(); // waits for a write under way
    QFile::remove(path());
    removeUnfinishedWrites(path());
    m_lock->unlock();
    m_lock.reset();
}

std::vector<std::unique_ptr<LeftOver>> Journal::leftOvers() const
{
    std::vector<std::unique_ptr<LeftOver>> found;
    if (disabled() || m_folder.isEmpty())
        return found;
    const QDir dir(m_folder);
    // Every run that left a lock or a picture.
    QSet<QString> runs;
    for (const QString &name : dir.entryList({Prefix + QLatin1Char('*') + PictureEnding}, QDir::Files | QDir::Hidden))
        runs.insert(name.chopped(PictureEnding.size()));
    for (const QString &name : dir.entryList({Prefix + QLatin1Char('*') + LockEnding}, QDir::Files | QDir::Hidden))
        runs.insert(name.chopped(LockEnding.size()));
    for (const QString &run : std::as_const(runs)) {
        const QString base = dir.filePath(run);
        if (base == m_base)
            continue;
        auto lock = takeLock(base + LockEnding);
        if (!lock)
            continue; // its program runs
        auto leftOver = std::unique_ptr<LeftOver>(new LeftOver(base + PictureEnding, std::move(lock)));
        if (QFileInfo(leftOver->path()).isFile())
            found.push_back(std::move(leftOver));
        else
            leftOver->release(); // it ended before it wrote anything
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
        return QFileInfo(a->path()).lastModified() < QFileInfo(b->path()).lastModified();
    });
    return found;
}

bool Journal::adopt(LeftOver &leftOver)
{
    if (!m_writer || !leftOver.m_lock)
        return false;
    // An atomic replacement: this run's journal is whole at every moment.
    if (std::rename(QFile::encodeName(leftOver.path()).constData(), QFile::encodeName(path()).constData()) != 0)
        return false;
    leftOver.release();
    return true;
}

} // namespace journal
