#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

namespace memberd {

// The header a TCP balancer puts before a client's first bytes to say whose
// connection it passes on (the PROXY protocol; HAProxy's send-proxy and
// send-proxy-v2). Version 1 is one text line of at most 107 bytes,
// "PROXY TCP4 <source> <destination> <source port> <destination port>\r\n";
// version 2 a 16-byte binary header (a 12-byte signature, version and
// command, address family, the length of what follows) and its address block.
//
// parse() looks at the bytes received so far and never reads past them: it
// answers NeedMore while the header can still be completed, so that the
// caller asks again with more, and Invalid as soon as it cannot, also when it
// would be longer than either version allows.
class ProxyHeader {
public:
    enum class State { NeedMore, Done, Invalid };
    struct Result {
        State state = State::NeedMore;
        qsizetype length = 0; // bytes of the header (Done)
        // The balancer's own connection (a health check, v1 "UNKNOWN", v2
        // LOCAL or a family without an address): no client address carried.
        bool local = false;
        QHostAddress source; // the client's address, IPv4 for an IPv4-mapped one
        quint16 sourcePort = 0;
        QString error; // why it is Invalid
    };

    static constexpr qsizetype kMaxV1 = 107;
    // The 16 fixed bytes and at most this much address block and extensions.
    static constexpr qsizetype kMaxV2Block = 1024;

    static Result parse(const QByteArray& bytes);

private:
    static Result parseV1(const QByteArray& bytes);
    static Result parseV2(const QByteArray& bytes);
};

} // namespace memberd
