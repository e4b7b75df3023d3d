// libFuzzer harness for the picture path: the bytes become a file that goes
// through the load command, every scale command and both filters.
#include "app/Main.h"
#include "forms/ScriptedPlatform.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace {

struct Harness
{
    QTemporaryDir dir;
    QString path;
    forms::ScriptedPlatform platform;
    Main *window = nullptr;
};

Harness *harness = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_picture";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives as long as the process
    harness = new Harness;
    harness->path = harness->dir.filePath(QStringLiteral("input.bin"));
    harness->window = new Main(harness->platform);
    harness->window->CmdPicRemain_Click(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Harness &h = *harness;
    {
        QFile file(h.path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    h.platform.openAnswers.push_back(h.path);
    h.window->CmdPicLoad_Click();
    for (int i = 0; i < 5; ++i)
        h.window->CmdPicRatio_Click(i);
    h.window->CmdPicFilter_Click(0);
    h.window->CmdPicFilter_Click(1);
    h.window->CmdPicClear_Click();
    // Keep the records from growing over millions of runs.
    h.platform.msgBoxes.clear();
    h.platform.pointerHistory.clear();
    h.platform.openDialogFilters.clear();
    h.platform.openDialogFlags.clear();
    return 0;
}
