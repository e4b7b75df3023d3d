#include "info/Help.h"

namespace info {

HelpCommand helpCommand(const QString &programFolder)
{
    HelpCommand c;
    c.program = QString::fromLatin1(TextEditor);
    c.helpFile = programFolder + QLatin1Char('/') + QStringLiteral("readme.txt");
    c.commandLine = c.program + QLatin1Char(' ') + c.helpFile;
    c.arguments = QStringList{c.helpFile};
    return c;
}

} // namespace info
