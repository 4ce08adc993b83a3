#include "server/StoreLogin.h"

#include "server/Protocol.h"
#include "server/StorePasswords.h"

namespace memberd {

StoreLogin::StoreLogin(QByteArray sharedPassword, bool sharedAllowed, StorePasswords* stores)
    : m_shared(std::move(sharedPassword)), m_sharedAllowed(sharedAllowed), m_stores(stores) {}

bool StoreLogin::hasStores() const {
    return m_stores != nullptr;
}

// No shared password set matches nothing, an empty log-in included.
bool StoreLogin::sharedMatches(const QByteArray& password) const {
    return !m_shared.isEmpty() && constantTimeEquals(password, m_shared);
}

StoreLogin::Result StoreLogin::check(const QByteArray& data, const QString& transportStore) const {
    Result r;
    r.identity = transportStore;
    if (m_stores && !m_stores->refresh(r.warning))
        r.warning += QStringLiteral("; the store passwords read before still hold");
    if (!hasStores()) {
        r.accepted = sharedMatches(data);
        r.store = transportStore;
        if (!r.accepted)
            r.why = QStringLiteral("wrong password");
        return r;
    }
    const qsizetype tab = data.indexOf('\t');
    if (tab < 0) {
        // The shared password: the transport's store, or none when allowed.
        r.accepted = sharedMatches(data) && (m_sharedAllowed || !transportStore.isEmpty());
        r.store = transportStore;
        if (!r.accepted)
            r.why = sharedMatches(data) ? QStringLiteral("the shared password is not accepted (stores log in "
                                                         "with their own)")
                                        : QStringLiteral("wrong password");
        return r;
    }
    const QString named = QString::fromLatin1(data.left(tab));
    const QByteArray password = data.mid(tab + 1);
    const bool known = StorePasswords::isValidStoreId(named) && m_stores->contains(named);
    // Failures under names that are no store all count as one, so inventing
    // names buys no fresh tries.
    if (transportStore.isEmpty())
        r.identity = known ? named : QString();
    if (!transportStore.isEmpty() && named != transportStore) {
        r.why = QStringLiteral("logs in as store %1 with the certificate of store %2")
                    .arg(known ? named : QStringLiteral("(unknown)"), transportStore);
        return r;
    }
    r.accepted = m_stores->verify(named, password) && known;
    if (r.accepted)
        r.store = named;
    else
        r.why = known ? QStringLiteral("wrong password for store %1").arg(named)
                      : QStringLiteral("wrong password (no such store)");
    return r;
}

} // namespace memberd
