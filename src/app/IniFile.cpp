#include "app/IniFile.h"

#include <QFile>

namespace tolva {

namespace {
constexpr qsizetype kValueBytes = 127;

QByteArray stripLineEnd(QByteArray line) {
    while (line.endsWith('\r') || line.endsWith('\n'))
        line.chop(1);
    return line;
}
} // namespace

QString getINIValue(const CodePage& codePage, const QString& file, const QString& section,
                    const QString& key) {
    QFile in(file);
    if (file.isEmpty() || !in.open(QIODevice::ReadOnly))
        return QString();
    const QList<QByteArray> lines = in.readAll().split('\n');
    bool inSection = false;
    for (const QByteArray& raw : lines) {
        const QByteArray line = stripLineEnd(raw);
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            const qsizetype close = trimmed.indexOf(']');
            const QByteArray name = trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
            inSection = codePage.decode(name).compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        if (codePage.decode(line.left(eq).trimmed()).compare(key, Qt::CaseInsensitive) != 0)
            continue;
        return codePage.decode(line.mid(eq + 1).left(kValueBytes));
    }
    return QString();
}

} // namespace tolva
