#pragma once

#include "common/Formatting.h"
#include "common/PostingRecord.h"
#include "desk/CardOfQuery.h"
#include "link/Grid.h"
#include "link/LinkSettings.h"

#include <QString>
#include <functional>

namespace tolva {

// The transaction a POS station handed over, as the desk took it: bill,
// amount, type, card and the station's transaction id (all empty at a plain
// start), and the amount the page opened with (after any deposit bonus).
struct HandOffRequest {
    QString checkNo;
    double amount = 0;
    QString type;
    QString cardNo;
    QString txnId;
    double openedAmount = 0;

    // The request as handed over, the way the journal keeps it.
    HandedRequest handed() const {
        return {checkNo, type, checkNo.isEmpty() ? QString() : plainNumber(amount), cardNo, txnId};
    }
};

// What the pages of the desk share: the link's settings and state, the
// customer row and card of the last query, the hand-off, the store id.
class DeskState {
public:
    const LinkSettings& link() const { return m_link; }
    void setLinkAddress(const QString& host, const QString& password) {
        m_link.host = host;
        m_link.password = password;
    }
    void setLinkTls(const LinkTls& tls) { m_link.tls = tls; }
    // Logs in as this store (empty: with the password alone).
    void setLoginStore(const QString& store) { m_link.store = store; }

    // Whether the desk is logged in to the member service. Each setting is
    // what the desk learnt (a log-in made or failed, a reply missing) and is
    // told to the link watcher; forgetLink only starts over before a new
    // log-in, without a word.
    bool linked() const { return m_linked; }
    void setLinked(bool linked) {
        m_linked = linked;
        if (m_linkWatcher)
            m_linkWatcher(linked);
    }
    void forgetLink() { m_linked = false; }
    void setLinkWatcher(std::function<void(bool linked)> watcher) { m_linkWatcher = std::move(watcher); }

    // The working grid fgTMP: the customer row of the last card query.
    Grid& fgTMP() { return m_fgTMP; }
    const Grid& fgTMP() const { return m_fgTMP; }

    const CardOfQuery& card() const { return m_card; }
    void setCard(const QString& cardNo, double storedBalance) { m_card.set(cardNo, storedBalance); }
    void clearCard() { m_card.clear(); }

    const HandOffRequest& handOff() const { return m_handOff; }
    void setHandOff(const HandOffRequest& request) { m_handOff = request; }
    void setOpenedAmount(double amount) { m_handOff.openedAmount = amount; }

    // The station's store id (parameter "StoreID"), empty when not set.
    const QString& storeID() const { return m_storeID; }
    void setStoreID(const QString& id) { m_storeID = id; }

private:
    LinkSettings m_link;
    bool m_linked = false;
    std::function<void(bool)> m_linkWatcher;
    Grid m_fgTMP;
    CardOfQuery m_card;
    HandOffRequest m_handOff;
    QString m_storeID;
};

} // namespace tolva
