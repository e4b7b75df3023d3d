#include "forms/ScratchFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace forms {

namespace {

const QString Prefix = QStringLiteral("sketrin-");

// The folders alive in this process, for exit() to remove.
std::mutex g_liveMutex;
std::set<QString> &liveFolders()
{
    static auto *folders = new std::set<QString>; // outlives every static destructor
    return *folders;
}

void removeLiveFolders()
{
    std::lock_guard<std::mutex> lock(g_liveMutex);
    for (const QString &path : liveFolders())
        QDir(path).removeRecursively();
    liveFolders().clear();
}

bool processAlive(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

ScratchFolder::ScratchFolder()
{
    QTemporaryDir dir(QDir::temp().filePath(Prefix + QString::number(QCoreApplication::applicationPid()) +
                                            QStringLiteral("-XXXXXX")));
    if (!dir.isValid())
        return;
    dir.setAutoRemove(false);
    m_path = dir.path();
    static const bool registered = std::atexit(removeLiveFolders) == 0;
    Q_UNUSED(registered);
    std::lock_guard<std::mutex> lock(g_liveMutex);
    liveFolders().insert(m_path);
}

ScratchFolder::~ScratchFolder()
{
    if (m_path.isEmpty())
        return;
    QDir(m_path).removeRecursively();
    std::lock_guard<std::mutex> lock(g_liveMutex);
    liveFolders().erase(m_path);
}

QString ScratchFolder::filePath(const QString &name) const
{
    return QDir(m_path).filePath(name);
}

int ScratchFolder::removeLeftovers(const QString &tempPath)
{
    static const QRegularExpression name(QStringLiteral("^sketrin-(\\d+)-[A-Za-z0-9]{6}$"));
    const QDir temp(tempPath.isEmpty() ? QDir::tempPath() : tempPath);
    int removed = 0;
    const QFileInfoList entries = temp.entryInfoList({Prefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch m = name.match(entry.fileName());
        if (!m.hasMatch() || entry.isSymLink())
            continue;
        struct stat st;
        if (::lstat(QFile::encodeName(entry.absoluteFilePath()).constData(), &st) != 0 || st.st_uid != ::getuid())
            continue;
        if (processAlive(m.captured(1).toLongLong()))
            continue;
        removed += QDir(entry.absoluteFilePath()).removeRecursively() ? 1 : 0;
    }
    return removed;
}

namespace {

int g_signalPipe[2] = {-1, -1};
bool g_terminating = false;

void onTerminationSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

bool terminationRequested()
{
    return g_terminating;
}

void quitOnTerminationSignals()
{
    if (g_signalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &byte, 1);
        g_terminating = true;
        // Every event loop ends, a dialog's too; quit() would first ask the
        // windows to close, and the drawing mode's window answers by leaving the
        // mode instead.
        QCoreApplication::exit(0);
    });
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace forms
