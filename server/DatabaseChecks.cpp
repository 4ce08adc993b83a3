#include "server/DatabaseChecks.h"

#include "common/Fault.h"
#include "db/Database.h"
#include "server/KeySchema.h"
#include "server/PostgresControl.h"

#include <QStringList>

namespace memberd {

namespace {

bool hasMemberTables(tolva::Database& db) {
    return db.hasTable(QStringLiteral("CUST")) && db.hasTable(QStringLiteral("VCardLog"));
}

bool isPostgres(const tolva::Database& db) {
    return db.dialect().product() == tolva::Dialect::Product::PostgreSQL;
}

} // namespace

bool DatabaseChecks::check(const QString& connectionString, bool allowSuperuser, bool keyedPostings,
                           QString& error) {
    tolva::Database db;
    try {
        db.open(connectionString);
        if (!hasMemberTables(db)) {
            error = QStringLiteral("the database has no member tables; run with --init-db first");
            return false;
        }
        if (isPostgres(db) && !allowSuperuser) {
            const QStringList powers = PostgresControl::excessPowers(db.handle());
            if (!powers.isEmpty()) {
                error =
                    QStringLiteral("the database role has more power than memberd needs (%1); connect as the "
                                   "role --init-db sets up, or start with --allow-superuser")
                        .arg(powers.join(QStringLiteral(", ")));
                return false;
            }
        }
        if (keyedPostings && !KeySchema::present(db)) {
            error = QStringLiteral("the member database has no key table for keyed postings (PostKey, "
                                   "VCardLog.PostKey, VCardLog.AuthCode); run --init-db to add it, or start "
                                   "with --no-keyed-postings to serve statements only");
            return false;
        }
    } catch (const tolva::Fault& fault) {
        error = QStringLiteral("database: ") + fault.message();
        return false;
    }
    return true;
}

bool DatabaseChecks::initialize(const QString& connectionString, const QString& roleName,
                                const QString& rolePassword, QString& done, QString& error) {
    tolva::Database db;
    try {
        db.open(connectionString);
        if (hasMemberTables(db)) {
            QString added;
            KeySchema::upgrade(db, added);
            done = added.isEmpty() ? QStringLiteral("schema already present")
                                   : QStringLiteral("schema upgraded: added ") + added;
        } else {
            db.createSchema();
            done = QStringLiteral("schema created");
        }
        if (isPostgres(db)) {
            PostgresControl::setUpServiceRole(db.handle(), roleName, rolePassword);
            done += QStringLiteral("; role %1 may only SELECT, INSERT and UPDATE CUST, VCardLog and PostKey")
                        .arg(roleName);
        }
    } catch (const tolva::Fault& fault) {
        error = QStringLiteral("database: ") + fault.message();
        return false;
    }
    return true;
}

} // namespace memberd
