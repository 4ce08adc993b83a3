#pragma once

#include <QByteArray>
#include <QString>

namespace memberd {

class StorePasswords;

// Decides a log-in (TCPCNT) and who the connection then is.
//
// The log-in's data is the shared password, as always, or "STORE<TAB>password"
// for a store with a password of its own (--store-passwords). Without store
// passwords the data is compared whole with the shared password, exactly as
// before stores had passwords.
//
// The transport may already know the store (a verified client certificate
// names it): that identity is the connection's store, the password is checked
// as well, and a log-in naming another store is refused.
//
// With store passwords the shared password alone is refused unless
// sharedAllowed (--allow-shared-password), which lets desks not yet given a
// store password work on during a change-over: such a connection is no store
// and may post as any, as before.
class StoreLogin {
public:
    struct Result {
        bool accepted = false;
        QString store;    // the connection's store; empty: none (the shared password)
        QString identity; // whose failure a refusal counts as: a known store, else empty
        QString why;      // a refusal, for the log
        QString warning;  // the store passwords changed and no longer read: the old ones hold
    };

    // stores: null when no store passwords are configured.
    StoreLogin(QByteArray sharedPassword, bool sharedAllowed, StorePasswords* stores);

    Result check(const QByteArray& data, const QString& transportStore) const;
    bool hasStores() const;

private:
    bool sharedMatches(const QByteArray& password) const;

    QByteArray m_shared;
    bool m_sharedAllowed;
    StorePasswords* m_stores;
};

} // namespace memberd
