// The desk's reply parser: replies assembled from segments as the socket
// hands them over, then split into their fields, and their data read as the
// answer to a keyed posting.
#include "common/CodePage.h"
#include "link/KeyedWire.h"
#include "link/WireCodec.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const tolva::CodePage cp(QStringLiteral("CP950"));
    static const tolva::WireCodec codec(cp);
    if (size == 0)
        return 0;
    // The first byte chooses the segment length, the rest is what arrives.
    const qsizetype step = 1 + data[0] % 64;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    QByteArray pending;
    for (qsizetype at = 0; at < input.size(); at += step) {
        const std::optional<QString> message = codec.assemble(pending, input.mid(at, step));
        if (!message)
            continue;
        if (!pending.isEmpty() || message->contains(QChar(0x03)))
            std::abort();
        const tolva::WireReply reply = tolva::WireReply::split(*message);
        if (reply.prefix.size() > 4 || reply.command.size() > 6 || reply.rc.size() > 2 ||
            reply.count.size() > 6)
            std::abort();
        (void)reply.ok();
        (void)tolva::keyedwire::parseAnswer(reply.data);
    }
    return 0;
}
