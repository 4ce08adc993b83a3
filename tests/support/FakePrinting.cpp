#include "support/FakePrinting.h"

#include "common/Fault.h"
#include "print/PdfOutput.h"

void FakePrinting::print(const tolva::Document& document, const QString& printer, int fromPage, int toPage) {
    if (!printFault.isEmpty())
        throw tolva::Fault(tolva::Fault::kGeneric, printFault, printFaultOperator);
    printed.push_back(Printed{document, printer, fromPage, toPage, false});
}

bool FakePrinting::printWithDialog(const tolva::Document& document) {
    ++dialogsShown;
    if (dialogAnswers.isEmpty() || !dialogAnswers.dequeue())
        return false;
    printed.push_back(Printed{document, QString(), 0, 0, true});
    return true;
}

void FakePrinting::savePdf(const tolva::Document& document, const QString& path) {
    tolva::savePdf(document, path);
    pdfs.push_back(path);
}

QStringList pageTexts(const tolva::Document& document, int pageIndex) {
    QStringList texts;
    for (const tolva::PageItem& item : document.page(pageIndex).items) {
        if (item.kind == tolva::PageItem::Text || item.kind == tolva::PageItem::TableRow)
            texts << document.text(item);
    }
    return texts;
}

QStringList documentTexts(const tolva::Document& document) {
    QStringList texts;
    for (int p = 0; p < document.pageCount(); ++p)
        texts << pageTexts(document, p);
    return texts;
}
