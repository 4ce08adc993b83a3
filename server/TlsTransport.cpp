#include "server/TlsTransport.h"

#include "server/TlsContext.h"

#include <cerrno>
#include <cstring>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/epoll.h>
#include <sys/socket.h>

namespace memberd {

namespace {

// The first byte of every TLS handshake: a record of type "handshake".
constexpr unsigned char kHandshakeRecord = 0x16;

QString commonName(const X509* certificate) {
    char name[256] = {};
    const int n =
        X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), NID_commonName, name, sizeof name);
    return n > 0 ? QString::fromUtf8(name, n) : QString();
}

} // namespace

TlsTransport::TlsTransport(int fd, const TlsContext& context) : m_fd(fd), m_ssl(SSL_new(context.context())) {
    if (!m_ssl || SSL_set_fd(m_ssl, fd) != 1) {
        m_broken = true;
        m_failure = QStringLiteral("cannot set up TLS: ") + TlsContext::takeErrors();
        return;
    }
    SSL_set_accept_state(m_ssl);
}

TlsTransport::~TlsTransport() {
    SSL_free(m_ssl);
}

bool TlsTransport::firstByteIsTls() {
    unsigned char first = 0;
    const ssize_t n = ::recv(m_fd, &first, 1, MSG_PEEK);
    return n <= 0 || first == kHandshakeRecord; // nothing yet, or gone: OpenSSL tells
}

Transport::Io TlsTransport::handshake() {
    ERR_clear_error();
    if (SSL_in_before(m_ssl) && !firstByteIsTls()) {
        // Its request is read and dropped, so the socket closes with a FIN
        // and the refusal reaches it.
        char request[4096];
        [[maybe_unused]] const ssize_t n = ::recv(m_fd, request, sizeof request, 0);
        m_clearText = true;
        m_broken = true;
        m_failure = QStringLiteral("clear text at the TLS port");
        return {State::Failed};
    }
    const int result = SSL_do_handshake(m_ssl);
    if (BIO_number_read(SSL_get_rbio(m_ssl)) > kMaxHandshakeBytes) {
        m_broken = true;
        m_failure = QStringLiteral("handshake longer than %1 bytes").arg(kMaxHandshakeBytes);
        return {State::Failed};
    }
    if (result != 1)
        return stopped(result, true);
    m_established = true;
    m_events = 0;
    if (X509* peer = SSL_get1_peer_certificate(m_ssl)) {
        // Verified during the handshake when a client CA is configured; a
        // certificate not asked for names nobody.
        if (SSL_get_verify_mode(m_ssl) & SSL_VERIFY_PEER)
            m_storeId = commonName(peer);
        X509_free(peer);
    }
    return {State::Moved};
}

Transport::Io TlsTransport::read(char* buffer, std::size_t size) {
    if (m_broken)
        return {State::Failed};
    if (!m_established) {
        const Io done = handshake();
        if (done.state != State::Moved)
            return done;
    }
    ERR_clear_error();
    std::size_t n = 0;
    const int result = SSL_read_ex(m_ssl, buffer, size, &n);
    if (result == 1) {
        m_events = 0;
        return {State::Moved, n};
    }
    return stopped(result, true);
}

Transport::Io TlsTransport::write(const char* data, std::size_t size) {
    if (m_clearText) {
        // Only the refusal of a clear-text client goes this way.
        const ssize_t n = ::send(m_fd, data, size, MSG_NOSIGNAL);
        return n > 0 ? Io{State::Moved, static_cast<std::size_t>(n)} : Io{State::Failed};
    }
    if (m_broken || !m_established)
        return {State::Failed};
    ERR_clear_error();
    std::size_t n = 0;
    const int result = SSL_write_ex(m_ssl, data, size, &n);
    if (result == 1)
        return {State::Moved, n};
    return stopped(result, false);
}

// A write that must wait for the socket is taken up again by the loop's
// pending output (it waits for EPOLLOUT anyway); only a read that must write
// first asks for the event itself.
Transport::Io TlsTransport::stopped(int result, bool reading) {
    const int error = SSL_get_error(m_ssl, result);
    // A client gone before its first byte (a port check, a balancer's health
    // check) only disconnected: no handshake was tried.
    if ((error == SSL_ERROR_SYSCALL || error == SSL_ERROR_SSL) && !m_established &&
        BIO_number_read(SSL_get_rbio(m_ssl)) == 0) {
        m_broken = true;
        ERR_clear_error();
        return {State::Closed};
    }
    switch (error) {
    case SSL_ERROR_WANT_READ:
        m_events = 0;
        ERR_clear_error();
        return {State::Again};
    case SSL_ERROR_WANT_WRITE:
        m_events = reading ? uint32_t{EPOLLOUT} : 0u;
        ERR_clear_error();
        return {State::Again};
    case SSL_ERROR_ZERO_RETURN:
        m_broken = true;
        return {State::Closed};
    case SSL_ERROR_SYSCALL: {
        m_broken = true;
        const int number = errno;
        QString reasons = TlsContext::takeErrors();
        // The peer went away without a word: during the handshake that is a
        // failed handshake, afterwards an ordinary disconnect.
        if (reasons.isEmpty() && m_established)
            return {State::Closed};
        if (reasons.isEmpty())
            reasons = number != 0 ? QString::fromLocal8Bit(std::strerror(number))
                                  : QStringLiteral("connection closed during the handshake");
        m_failure = reasons;
        return {State::Failed};
    }
    default: {
        m_broken = true;
        m_failure = TlsContext::takeErrors();
        if (!m_established) {
            const long verify = SSL_get_verify_result(m_ssl);
            if (verify != X509_V_OK)
                m_failure += QStringLiteral(" (client certificate: ") +
                             QString::fromLatin1(X509_verify_cert_error_string(verify)) + QLatin1Char(')');
        }
        if (m_failure.isEmpty())
            m_failure = QStringLiteral("TLS error %1").arg(error);
        return {State::Failed};
    }
    }
}

bool TlsTransport::buffered() const {
    return m_established && !m_broken && SSL_pending(m_ssl) > 0;
}

void TlsTransport::finish() {
    // A close_notify, as far as the socket takes it now; nothing is waited for.
    if (m_established && !m_broken)
        SSL_shutdown(m_ssl);
    ERR_clear_error();
}

} // namespace memberd
