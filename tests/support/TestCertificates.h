#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Certificates made for one test with the openssl command line, in a folder
// of their own: a CA and, signed by it, a server certificate for an IP
// address (in its subjectAltName), client certificates whose CN names a
// store, and the faulty ones a desk or the service must refuse: one out of
// its dates, one for another address, and a server and a client certificate
// of another CA. EC P-256 keys, made quickly.
class TestCertificates {
public:
    // Makes the set for a service listening on address (127.x.y.z).
    explicit TestCertificates(const QString& address);

    // Whether every certificate was made; error() tells what went wrong.
    bool ok() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString ca() const { return path(QStringLiteral("ca.pem")); }
    QString otherCa() const { return path(QStringLiteral("other-ca.pem")); }
    // Certificate and key files "NAME.pem" and "NAME.key" for NAME:
    // "server" (the address), "expired" (the address, out of date),
    // "wrong-name" (another address), "other-server" (the address, other
    // CA), "client" (CN=S01), "other-client" (CN=S01, other CA).
    QString cert(const QString& name) const { return path(name + QStringLiteral(".pem")); }
    QString key(const QString& name) const { return path(name + QStringLiteral(".key")); }
    // memberd's options for TLS with one of the server certificates.
    QStringList serverArgs(const QString& name = QStringLiteral("server")) const;

private:
    bool run(const QStringList& args);
    bool makeCa(const QString& name, const QString& subject);
    bool request(const QString& name, const QString& subject);
    bool sign(const QString& name, const QString& caName, const QString& extensions);
    bool signOutOfDate(const QString& name, const QString& extensions);

    QTemporaryDir m_dir;
    QString m_error;
};
