#pragma once

#include "server/ServerOptions.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <openssl/types.h>

namespace memberd {

// The TLS settings of the service: one SSL_CTX made from --tls-cert,
// --tls-key and --tls-client-ca, shared by every connection thread (OpenSSL
// makes connections from one context on any thread). TLS 1.2 at least, no
// renegotiation, no compression; with a client CA a desk without a
// certificate it signed is refused during the handshake.
class TlsContext {
public:
    // Reads and checks the files: each readable, the certificate and key in
    // PEM, the key (not encrypted) matching the certificate, the client CA
    // holding certificates. Null with a one-line reason naming the option
    // and file; warnings (a key others may read, a certificate out of its
    // dates) are appended to.
    static std::shared_ptr<TlsContext> load(const ServerOptions& options, QStringList& warnings,
                                            QString& error);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    SSL_CTX* context() const { return m_ctx; }
    bool requiresClientCertificate() const { return m_clientCa; }
    // The certificate's subject and last day, for the start's log line.
    const QString& description() const { return m_description; }

    // OpenSSL's reasons queued on this thread, as one line; the queue is emptied.
    static QString takeErrors();

private:
    explicit TlsContext(SSL_CTX* ctx) : m_ctx(ctx) {}

    SSL_CTX* m_ctx;
    bool m_clientCa = false;
    QString m_description;
};

} // namespace memberd
