#pragma once

#include <QString>

namespace tolva {

// Hands a PDF file to the print system (CUPS) as a job for the named queue,
// through the "lp" client, so that the print system's refusal (queue gone,
// queue not accepting jobs, server down) comes back as a Fault instead of
// being lost. (Qt's own CUPS engine drops the result of its submission.)
// The Fault's message is lp's own answer, for the error file; its operator
// text says in the operator's words what happened and what to do.
void submitPdfJob(const QString& printer, const QString& pdfPath, const QString& title, int copies = 1);

// The operator's sentence for lp's answer when it refused a job for the
// printer: a queue that does not accept jobs, a queue (or the print server)
// that cannot be found, or any other refusal.
QString lpRefusalText(const QString& printer, const QString& lpAnswer);

// The operator's sentence for a printer name that is not installed.
QString missingPrinterText(const QString& printer);

} // namespace tolva
