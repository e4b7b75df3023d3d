#pragma once

#include <QString>

namespace info {

// The maker's home page (22 characters, ending in "/"). A reserved test domain, so
// that no third party ever receives this traffic.
QString HomePageAddress();

// The rating script's address (37 characters), put together from its character
// codes each time it is needed, so that it never stands in the program as one text.
QString BuildVoteBaseAddress();

// The maker's copyright line (45 characters).
QString CopyrightLine();

} // namespace info
