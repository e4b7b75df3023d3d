// libFuzzer harness for the picture reader alone: bytes in, decoded whole, at
// reduced sizes and in part, as the load and scale commands ask for them at
// several surface sizes. Fast enough to explore the decoders themselves.
#include "imaging/PictureFile.h"

#include <QBuffer>
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_reader";
    static char *argv[] = {name, nullptr};
    new QGuiApplication(argc, argv); // image plugins need an application
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    struct Ask
    {
        int reduceBy;
        QSize surface; // the part a scale command needs, before the reduction
    };
    static const Ask asks[] = {{1, {}}, {2, {928, 478}}, {4, {64, 36}}, {1, {16, 9}}};
    for (const Ask &ask : asks) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        imaging::LoadOptions options;
        options.reduceBy = ask.reduceBy;
        // Large pictures are legal and only slow (a GIF can claim a screen far
        // larger than its header's first frame): the chain harness and the unit
        // tests cover them. Here the time goes to the decoders' parsing.
        options.allocationLimitMiB = 8;
        if (ask.surface.isValid())
            options.needed = QRect(QPoint(0, 0), ask.surface);
        const imaging::Picture picture = imaging::decodePicture(buffer, options);
        if (picture.ok() && (picture.image.width() <= 0 || picture.naturalSize.isEmpty()))
            __builtin_trap(); // a success must carry a picture
    }
    return 0;
}
