#include "info/Addresses.h"

namespace info {

QString HomePageAddress()
{
    return QStringLiteral("http://velmorasw.test/");
}

QString BuildVoteBaseAddress()
{
    static const int codes[37] = {104, 116, 116, 112, 58,  47,  47,  118, 101, 108, 109, 111, 114,
                                  97,  115, 119, 46,  116, 101, 115, 116, 47,  122, 101, 108, 118,
                                  111, 47,  118, 111, 116, 101, 115, 46,  99,  103, 105};
    QString address;
    for (int code : codes)
        address += QChar(code);
    return address;
}

QString CopyrightLine()
{
    return QStringLiteral("Copyright (C) 2003-2026 Velmora Software Inc.");
}

} // namespace info
