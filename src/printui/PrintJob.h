#pragma once

#include <QString>

namespace tolva {

// Hands a PDF file to the print system (CUPS) as a job for the named queue,
// through the "lp" client, so that the print system's refusal (queue gone,
// queue not accepting jobs, server down) comes back as a Fault with a
// message for the operator instead of being lost. (Qt's own CUPS engine
// drops the result of its submission.)
void submitPdfJob(const QString& printer, const QString& pdfPath, const QString& title, int copies = 1);

} // namespace tolva
