// The request decoder: framing by the terminator, the fixed fields, the code
// page and the reply built from what was decoded.
#include "common/CodePage.h"
#include "server/Protocol.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const tolva::CodePage cp(QStringLiteral("CP950"));
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    qsizetype start = 0;
    while (start < input.size()) {
        qsizetype end = input.indexOf(memberd::kEnd, start);
        if (end < 0)
            end = input.size();
        const memberd::Request r = memberd::Request::parse(input.mid(start, end - start));
        const QString text = memberd::cleanValue(cp.decode(r.data));
        const QByteArray out = memberd::reply(cp, r.prefix, r.command, memberd::rc::kOk, text.size(), text);
        // A reply is one message: exactly one terminator, at its end, after the 18 fixed bytes.
        if (out.size() < 19 || out.indexOf(memberd::kEnd) != out.size() - 1)
            std::abort();
        if (r.wellFormed != (end - start >= 12))
            std::abort();
        start = end + 1;
    }
    return 0;
}
