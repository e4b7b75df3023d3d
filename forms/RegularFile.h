#pragma once

#include <QFile>
#include <QString>

namespace forms {

// Opens a file for reading only if it is a regular file. It is opened without
// blocking and what was opened is checked, not what the name pointed to a moment
// earlier, so a named pipe or a device never hangs the caller. On failure `error`
// says why.
bool openRegularFile(const QString &path, QFile &file, qint64 &size, QString &error);

} // namespace forms
