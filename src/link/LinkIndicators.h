#pragma once

#include <QString>

namespace tolva {

// The two captions of the main window that the link writes: the message line
// (elaMsg, emptied when a reply arrives) and the mode label (lblMode,
// "Connected.  " after a log-in). The window implements it.
class LinkIndicators {
public:
    virtual ~LinkIndicators() = default;
    virtual void setMessageLine(const QString& text) = 0;
    virtual void setModeCaption(const QString& text) = 0;
};

} // namespace tolva
