// The request head of the metrics listener: bytes straight from the network.
// Whatever arrives, a complete head names a path that starts with "/" and
// holds neither blanks nor a query, the answer is the same for every longer
// input that begins with a complete head, and a head that is malformed stays
// malformed however much more arrives.
#include "server/HttpRequest.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

using memberd::HttpRequest;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const HttpRequest whole = HttpRequest::parse(input);
    const HttpRequest more = HttpRequest::parse(input + "\r\n\r\nGET /x HTTP/1.1\r\n\r\n");
    switch (whole.state) {
    case HttpRequest::State::Complete:
        if (!whole.path.startsWith('/') || whole.path.contains(' ') || whole.path.contains('?') ||
            whole.method.isEmpty())
            std::abort();
        if (more.state != HttpRequest::State::Complete || more.path != whole.path ||
            more.method != whole.method)
            std::abort();
        break;
    case HttpRequest::State::Malformed:
        if (more.state != HttpRequest::State::Malformed)
            std::abort();
        break;
    case HttpRequest::State::Incomplete:
        if (more.state == HttpRequest::State::Incomplete)
            std::abort();
        break;
    }
    return 0;
}
