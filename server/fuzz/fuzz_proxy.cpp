// The PROXY header of a balancer's connection: bytes straight from the
// network. Whatever arrives, the parser stays within the bytes it was given
// and within the bounds of the header, and it answers the same however the
// bytes are split into reads.
#include "server/ProxyHeader.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

using memberd::ProxyHeader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ProxyHeader::Result whole = ProxyHeader::parse(input);
    switch (whole.state) {
    case ProxyHeader::State::NeedMore:
        // Waiting for more is bounded by the longer of the two versions.
        if (input.size() >= 16 + ProxyHeader::kMaxV2Block)
            std::abort();
        break;
    case ProxyHeader::State::Invalid:
        if (whole.error.isEmpty())
            std::abort();
        break;
    case ProxyHeader::State::Done: {
        if (whole.length <= 0 || whole.length > input.size())
            std::abort();
        const bool v1 = input.startsWith('P');
        if (v1 ? whole.length > ProxyHeader::kMaxV1 : whole.length > 16 + ProxyHeader::kMaxV2Block)
            std::abort();
        if (!whole.local && whole.source.isNull())
            std::abort();
        // The same answer from the header alone; nothing but NeedMore from any part of it.
        const ProxyHeader::Result exact = ProxyHeader::parse(input.left(whole.length));
        if (exact.state != ProxyHeader::State::Done || exact.length != whole.length ||
            exact.source != whole.source || exact.sourcePort != whole.sourcePort)
            std::abort();
        for (qsizetype n = 1; n < whole.length; ++n)
            if (ProxyHeader::parse(input.left(n)).state != ProxyHeader::State::NeedMore)
                std::abort();
        break;
    }
    }
    // Once refused, more bytes never make it a header.
    if (whole.state == ProxyHeader::State::Invalid &&
        ProxyHeader::parse(input + QByteArray(8, '\n')).state != ProxyHeader::State::Invalid)
        std::abort();
    return 0;
}
