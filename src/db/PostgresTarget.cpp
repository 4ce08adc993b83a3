#include "db/PostgresTarget.h"

#include "common/Fault.h"
#include "db/ConnectionString.h"

#include <QRegularExpression>

namespace tolva {

namespace {

// A value in libpq's keyword string: single-quoted, with backslash escapes.
void appendPair(QByteArray& out, const char* key, const QString& value) {
    if (value.isEmpty())
        return;
    QByteArray quoted = value.toUtf8();
    quoted.replace('\\', "\\\\");
    quoted.replace('\'', "\\'");
    if (!out.isEmpty())
        out += ' ';
    out += key;
    out += "='";
    out += quoted;
    out += '\'';
}

} // namespace

PostgresTarget PostgresTarget::from(const ConnectionString& cs) {
    PostgresTarget t;
    // libpq's multi-host form: "Host=db1,db2;Port=5432,5432;Target Session
    // Attrs=read-write" tries the hosts in turn and takes the first that
    // accepts writes, so a promoted standby is found again.
    t.host = cs.value({"Host", "Server", "Data Source"});
    t.port = cs.value({"Port"});
    static const QRegularExpression ports(QStringLiteral("^[0-9]+(,[0-9]+)*$"));
    if (!t.port.isEmpty() && !ports.match(t.port).hasMatch())
        throw Fault(Fault::kGeneric, QStringLiteral("連接埠不合格: ") + t.port);
    t.targetSessionAttrs = cs.value({"Target Session Attrs", "target_session_attrs"});
    static const QRegularExpression attrsForm(QStringLiteral("^[a-z-]+$"));
    if (!t.targetSessionAttrs.isEmpty() && !attrsForm.match(t.targetSessionAttrs).hasMatch())
        throw Fault(Fault::kGeneric, QStringLiteral("Target Session Attrs 不合格: ") + t.targetSessionAttrs);
    t.database = cs.value({"Database", "Initial Catalog"});
    t.user = cs.value({"User ID", "User", "UID", "Username"});
    t.password = cs.value({"Password", "PWD"});
    return t;
}

QByteArray PostgresTarget::connInfo(const QByteArray& extra) const {
    QByteArray out;
    appendPair(out, "host", host);
    appendPair(out, "port", port);
    appendPair(out, "dbname", database);
    appendPair(out, "user", user);
    appendPair(out, "password", password);
    appendPair(out, "target_session_attrs", targetSessionAttrs);
    appendPair(out, "connect_timeout", QString::number(connectTimeoutSeconds));
    if (!extra.isEmpty())
        out += ' ' + extra;
    return out;
}

} // namespace tolva
