#pragma once

#include <QObject>

class QSocketNotifier;

namespace memberd {

// Turns SIGTERM and SIGINT into a Qt signal on the event loop: the handler
// only writes one byte into a socket pair, the loop reads it.
class SignalPipe : public QObject {
    Q_OBJECT

public:
    explicit SignalPipe(QObject* parent = nullptr);
    ~SignalPipe() override;
    bool isValid() const { return m_notifier != nullptr; }

signals:
    void terminate(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace memberd
