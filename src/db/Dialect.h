#pragma once

#include <QString>

namespace tolva {

// What differs between the databases the program talks to: the server's
// current-time expression, the date literal delimiter and how the identity of
// the row just inserted is read back.
struct Dialect {
    QString key;           // first seven characters of the provider name, upper-cased
    QString serverDate;    // e.g. "getDate()"
    QString dateQuote;     // "'", "#" or "TO_DATE"
    QString identityQuery; // empty when the database offers none
    bool known = false;

    // The dialect row for a provider name; an unlisted provider gives an
    // unknown dialect that changes nothing.
    static Dialect forProvider(const QString& providerName);
};

} // namespace tolva
