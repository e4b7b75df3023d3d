#include "app/CommandLine.h"

#include "forms/Version.h"

QString CommandLine::usage()
{
    return QStringLiteral("Usage: sketrin [--draw | --live] [FILE]\n"
                          "A small drawing tool for explaining things on screen.\n"
                          "\n"
                          "  FILE        a picture to start with (BMP, JPEG, PNG, GIF)\n"
                          "  --draw      draw on the screen: the running Sketrin enters its drawing\n"
                          "              mode, or Sketrin starts in it\n"
                          "  --live      draw over the screen as it goes on moving, in the same way;\n"
                          "              again, the ink stays and clicks go to the programs beneath\n"
                          "  --help      show this help and exit\n"
                          "  --version   show the version and exit\n");
}

QString CommandLine::versionText()
{
    return QStringLiteral("sketrin %1.%2\n").arg(forms::VersionMajor).arg(forms::VersionMinor);
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    bool optionsEnd = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (!optionsEnd && a == QLatin1String("--")) {
            optionsEnd = true;
        } else if (!optionsEnd && a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            if (a == QLatin1String("--draw"))
                line.draw = true;
            else if (a == QLatin1String("--live"))
                line.live = true;
            else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
                line.help = true;
            else if (a == QLatin1String("--version"))
                line.version = true;
            else {
                line.error = QStringLiteral("sketrin: unknown option '%1'\nTry 'sketrin --help'.\n").arg(a);
                return line;
            }
        } else if (line.file.isEmpty()) {
            line.file = a;
        }
    }
    return line;
}
