#pragma once

#include <QString>
#include <optional>

namespace tolva {

class AppContext;
class DeskLink;
class DeskState;
class DeskView;
class StatusLine;

// The customer panel and the query page: looks a card up through the link,
// issues a card on the number typed, updates the holder's data. Reads go
// through the link; writes to the local database when it is the master,
// else through the link. The card of the last query becomes the desk's
// current card.
class CustomerPanel {
public:
    CustomerPanel(AppContext& ctx, DeskView& view, DeskState& state, DeskLink& link, StatusLine& status)
        : m_ctx(ctx), m_view(view), m_state(state), m_link(link), m_status(status) {}

    void cmdQry_Click();
    void cmdIsuCard_Click();
    void cmdUPDCust_Click();
    bool UpdateCustData();

private:
    // Queries the card by number and/or name and shows what was found.
    void lookUp(const QString& cardNo, const QString& name);
    // A new card was looked up: the bill, amount and code typed for the
    // previous guest go (a handed-over request keeps its own).
    void clearPreviousGuest();
    // Card issue and customer update need a card number and the link.
    bool cardAndLinkReady();
    // Empties the panel, so a failed or empty query never leaves the
    // previous holder on screen.
    void clearCustomerPanel();
    // The row of the query's answer to show: the only one, or the one the
    // operator picks from a list of card, name and telephone; none when the
    // operator left the list.
    std::optional<int> pickCustomer();
    // Fills the panel from that row of the answer, the card number included.
    void fillCustomerPanel(int row);

    AppContext& m_ctx;
    DeskView& m_view;
    DeskState& m_state;
    DeskLink& m_link;
    StatusLine& m_status;
};

} // namespace tolva
