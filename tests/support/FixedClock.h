#pragma once

#include "common/Clock.h"

// A clock that stands still until the test moves it.
class FixedClock : public tolva::Clock {
public:
    explicit FixedClock(QDateTime at = QDateTime(QDate(2005, 3, 7), QTime(18, 42, 5)))
        : m_at(std::move(at)) {}
    QDateTime now() const override { return m_at; }
    void set(const QDateTime& at) { m_at = at; }
    void advanceSecs(int secs) { m_at = m_at.addSecs(secs); }

private:
    QDateTime m_at;
};
