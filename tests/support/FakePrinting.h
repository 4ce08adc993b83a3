#pragma once

#include "print/Printing.h"
#include "print/Printout.h"

#include <QQueue>
#include <QStringList>
#include <vector>

// Printers and preview for tests: answers with the scripted printers, keeps a
// copy of every report previewed and every document printed, and fails a
// print with the scripted fault text when one is set.
class FakePrinting : public tolva::Printing {
public:
    struct Printed {
        tolva::Document document;
        QString printer;
        int fromPage = 0;
        int toPage = 0;
        bool viaDialog = false;
    };

    QStringList installed;
    QString defaultName;
    QString printFault;         // non-empty: print() throws a Fault with this text
    QString printFaultOperator; // the operator text that Fault carries
    QQueue<bool> dialogAnswers; // printer dialog answers; an empty queue cancels
    int dialogsShown = 0;
    std::vector<tolva::Printout> previews;
    std::vector<Printed> printed;
    std::vector<QString> pdfs;

    QStringList printers() override { return installed; }
    QString defaultPrinter() override { return defaultName; }
    // A report still being composed is completed first, as the preview does.
    void preview(tolva::Printout report) override {
        report.finish();
        previews.push_back(std::move(report));
    }
    void print(const tolva::Document& document, const QString& printer, int fromPage, int toPage) override;
    bool printWithDialog(const tolva::Document& document) override;
    void savePdf(const tolva::Document& document, const QString& path) override;

    // What was printed or previewed, read safely: an empty document or
    // report when there is none (or fewer), so that a check on it fails as a
    // FAIL instead of crashing the test program.
    Printed printedAt(std::size_t i) const { return i < printed.size() ? printed[i] : Printed{}; }
    Printed lastPrinted() const { return printed.empty() ? Printed{} : printed.back(); }
    tolva::Printout previewAt(std::size_t i) const {
        return i < previews.size() ? previews[i] : tolva::Printout{};
    }
};

// The texts of a page in drawing order: each text item, and each table row
// as its row text (cells joined by the table's cell separator).
QStringList pageTexts(const tolva::Document& document, int pageIndex);
// Every page's texts, page after page.
QStringList documentTexts(const tolva::Document& document);
