#include "db/ConnectionString.h"

namespace tolva {

ConnectionString::ConnectionString(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = part.left(eq).trimmed();
        QString value = part.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        if (!key.isEmpty())
            m_pairs.append({key, value});
    }
}

QString ConnectionString::value(const QString& key) const {
    for (const auto& [k, v] : m_pairs)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return QString();
}

QString ConnectionString::value(std::initializer_list<const char*> keys) const {
    for (const char* key : keys)
        if (contains(QString::fromLatin1(key)))
            return value(QString::fromLatin1(key));
    return QString();
}

bool ConnectionString::contains(const QString& key) const {
    for (const auto& pair : m_pairs)
        if (pair.first.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString ConnectionString::without(std::initializer_list<const char*> keys) const {
    QStringList kept;
    for (const auto& [k, v] : m_pairs) {
        bool drop = false;
        for (const char* key : keys)
            drop = drop || k.compare(QString::fromLatin1(key), Qt::CaseInsensitive) == 0;
        if (!drop)
            kept << k + QLatin1Char('=') + v;
    }
    return kept.join(QLatin1Char(';'));
}

} // namespace tolva
