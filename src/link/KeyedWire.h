#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace tolva {

struct PostingRecord;

// The outcome of a keyed posting at the member service.
enum class PostOutcome {
    Posted, // P: the balance moved and the log row was written
    Short,  // S: a deduction larger than the balance; nothing moved
    NoCard, // N: no card with that number; nothing moved
    Voided, // X: the key was closed by a query; nothing moved, nothing will
};

struct KeyedAnswer {
    PostOutcome outcome = PostOutcome::Voided;
    bool replay = false; // the key was known: this is the first outcome
};

namespace keyedwire {
inline const QString kPost = QStringLiteral("POSTKY");
inline const QString kQuery = QStringLiteral("POSTQY");

// The data of a POSTKY request: eleven TAB-separated fields; values are
// cleaned as every value on the wire (TAB, ";", CR, LF, char 3 -> blank).
QString postData(const PostingRecord& posting, bool offline);
// The answer's data: header "Outcome<TAB>Replay" and one row. nullopt when it
// does not read as such an answer.
std::optional<KeyedAnswer> parseAnswer(const QString& data);
} // namespace keyedwire

} // namespace tolva
