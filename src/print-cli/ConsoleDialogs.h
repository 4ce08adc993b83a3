#pragma once

#include "common/SilentDialogs.h"

#include <QString>

namespace tolva {

// The operator dialogs of the command-line printer: silent, with the last
// message shown kept as the reason the program gives when it ends without
// its result.
class ConsoleDialogs : public SilentDialogs {
public:
    // The last message or question, on one line; empty when none was shown.
    QString lastMessage() const { return m_last; }

protected:
    void shown(const QString& text) override { m_last = text.simplified(); }

private:
    QString m_last;
};

} // namespace tolva
