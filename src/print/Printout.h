#pragma once

#include "print/Document.h"
#include "print/ExportGrid.h"

#include <QString>
#include <functional>

namespace tolva {

// What a report hands to the preview: its pages, the rows its CSV export
// saves and its title (the proposed name of the CSV file).
struct Printout {
    Document document;
    ExportGrid rows;
    QString header;
    // False: the preview offers no CSV export (the rows are not meant to be saved).
    bool exportable = false;

    // A large report comes with its first pages composed and composes the
    // rest in parts: each call of more adds the next part and answers true
    // while more remains. The preview shows the first page at once and asks
    // for the rest while the operator looks at it. Empty when complete.
    std::function<bool(Printout&)> more;
    // Set by more when composing failed (the failure was reported already);
    // the report is then not to be shown or printed.
    bool failed = false;

    bool complete() const { return !more; }
    // Composes whatever remains.
    void finish() {
        while (more && more(*this)) {
        }
        more = nullptr;
    }
};

} // namespace tolva
