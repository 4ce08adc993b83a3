#pragma once

#include "desk/FieldChecks.h"

#include <QList>
#include <QPair>
#include <QString>
#include <functional>

namespace tolva {

class AppContext;
class DeskState;
class LinkClient;

// The pages' common use of the link: logging in afresh before an operation,
// telling a request that got no reply from one that was refused, and the
// refusals shown in the message window.
class DeskLink {
public:
    DeskLink(AppContext& ctx, LinkClient& link, DeskState& state)
        : m_ctx(ctx), m_link(link), m_state(state) {}

    LinkClient& client() { return m_link; }

    // Logs in again before an operation that needs the link; false (with
    // the link marked down and lostText shown) when that fails. When the
    // service is back, so is the link.
    bool reconnect(const QString& lostText);
    // The same without a word to the operator.
    bool tryReconnect();
    // Runs after every log-in made by reconnect (pending postings are settled there).
    void setAfterLogin(std::function<void()> afterLogin) { m_afterLogin = std::move(afterLogin); }
    // True (the link marked down and the operator told) when the last
    // request got no reply or could not be sent.
    bool replyMissing();
    // Shows a refusal in the message window, up until the operator touches it.
    void refuse(const QString& text);
    // Refuses the first value that may not be sent; true when all may.
    bool valuesAllowed(const QList<QPair<FieldRule, QString>>& values);

private:
    AppContext& m_ctx;
    LinkClient& m_link;
    DeskState& m_state;
    std::function<void()> m_afterLogin;
};

} // namespace tolva
