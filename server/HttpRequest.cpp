#include "server/HttpRequest.h"

namespace memberd {

namespace {

bool isTokenChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// Printable ASCII without blanks: what a request target may hold.
bool isTargetChar(char c) {
    return c > ' ' && c < 127;
}

const char* reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

} // namespace

HttpRequest HttpRequest::parse(const QByteArray& bytes) {
    HttpRequest r;
    const qsizetype lineEnd = bytes.indexOf('\n');
    if (lineEnd < 0)
        return r;
    QByteArray line = bytes.left(lineEnd);
    if (line.endsWith('\r'))
        line.chop(1);
    const auto malformed = [&r] {
        r.state = State::Malformed;
        return r;
    };
    const qsizetype first = line.indexOf(' ');
    const qsizetype second = first < 0 ? -1 : line.indexOf(' ', first + 1);
    if (first <= 0 || second < 0 || line.indexOf(' ', second + 1) >= 0)
        return malformed();
    const QByteArray method = line.left(first);
    const QByteArray target = line.mid(first + 1, second - first - 1);
    const QByteArray version = line.mid(second + 1);
    for (const char c : method)
        if (!isTokenChar(c))
            return malformed();
    if (target.isEmpty() || !target.startsWith('/'))
        return malformed();
    for (const char c : target)
        if (!isTargetChar(c))
            return malformed();
    if (version != "HTTP/1.0" && version != "HTTP/1.1")
        return malformed();
    // The head ends with an empty line.
    qsizetype at = lineEnd + 1;
    while (true) {
        const qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            return r;
        const qsizetype length = end - at - (end > at && bytes.at(end - 1) == '\r' ? 1 : 0);
        if (length == 0)
            break;
        at = end + 1;
    }
    r.state = State::Complete;
    r.method = method;
    const qsizetype query = target.indexOf('?');
    r.path = query < 0 ? target : target.left(query);
    return r;
}

QByteArray httpResponse(int status, const QByteArray& contentType, const QByteArray& body) {
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) +
           "\r\nContent-Type: " + contentType + "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace memberd
