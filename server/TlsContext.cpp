#include "server/TlsContext.h"

#include "server/SecretSources.h"

#include <QFile>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace memberd {

namespace {

// An encrypted key would make OpenSSL ask on the terminal: a service has none.
int noPassphrase(char*, int, int, void*) {
    return 0;
}

QString nameLine(const X509_NAME* name) {
    char text[512] = {};
    X509_NAME_oneline(name, text, sizeof text);
    return QString::fromUtf8(text);
}

QString timeText(const ASN1_TIME* time) {
    tm t{};
    if (!ASN1_TIME_to_tm(time, &t))
        return QStringLiteral("?");
    return QStringLiteral("%1-%2-%3")
        .arg(t.tm_year + 1900)
        .arg(t.tm_mon + 1, 2, 10, QLatin1Char('0'))
        .arg(t.tm_mday, 2, 10, QLatin1Char('0'));
}

bool readable(const char* option, const QString& path, QString& error) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        return true;
    error =
        QStringLiteral("--%1 %2: cannot read: %3").arg(QString::fromLatin1(option), path, file.errorString());
    return false;
}

// A failed step of the set-up: the option, its file, what was wrong and OpenSSL's reason.
bool refuse(QString& error, const char* option, const QString& path, const QString& what) {
    error = QStringLiteral("--%1 %2: %3").arg(QString::fromLatin1(option), path, what);
    const QString reasons = TlsContext::takeErrors();
    if (!reasons.isEmpty())
        error += QStringLiteral(" (") + reasons + QLatin1Char(')');
    return false;
}

} // namespace

QString TlsContext::takeErrors() {
    QStringList reasons;
    while (const unsigned long code = ERR_get_error()) {
        const char* reason = ERR_reason_error_string(code);
        const QString text = reason ? QString::fromLatin1(reason) : QStringLiteral("error %1").arg(code);
        if (!reasons.contains(text))
            reasons << text;
    }
    return reasons.join(QStringLiteral("; "));
}

TlsContext::~TlsContext() {
    SSL_CTX_free(m_ctx);
}

std::shared_ptr<TlsContext> TlsContext::load(const ServerOptions& o, QStringList& warnings, QString& error) {
    ERR_clear_error();
    if (!readable("tls-cert", o.tlsCert, error) || !readable("tls-key", o.tlsKey, error) ||
        (!o.tlsClientCa.isEmpty() && !readable("tls-client-ca", o.tlsClientCa, error)))
        return nullptr;
    // The key is a secret: who may change it may speak as the service.
    QString keyError;
    if (!SecretSources::checkFile(o.tlsKey, warnings, keyError)) {
        error = QStringLiteral("--tls-key: ") + keyError;
        return nullptr;
    }
    SSL_CTX* raw = SSL_CTX_new(TLS_server_method());
    if (!raw) {
        error = QStringLiteral("cannot set up TLS: ") + takeErrors();
        return nullptr;
    }
    std::shared_ptr<TlsContext> tls(new TlsContext(raw));
    SSL_CTX_set_min_proto_version(raw, TLS1_2_VERSION);
    SSL_CTX_set_options(raw,
                        SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION | SSL_OP_CIPHER_SERVER_PREFERENCE);
    // Writes may end part way and be taken up again from a buffer that moved.
    SSL_CTX_set_mode(raw, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_default_passwd_cb(raw, noPassphrase);

    const QByteArray cert = QFile::encodeName(o.tlsCert);
    const QByteArray key = QFile::encodeName(o.tlsKey);
    if (SSL_CTX_use_certificate_chain_file(raw, cert.constData()) != 1) {
        refuse(error, "tls-cert", o.tlsCert, QStringLiteral("not a PEM certificate"));
        return nullptr;
    }
    // Read apart from the certificate, so a key that is no key and a key of
    // another certificate are told apart.
    EVP_PKEY* privateKey = nullptr;
    if (BIO* in = BIO_new_file(key.constData(), "r")) {
        privateKey = PEM_read_bio_PrivateKey(in, nullptr, noPassphrase, nullptr);
        BIO_free(in);
    }
    if (!privateKey) {
        refuse(error, "tls-key", o.tlsKey, QStringLiteral("not a PEM private key without a passphrase"));
        return nullptr;
    }
    const int used = SSL_CTX_use_PrivateKey(raw, privateKey);
    EVP_PKEY_free(privateKey);
    if (used != 1 || SSL_CTX_check_private_key(raw) != 1) {
        refuse(error, "tls-key", o.tlsKey,
               QStringLiteral("does not belong to the certificate in --tls-cert ") + o.tlsCert);
        return nullptr;
    }
    if (!o.tlsClientCa.isEmpty()) {
        const QByteArray ca = QFile::encodeName(o.tlsClientCa);
        STACK_OF(X509_NAME)* names = SSL_load_client_CA_file(ca.constData());
        if (!names || SSL_CTX_load_verify_locations(raw, ca.constData(), nullptr) != 1) {
            sk_X509_NAME_pop_free(names, X509_NAME_free);
            refuse(error, "tls-client-ca", o.tlsClientCa, QStringLiteral("holds no PEM CA certificate"));
            return nullptr;
        }
        SSL_CTX_set_client_CA_list(raw, names);
        SSL_CTX_set_verify(raw, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
        tls->m_clientCa = true;
    }

    const X509* own = SSL_CTX_get0_certificate(raw);
    tls->m_description = QStringLiteral("%1, valid until %2")
                             .arg(nameLine(X509_get_subject_name(own)), timeText(X509_get0_notAfter(own)));
    if (X509_cmp_current_time(X509_get0_notAfter(own)) < 0)
        warnings << QStringLiteral("--tls-cert %1: the certificate expired on %2; desks will refuse it")
                        .arg(o.tlsCert, timeText(X509_get0_notAfter(own)));
    else if (X509_cmp_current_time(X509_get0_notBefore(own)) > 0)
        warnings << QStringLiteral("--tls-cert %1: the certificate is valid only from %2")
                        .arg(o.tlsCert, timeText(X509_get0_notBefore(own)));
    return tls;
}

} // namespace memberd
