#pragma once

#include <QImage>
#include <QString>
#include <memory>
#include <vector>

class QLockFile;

namespace journal {

class Writer;

// The folder journals are kept in: $XDG_STATE_HOME/sketrin, or
// ~/.local/state/sketrin where that is not set.
QString defaultFolder();
// SKETRIN_NO_JOURNAL=1 turns the journal off.
bool disabled();

// A journal that a run left behind when it ended without the user choosing to
// end it (a crash, a kill, a power cut). Whoever holds this object holds the
// journal's lock, so two programs starting at once never offer the same one.
// Letting it go without a decision keeps the journal for a later start.
class LeftOver
{
public:
    ~LeftOver();
    LeftOver(const LeftOver &) = delete;
    LeftOver &operator=(const LeftOver &) = delete;

    QString path() const { return m_path; }
    // The picture, at the device pixel ratio it was written with; null when the
    // file cannot be read as one. A damaged file is then set aside (renamed to
    // *.damaged, see setAsidePath): kept, but never offered again.
    QImage read();
    QString setAsidePath() const { return m_setAside; }
    // The journal and its lock go.
    void discard();

private:
    friend class Journal;
    LeftOver(const QString &path, std::unique_ptr<QLockFile> lock);
    void release();

    QString m_path;
    QString m_setAside;
    std::unique_ptr<QLockFile> m_lock;
};

// This run's journal: one file of its own in the folder, named after the run and
// locked for as long as the run lives, so that programs running at once never
// share one, and one whose owner is gone is recognised as left over.
class Journal
{
public:
    explicit Journal(const QString &folder);
    // Keeps the file: an end the user did not choose leaves it for the next start.
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    // Makes the folder (for the user alone) and takes a file name and its lock.
    // False when the journal is turned off or the folder cannot be used.
    bool open();
    bool isOpen() const { return m_writer != nullptr; }
    QString folder() const { return m_folder; }
    QString path() const;

    // Writes the picture on a worker thread, returning at once (see Writer).
    void write(const QImage &image);
    // Waits for the writes asked for so far.
    void flush();
    // The user chose to end: nothing more is written, and the file and its lock go.
    void remove();

    // Journals of runs that are gone, oldest first, each locked for this run to
    // decide on. Never this run's own, nor one a running program holds.
    std::vector<std::unique_ptr<LeftOver>> leftOvers() const;
    // A left-over journal becomes this run's (its picture was taken back): it
    // stays on the disk under this run's name until the next write replaces it.
    bool adopt(LeftOver &leftOver);

private:
    QString m_folder;
    QString m_base; // the folder and the run's name, without an ending
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<Writer> m_writer;
};

} // namespace journal
