// The literals of a statement moved out into parameters for a prepared
// statement (LiteralParameters): putting them back gives the statement as it
// was, and the text with its parameters never holds a literal that was moved.
#include "server/LiteralParameters.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString sql = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const memberd::LiteralParameters split = memberd::LiteralParameters::split(sql);
    if (split.joined() != sql)
        std::abort();
    if (!split.preparable && !split.values.isEmpty())
        std::abort();
    if (split.where.size() != split.values.size())
        std::abort();
    for (qsizetype n = 0; n < split.where.size(); ++n) {
        const QString marker = QLatin1Char('$') + QString::number(n + 1);
        if (QStringView(split.text).mid(split.where.at(n), marker.size()) != marker)
            std::abort();
    }
    return 0;
}
