#include "common/PasswordMask.h"

#include <QRegularExpression>

namespace tolva {

QString maskPasswords(const QString& text) {
    static const QRegularExpression pair(
        QStringLiteral("\\b(password|pwd)(\\s*=\\s*)(\"[^\"]*\"?|[^;\\r\\n]*)"),
        QRegularExpression::CaseInsensitiveOption);
    QString masked = text;
    return masked.replace(pair, QStringLiteral("\\1\\2****"));
}

} // namespace tolva
