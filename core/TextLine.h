#pragma once

#include <QByteArrayView>

// The first line of a settings file's content: up to the first CR or LF.
inline QByteArrayView firstLine(QByteArrayView content)
{
    qsizetype end = content.size();
    for (char c : {'\r', '\n'}) {
        const qsizetype at = content.indexOf(c);
        if (at >= 0 && at < end)
            end = at;
    }
    return content.first(end);
}
