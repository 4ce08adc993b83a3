#pragma once

#include <QByteArray>
#include <QHash>
#include <list>
#include <vector>

namespace memberd {

// The prepared statements of one PostgreSQL connection, by their text, the
// least recently used dropped first. A text is prepared the second time it
// is seen: statements that come once (a number in them differs each time)
// cost no prepare and no DEALLOCATE. A text that failed to prepare is
// remembered and runs unprepared from then on.
class PgStatementCache {
public:
    enum class State { Seen, Prepared, Failed };
    struct Statement {
        State state = State::Seen;
        QByteArray name; // when prepared
        int uses = 0;
    };

    explicit PgStatementCache(int capacity = 256) : m_capacity(capacity) {}

    // The statement of this text, now the most recently used; a new one is
    // Seen. Names of prepared statements pushed out go to dropped: the
    // caller deallocates them.
    Statement& use(const QByteArray& text, std::vector<QByteArray>& dropped);
    // A new name for a statement about to be prepared.
    QByteArray newName() { return "m" + QByteArray::number(++m_names); }
    void markFailed(const QByteArray& text);
    // Its prepare never ran (skipped after another request's error): it is
    // prepared again when it next comes.
    void markUnprepared(const QByteArray& text);
    // The connection is gone, and its statements with it.
    void clear();
    int size() const { return static_cast<int>(m_order.size()); }

private:
    using Item = std::pair<QByteArray, Statement>;
    int m_capacity;
    quint64 m_names = 0;
    std::list<Item> m_order; // most recently used first
    QHash<QByteArray, std::list<Item>::iterator> m_byText;
};

} // namespace memberd
