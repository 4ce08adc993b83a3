#include "db/Dialect.h"

namespace tolva {

Dialect Dialect::forProvider(const QString& providerName) {
    const QString key = providerName.left(7).toUpper();
    const QString atIdentity = QStringLiteral("SELECT @@IDENTITY AS 'NewRNo' ");
    Dialect d;
    d.key = key;
    d.known = true;
    if (key == QLatin1String("SQLOLED")) {
        d.serverDate = QStringLiteral("getDate()");
        d.dateQuote = QStringLiteral("'");
        d.identityQuery = atIdentity;
    } else if (key == QLatin1String("MSDAORA")) {
        d.serverDate = QStringLiteral("SYSDATE");
        d.dateQuote = QStringLiteral("TO_DATE");
    } else if (key == QLatin1String("MSDASQL")) {
        d.serverDate = QStringLiteral("now()");
        d.dateQuote = QStringLiteral("'");
        d.identityQuery = atIdentity;
    } else if (key == QLatin1String("MICROSO")) {
        d.serverDate = QStringLiteral("now()");
        d.dateQuote = QStringLiteral("#");
        d.identityQuery = atIdentity;
    } else if (key == QLatin1String("SQLITE")) {
        d.serverDate = QStringLiteral("datetime('now','localtime')");
        d.dateQuote = QStringLiteral("'");
        d.identityQuery = QStringLiteral("SELECT last_insert_rowid() AS NewRNo");
    } else if (key == QLatin1String("POSTGRE")) {
        d.serverDate = QStringLiteral("LOCALTIMESTAMP(0)");
        d.dateQuote = QStringLiteral("'");
        d.identityQuery = QStringLiteral("SELECT lastval() AS NewRNo");
    } else {
        d.known = false;
    }
    return d;
}

} // namespace tolva
