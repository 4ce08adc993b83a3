#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

namespace tolva {

class Document;

// The decoration the decorated preview puts on every page of a finished
// document: site name and report title at the top, the print time above the
// top margin, and below the bottom margin the program code, the site name
// and "頁次:i/n"; the logo at (800, 500).
struct PageDecoration {
    QString custName;
    QString header;
    QString progID;
    QDateTime printTime;
    QImage logo;

    // Opens each page of the finished document for editing and decorates it.
    void apply(Document& document) const;

    // The logo's size on paper in twips: its pixels at 96 per inch.
    static constexpr int kTwipsPerPixel = 15;
};

} // namespace tolva
