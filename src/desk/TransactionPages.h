#pragma once

#include "data/RecordWriters.h"

#include <QString>

namespace tolva {

class AppContext;
class DeskLink;
class DeskState;
class DeskView;
class StatusLine;

// The deposit page (index 0) and the deduction page (index 1): bill and
// amount entry, their checks, and the posting of a confirmed transaction -
// the balance and the log rows, locally when the local database is the
// master, else through the link - followed by the POS station's answer.
class TransactionPages {
public:
    TransactionPages(AppContext& ctx, DeskView& view, DeskState& state, DeskLink& link, StatusLine& status)
        : m_ctx(ctx), m_view(view), m_state(state), m_link(link), m_status(status) {}

    void cmdOK_Click(int index);
    void cmdRefNo_Click(int index);
    void cmdVoidAmt_Click(int index);
    // Checks when the amount or the bill field is left; cancel keeps the
    // focus in the field.
    void txtAmt_Validate(int index, bool& cancel);
    void txtCheckNo_Validate(int index, bool& cancel);

private:
    bool billExists(const QString& billNo);
    bool postMaster(const QString& balanceSql, int index, const QString& type, const QString& amount);
    bool postRemote(const QString& balanceSql, int index, const QString& type, const QString& amount);
    VCardLogRec logRow(int index, const QString& type, const QString& amount) const;
    bool writeLocalLog(int index, const QString& type, const QString& amount);
    void logPosting(const QString& step, int index, const QString& type, const QString& amount);
    // A balance statement that changed no row: refused in the operator's
    // words, by whether the card is still on file.
    void refuseUnchanged(const QString& type, bool cardOnFile);
    bool remoteCardOnFile(const QString& cardNo);
    // The balance statement or the remote log row got no reply: the posting
    // may or may not have happened at the service.
    void reportUnknownOutcome(const QString& step, int index, const QString& type, const QString& amount);
    // The amount the POS books: the handed-over amount when the operator
    // confirmed what the page opened with, else the amount confirmed.
    QString answerAmount(double confirmed) const;

    AppContext& m_ctx;
    DeskView& m_view;
    DeskState& m_state;
    DeskLink& m_link;
    StatusLine& m_status;
    // A confirmation whose balance statement has gone out is never posted again.
    bool m_posting = false;
};

} // namespace tolva
