#pragma once

#include <QString>
#include <QStringList>

namespace tolva {

class Document;
struct Printout;

// Printers and the preview, as the program's logic sees them. The widget
// build implements it with QPrinter and the preview window; tests use a fake
// that records the documents it got. Failures (printer gone, the print
// system refusing the job, a file that cannot be written) throw a Fault with
// a message for the operator; nothing is half-printed silently.
class Printing {
public:
    virtual ~Printing() = default;

    // The installed printers; a printer's index is its position.
    virtual QStringList printers() = 0;
    // The default printer's name; empty when there is none.
    virtual QString defaultPrinter() = 0;

    // Whether a printer of this name is installed. The print system ignores
    // letter case in queue names, so that is the default; pass
    // Qt::CaseSensitive for an exact whole-name comparison.
    bool isInstalled(const QString& name, Qt::CaseSensitivity cs = Qt::CaseInsensitive) {
        for (const QString& p : printers()) {
            if (p.compare(name, cs) == 0)
                return true;
        }
        return false;
    }

    // Shows the report in the preview window and returns when the operator
    // closed it; the window keeps the report until the next one replaces it.
    // The operator may print it and save its rows from there.
    virtual void preview(Printout report) = 0;

    // Prints pages fromPage..toPage (1-based, 0: first / last) to the printer
    // named (empty: the document's printer, else the default printer).
    virtual void print(const Document& document, const QString& printer, int fromPage = 0,
                       int toPage = 0) = 0;
    // Opens the printer dialog; when the operator confirms, prints the whole
    // document to the printer chosen there and answers true.
    virtual bool printWithDialog(const Document& document) = 0;
    // Writes the whole document as a PDF file.
    virtual void savePdf(const Document& document, const QString& path) = 0;
};

} // namespace tolva
