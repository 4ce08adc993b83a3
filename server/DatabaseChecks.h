#pragma once

#include <QString>

namespace memberd {

// What memberd checks of its member database before it serves, and how it
// sets one up.
class DatabaseChecks {
public:
    // Opens the database and checks that it has the member tables, what
    // keyed postings need (see KeySchema) when keyedPostings, and, on
    // PostgreSQL, that the connection's role holds no power beyond them (not
    // a superuser, not a member of pg_read_all_data and the like) unless
    // allowSuperuser. False with a one-line reason.
    static bool check(const QString& connectionString, bool allowSuperuser, bool keyedPostings,
                      QString& error);

    // Creates the schema when the member tables are missing, else adds the
    // key table and log columns of keyed postings when they are missing, and,
    // on PostgreSQL, the login role (roleName, with rolePassword when not
    // empty) that may only SELECT, INSERT and UPDATE CUST, VCardLog and
    // PostKey. done tells what was done; false with a reason.
    static bool initialize(const QString& connectionString, const QString& roleName,
                           const QString& rolePassword, QString& done, QString& error);
};

} // namespace memberd
