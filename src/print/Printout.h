#pragma once

#include "print/Document.h"
#include "print/ExportGrid.h"

#include <QString>

namespace tolva {

// What a report hands to the preview: its pages, the rows its CSV export
// saves and its title (the proposed name of the CSV file).
struct Printout {
    Document document;
    ExportGrid rows;
    QString header;
    // False: the preview offers no CSV export (the rows are not meant to be saved).
    bool exportable = false;
};

} // namespace tolva
