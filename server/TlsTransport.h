#pragma once

#include "server/Transport.h"

#include <openssl/types.h>

namespace memberd {

// TLS on the connection's non-blocking socket, the service's side. The
// handshake runs from the first reads (a read or write OpenSSL cannot finish
// now answers Again, and events() tells when it wants the socket writable);
// afterwards read and write carry the desk's requests and replies.
//
// OpenSSL reads from the socket only the records it needs (no read-ahead),
// and a read takes a whole record (16 KiB), so nothing a read left waits
// inside OpenSSL: the loop's level-triggered epoll tells every time there is
// more to read (buffered() answers for anything that would wait all the same).
//
// A client whose first byte cannot begin a TLS handshake speaks clear text:
// the read fails, clearTextClient() says so, and from then on writes go out
// as they are, so the loop can answer it in the words of the link.
class TlsTransport : public Transport {
public:
    // Bytes a handshake may take from the client before it is given up.
    static constexpr unsigned long kMaxHandshakeBytes = 64 * 1024;

    TlsTransport(int fd, const TlsContext& context);
    ~TlsTransport() override;
    TlsTransport(const TlsTransport&) = delete;
    TlsTransport& operator=(const TlsTransport&) = delete;

    Io read(char* buffer, std::size_t size) override;
    Io write(const char* data, std::size_t size) override;
    uint32_t events() const override { return m_events; }
    bool buffered() const override;
    bool established() const override { return m_established; }
    QString failure() const override { return m_failure; }
    QString certificateStoreId() const override { return m_storeId; }
    bool clearTextClient() const override { return m_clearText; }
    void finish() override;

private:
    Io handshake();
    bool firstByteIsTls();
    // A read or write OpenSSL did not finish: Again with the socket event it
    // waits for, or Closed/Failed with the reason.
    Io stopped(int result, bool reading);

    int m_fd;
    SSL* m_ssl;
    bool m_established = false;
    bool m_clearText = false;
    bool m_broken = false;
    uint32_t m_events = 0;
    QString m_failure;
    QString m_storeId;
};

} // namespace memberd
