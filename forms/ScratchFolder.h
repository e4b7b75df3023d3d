#pragma once

#include <QString>

namespace forms {

// A folder of the program's own in the temporary folder, for the files of
// pictures that have none (pasted, captured). It is named after the process
// ("sketrin-PID-XXXXXX"), removed with everything in it when it goes, also when
// the process ends through exit() (the X server gone), and a later run removes
// the folders of runs that died without removing theirs.
class ScratchFolder
{
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }
    QString filePath(const QString &name) const;

    // Removes the folders that runs no longer alive left in `tempPath` (the
    // system's temporary folder when empty); returns how many went. Only folders
    // named as above, owned by this user, whose process is gone.
    static int removeLeftovers(const QString &tempPath = QString());

private:
    QString m_path;
};

// Ends every event loop on SIGTERM, SIGINT and SIGHUP, so that the program ends
// as it does when it quits (its folders removed), rather than at once.
void quitOnTerminationSignals();
// Whether such a signal came: an answer a dialog gave meanwhile is no answer.
bool terminationRequested();

} // namespace forms
