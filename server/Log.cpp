#include "server/Log.h"

#include <QDateTime>
#include <QRegularExpression>
#include <cstdio>

namespace memberd {

QString escapeControls(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\')
            out += QStringLiteral("\\\\");
        else if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029)
            out += QStringLiteral("\\x%1").arg(static_cast<unsigned>(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString maskSecrets(const QString& text) {
    static const QRegularExpression secret(QStringLiteral(R"(\b(password|pwd)(\s*=\s*)[^;]*)"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (!text.contains(QLatin1Char('=')))
        return text;
    QString out = text;
    out.replace(secret, QStringLiteral("\\1\\2***"));
    return out;
}

void writeLog(LogLevel level, const QString& text) {
    const QByteArray line =
        (QStringLiteral("<%1>").arg(static_cast<int>(level)) +
         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
         QStringLiteral("memberd: ") + escapeControls(maskSecrets(text)) + QLatin1Char('\n'))
            .toUtf8();
    // One write per line: lines of several threads do not interleave.
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
}

} // namespace memberd
