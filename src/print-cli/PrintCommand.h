#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tolva {

class AppContext;
class ReceiptLayouts;

// One receipt asked for on the command line:
//   check BILL [--printer NAME] [--preview]
//   order TABLE BATCH [--preview]
//   kb TABLE BATCH STATION [--preview]
struct PrintCommand {
    enum Kind { Check, Order, KB };
    Kind kind = Check;
    QStringList values; // BILL, or TABLE BATCH [STATION]
    QString printer;    // check only; empty: the bill printer of the settings store
    bool preview = false;

    // nullopt with error set when the arguments do not name one receipt.
    static std::optional<PrintCommand> parse(const QStringList& args, QString& error);
    static QString usage();

    // Produces the receipt; true when it was printed or previewed (or, for a
    // kitchen or bar ticket, when the station has nothing to make).
    bool run(AppContext& ctx, ReceiptLayouts& receipts) const;
};

} // namespace tolva
