#include "desk/DeskLink.h"

#include "app/AppContext.h"
#include "desk/DeskState.h"
#include "desk/PostingTexts.h"
#include "link/LinkClient.h"

namespace tolva {

using postingtext::kLinkLost;

bool DeskLink::tryReconnect() {
    const LinkSettings& settings = m_state.link();
    if (settings.isComplete() && m_link.connectWith(settings)) {
        m_state.setLinked(true);
        if (m_afterLogin)
            m_afterLogin();
        return true;
    }
    m_state.setLinked(false);
    return false;
}

bool DeskLink::reconnect(const QString& lostText) {
    if (tryReconnect())
        return true;
    refuse(lostText);
    return false;
}

bool DeskLink::replyMissing() {
    const LinkOutcome outcome = m_link.lastOutcome();
    if (outcome != LinkOutcome::NoReply && outcome != LinkOutcome::NotSent)
        return false;
    m_state.setLinked(false);
    refuse(kLinkLost);
    return true;
}

void DeskLink::refuse(const QString& text) {
    m_ctx.dialogs.ShowRefusal(text);
}

bool DeskLink::valuesAllowed(const QList<QPair<FieldRule, QString>>& values) {
    for (const auto& [rule, value] : values) {
        const QString refusal = fieldRefusal(rule, value);
        if (!refusal.isEmpty()) {
            refuse(refusal);
            return false;
        }
    }
    return true;
}

} // namespace tolva
