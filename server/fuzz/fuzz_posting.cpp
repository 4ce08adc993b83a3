// The fields of keyed postings and queries by key as they arrive from the
// network: whatever is accepted holds a key of the allowed characters, one
// of the two types, an amount above zero with at most two decimals, a real
// business date and values that fit the log's columns.
#include "common/CodePage.h"
#include "server/PostingRequest.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool plainAmount(const QString& amount) {
    bool ok = false;
    const double value = amount.toDouble(&ok);
    const qsizetype point = amount.indexOf(QLatin1Char('.'));
    return ok && value > 0 && !amount.contains(QLatin1Char('e'), Qt::CaseInsensitive) &&
           (point < 0 || amount.size() - point - 1 <= 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const tolva::CodePage cp(QStringLiteral("CP950"));
    const QString text =
        cp.decode(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    memberd::PostingRequest r;
    QString reason;
    if (memberd::PostingRequest::parsePosting(text, r, reason)) {
        check(memberd::PostingRequest::isValidKey(r.key));
        check(r.typeCode == QLatin1String(r.type == memberd::PostingRequest::Type::Deposit ? "1" : "2"));
        check(!r.cardNo.isEmpty() && r.cardNo.size() <= 30);
        check(plainAmount(r.amount));
        check(r.businessDate.isValid());
        check(r.txnDept.size() <= 20 && r.refCheckNo.size() <= 30 && r.posId.size() <= 10 &&
              r.userId.size() <= 20 && r.authCode.size() <= 20);
        for (const QString& value : {r.cardNo, r.txnDept, r.refCheckNo, r.posId, r.userId, r.authCode})
            check(!value.contains(QLatin1Char('\t')));
    } else {
        check(!reason.isEmpty());
    }
    QString key;
    reason.clear();
    if (memberd::PostingRequest::parseQuery(text, key, reason))
        check(key == text && memberd::PostingRequest::isValidKey(key));
    else
        check(!reason.isEmpty());
    return 0;
}
