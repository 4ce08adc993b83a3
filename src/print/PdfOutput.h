#pragma once

#include <QString>

namespace tolva {

class Document;

// Writes pages of a document to a PDF file, one PDF page per document page
// at the page's own paper size. fromPage and toPage are 1-based and
// inclusive; 0 means the first or the last page. Throws a Fault when the
// file cannot be written.
void savePdf(const Document& document, const QString& path, int fromPage = 0, int toPage = 0);

} // namespace tolva
