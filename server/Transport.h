#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace memberd {

class TlsContext;

// How a connection's bytes cross its socket: as they are (PlainTransport) or
// through TLS (TlsTransport). The connection loop reads and writes only
// through it; the socket stays non-blocking and the loop owns it (its epoll
// registration, its closing).
class Transport {
public:
    // Moved: bytes were read or written. Again: nothing now, wait for the
    // socket (events() says which way). Closed: the client ended the
    // connection. Failed: the connection is broken (failure() says why).
    enum class State { Moved, Again, Closed, Failed };
    struct Io {
        State state;
        std::size_t bytes = 0;
    };

    virtual ~Transport() = default;
    virtual Io read(char* buffer, std::size_t size) = 0;
    virtual Io write(const char* data, std::size_t size) = 0;
    // epoll events the transport itself waits for beyond the connection's
    // own (a handshake that must write before it can read on).
    virtual uint32_t events() const { return 0; }
    // Whether read bytes wait inside the transport, beyond what the last read
    // handed out (the socket will not tell of them).
    virtual bool buffered() const { return false; }
    // Whether the bytes after the handshake are those of the desk's requests.
    virtual bool established() const { return true; }
    // Why the last read or write failed, one line.
    virtual QString failure() const { return {}; }
    // The client certificate's subject CN, checked against the client CA
    // during the handshake; empty when none was asked for.
    virtual QString certificateStoreId() const { return {}; }
    // Whether a read failed because the client speaks the link in clear text
    // where TLS was expected; writes then go out as they are, for its refusal.
    virtual bool clearTextClient() const { return false; }
    // Before the socket closes: a TLS connection says so to its peer.
    virtual void finish() {}

    static std::unique_ptr<Transport> plain(int fd);
    static std::unique_ptr<Transport> tls(int fd, const TlsContext& context);
};

} // namespace memberd
