#include "dialogs/TickSource.h"

namespace tolva {

TimerTickSource::TimerTickSource(QObject* parent) : TickSource(parent) {
    connect(&m_timer, &QTimer::timeout, this, &TickSource::ticked);
}

} // namespace tolva
