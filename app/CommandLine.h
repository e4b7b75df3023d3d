#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for:
//   sketrin [--draw | --live] [FILE]
//   sketrin --help | --version
struct CommandLine
{
    bool draw = false;    // enter the drawing mode (in the running program, if any)
    bool live = false;    // the same for the live drawing mode
    bool help = false;    // print the usage and end
    bool version = false; // print the version and end
    QString file;         // a picture to start with
    QString error;        // an unknown option: the message, and the program ends

    // Texts for standard output and standard error.
    static QString usage();
    static QString versionText();
};

// `arguments` as main() gets them, the program's name first. Arguments after
// the first file are ignored, as they always were.
CommandLine parseCommandLine(const QStringList &arguments);
