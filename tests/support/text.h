// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <string_view>

// The catalogue's and the layout's names and texts as Qt text: names are ASCII, captions UTF-8.
inline QString latin1Text(std::string_view s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}
inline QString utf8Text(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}
