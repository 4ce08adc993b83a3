#include "server/PgStatementCache.h"

namespace memberd {

PgStatementCache::Statement& PgStatementCache::use(const QByteArray& text, std::vector<QByteArray>& dropped) {
    const auto found = m_byText.constFind(text);
    if (found != m_byText.constEnd()) {
        m_order.splice(m_order.begin(), m_order, found.value());
        ++m_order.front().second.uses;
        return m_order.front().second;
    }
    m_order.emplace_front(text, Statement{State::Seen, {}, 1});
    m_byText.insert(text, m_order.begin());
    while (static_cast<int>(m_order.size()) > m_capacity) {
        const Item& last = m_order.back();
        if (last.second.state == State::Prepared)
            dropped.push_back(last.second.name);
        m_byText.remove(last.first);
        m_order.pop_back();
    }
    return m_order.front().second;
}

void PgStatementCache::markFailed(const QByteArray& text) {
    const auto found = m_byText.constFind(text);
    if (found == m_byText.constEnd())
        return;
    found.value()->second.state = State::Failed;
    found.value()->second.name.clear();
}

void PgStatementCache::markUnprepared(const QByteArray& text) {
    const auto found = m_byText.constFind(text);
    if (found == m_byText.constEnd())
        return;
    found.value()->second.state = State::Seen;
    found.value()->second.name.clear();
}

void PgStatementCache::clear() {
    m_byText.clear();
    m_order.clear();
}

} // namespace memberd
