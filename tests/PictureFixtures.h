#pragma once

// Picture files made in code, for the loading tests.

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QString>
#include <QtEndian>
#include <vector>

namespace testing {

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray encode(const QImage &image, const char *format, int quality = 90, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (progressive)
        writer.setProgressiveScanWrite(true);
    writer.write(image);
    return bytes;
}

// A picture with four coloured quadrants, so that position and orientation show.
inline QImage quadrants(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            image.setPixel(x, y,
                           !bottom ? (right ? qRgb(0, 200, 0) : qRgb(200, 0, 0))
                                   : (right ? qRgb(240, 240, 0) : qRgb(0, 0, 200)));
        }
    return image;
}

struct Le
{
    QByteArray bytes;
    Le &u8(int v)
    {
        bytes.append(char(v & 0xFF));
        return *this;
    }
    Le &u16(int v) { return u8(v).u8(v >> 8); }
    Le &u32(qint64 v) { return u16(int(v & 0xFFFF)).u16(int((v >> 16) & 0xFFFF)); }
    Le &raw(const QByteArray &b)
    {
        bytes.append(b);
        return *this;
    }
};

// A BMP with a BITMAPINFOHEADER. `height` < 0 stores the rows top-down.
inline QByteArray bmp(int width, int height, int bpp, int compression, const std::vector<QRgb> &palette,
                      const QByteArray &pixels, qint64 paletteCount = -1)
{
    const int paletteBytes = int(palette.size()) * 4;
    const int offset = 14 + 40 + paletteBytes;
    Le b;
    b.raw("BM").u32(offset + pixels.size()).u32(0).u32(offset);
    b.u32(40).u32(width).u32(quint32(height)).u16(1).u16(bpp).u32(compression).u32(pixels.size());
    b.u32(2835).u32(2835).u32(paletteCount < 0 ? qint64(palette.size()) : paletteCount).u32(0);
    for (QRgb c : palette)
        b.u8(qBlue(c)).u8(qGreen(c)).u8(qRed(c)).u8(0);
    b.raw(pixels);
    return b.bytes;
}

// 2 x 1 pixels at 16 bits: white, then `second` as stored. Without masks the
// channels are 5-5-5; with them, the masks follow the header (bit fields).
inline QByteArray sixteenBitBmp(quint16 white, quint16 second, std::vector<quint32> masks = {})
{
    std::vector<QRgb> maskWords;
    for (quint32 m : masks) // written little-endian, as a palette entry's b, g, r, 0
        maskWords.push_back(qRgb(int((m >> 16) & 0xFF), int((m >> 8) & 0xFF), int(m & 0xFF)));
    QByteArray px;
    for (quint16 v : {white, second})
        px.append(char(v & 0xFF)).append(char(v >> 8));
    return bmp(2, 1, 16, masks.empty() ? 0 : 3, maskWords, px, 0);
}

// 4 x 2 pixels, 8-bit RLE: top row red, bottom row blue (rows stored bottom-up).
inline QByteArray rle8Bmp()
{
    QByteArray px;
    px.append("\x04\x01", 2).append("\x00\x00", 2); // bottom row: 4 x index 1, end of line
    px.append("\x04\x00", 2).append("\x00\x01", 2); // top row: 4 x index 0, end of bitmap
    return bmp(4, 2, 8, 1, {qRgb(255, 0, 0), qRgb(0, 0, 255)}, px);
}

// 4 x 2 pixels, 24-bit, top-down: top row red, bottom row blue.
inline QByteArray topDownBmp()
{
    QByteArray px;
    for (int i = 0; i < 4; ++i)
        px.append("\x00\x00\xff", 3);
    for (int i = 0; i < 4; ++i)
        px.append("\xff\x00\x00", 3);
    return bmp(4, -2, 24, 0, {}, px);
}

// A JPEG with an Exif orientation tag inserted after its start marker.
inline QByteArray withOrientation(const QByteArray &jpeg, int orientation)
{
    QByteArray tiff("MM\x00\x2a\x00\x00\x00\x08", 8);
    tiff.append("\x00\x01", 2);                         // one entry
    tiff.append("\x01\x12\x00\x03\x00\x00\x00\x01", 8); // Orientation, SHORT, 1
    tiff.append(char(0)).append(char(orientation)).append("\x00\x00", 2);
    tiff.append("\x00\x00\x00\x00", 4); // no next IFD
    QByteArray app1("Exif\x00\x00", 6);
    app1.append(tiff);
    QByteArray segment("\xff\xe1", 2);
    const int len = app1.size() + 2;
    segment.append(char(len >> 8)).append(char(len & 0xFF)).append(app1);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

} // namespace testing

namespace testing {

// --- Hostile files ---------------------------------------------------------------

// A JPEG whose first Huffman table is filled with nonsense.
inline QByteArray jpegWithBrokenHuffman(const QByteArray &jpeg)
{
    QByteArray bad = jpeg;
    const int dht = bad.indexOf(QByteArray("\xff\xc4", 2));
    if (dht >= 0)
        for (int i = dht + 5; i < dht + 5 + 16 && i < bad.size(); ++i)
            bad[i] = char(0xFF);
    return bad;
}

// A JPEG whose frame header declares width x height.
inline QByteArray jpegDeclaring(const QByteArray &jpeg, int width, int height)
{
    QByteArray bad = jpeg;
    const int sof = bad.indexOf(QByteArray("\xff\xc0", 2));
    if (sof >= 0) {
        bad[sof + 5] = char(height >> 8);
        bad[sof + 6] = char(height & 0xFF);
        bad[sof + 7] = char(width >> 8);
        bad[sof + 8] = char(width & 0xFF);
    }
    return bad;
}

// RLE8 whose runs go on past the last row.
inline QByteArray rle8PastRows()
{
    QByteArray px;
    for (int i = 0; i < 40; ++i)
        px.append("\xff\x01", 2).append("\x00\x00", 2); // 255 pixels then end of line, 40 times
    px.append("\x00\x01", 2);
    return bmp(4, 2, 8, 1, {qRgb(255, 0, 0), qRgb(0, 0, 255)}, px);
}

// An 8-bit BMP whose pixels name palette entries that do not exist.
inline QByteArray paletteIndexPastTable()
{
    QByteArray px(4 * 2, char(200));
    return bmp(4, 2, 8, 0, {qRgb(255, 0, 0), qRgb(0, 0, 255)}, px);
}

// An 8-bit BMP that claims 2^31 palette entries.
inline QByteArray hugePalette()
{
    QByteArray px(4 * 2, char(1));
    return bmp(4, 2, 8, 0, {qRgb(255, 0, 0), qRgb(0, 0, 255)}, px, qint64(1) << 31);
}

} // namespace testing
