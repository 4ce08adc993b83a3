#pragma once

#include <QObject>
#include <QTimer>

namespace tolva {

// Where a window's periodic ticks come from. The program uses a timer; tests
// hand in a source they fire themselves, so no test waits on the clock.
class TickSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;

signals:
    void ticked();
};

// Ticks from a QTimer.
class TimerTickSource final : public TickSource {
    Q_OBJECT
public:
    explicit TimerTickSource(QObject* parent = nullptr);

    void start(int intervalMs) override { m_timer.start(intervalMs); }
    void stop() override { m_timer.stop(); }
    bool isActive() const { return m_timer.isActive(); }
    int interval() const { return m_timer.interval(); }

private:
    QTimer m_timer;
};

} // namespace tolva
