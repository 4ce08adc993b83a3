#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace tolva {

// A "Key=Value;Key=Value" connection string. Keys are looked up without
// letter case; values keep their text (surrounding blanks and double quotes
// removed).
class ConnectionString {
public:
    explicit ConnectionString(const QString& text);

    QString value(const QString& key) const;
    QString value(std::initializer_list<const char*> keys) const;
    bool contains(const QString& key) const;
    // The pairs in their order, without the ones named.
    QString without(std::initializer_list<const char*> keys) const;
    QString provider() const { return value(QStringLiteral("Provider")); }

private:
    QList<QPair<QString, QString>> m_pairs;
};

} // namespace tolva
