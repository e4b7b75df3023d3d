#pragma once

#include <QString>
#include <QStringList>

namespace info {

// How the help file is opened: the desktop's opener on "readme.txt" in the program
// folder. The command line is what a person would type; the program and its
// argument list are what is started, without a shell, so blanks and shell
// characters in the folder are harmless.
struct HelpCommand
{
    QString commandLine;
    QString program;
    QStringList arguments;
    QString helpFile;
};

inline constexpr const char *TextEditor = "xdg-open";

HelpCommand helpCommand(const QString &programFolder);

} // namespace info
