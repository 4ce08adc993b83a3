#pragma once

#include <QByteArray>

namespace memberd {

// The head of an HTTP/1.0 or 1.1 request as the metrics listener reads it:
// the request line and the header lines up to the blank line (CRLF or LF).
// The headers are not looked into; there is no body.
struct HttpRequest {
    enum class State { Incomplete, Complete, Malformed };
    State state = State::Incomplete;
    QByteArray method;
    QByteArray path; // the target without its query string

    // Reads what arrived so far.
    static HttpRequest parse(const QByteArray& bytes);
};

// The whole reply to a request head for the metrics listener: status line,
// Content-Type, Content-Length, "Connection: close" and the body.
QByteArray httpResponse(int status, const QByteArray& contentType, const QByteArray& body);

} // namespace memberd
