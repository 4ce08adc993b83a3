#pragma once

#include <QString>

namespace tolva {

// One part of a posting's key as the desk makes it: at most 16 characters,
// each one outside 0-9, A-Z, a-z, '-' and '_' made '_'. memberd reads the
// store back from a key the same way, so both sides use this one rule.
inline QString postingKeyPart(const QString& text) {
    QString part = text.left(16);
    for (QChar& c : part) {
        const char16_t u = c.unicode();
        const bool plain = (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') ||
                           u == u'-' || u == u'_';
        if (!plain)
            c = u'_';
    }
    return part;
}

} // namespace tolva
