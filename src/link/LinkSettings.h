#pragma once

#include <QString>

namespace tolva {

// TLS on the link: the CA that signed the member service's certificate (a
// PEM file), and the desk's own certificate and key for a service that asks
// for one (both or neither). With TLS on the link never speaks clear text.
struct LinkTls {
    bool on = false;
    QString caFile;
    QString certFile;
    QString keyFile;
};

// Where the link connects and how it logs in: the member service's host
// (port 3501), the password of its log-in and the prefix of every request.
// One value, held by the desk and handed to the link client.
struct LinkSettings {
    QString host;
    QString password;
    // The store the desk logs in as, with that store's own password
    // ("STORE<TAB>password"); empty: the password alone, as every service takes it.
    QString store;
    QString port = QStringLiteral("3501");
    QString prefix = QStringLiteral("ZELQ");
    LinkTls tls;

    bool isComplete() const { return !host.isEmpty() && !password.isEmpty(); }
    // The data of the log-in request.
    QString loginData() const { return store.isEmpty() ? password : store + QLatin1Char('\t') + password; }
};

} // namespace tolva
