#pragma once

#include "print/PageItem.h"

#include <QFontMetricsF>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace tolva {

// Text widths and line heights in twips for the document's font styles.
// Widths are sums of cached character advances (no kerning, which the print
// fonts are drawn without), so laying out a million table rows stays fast.
// Needs a running QGuiApplication (the font database).
class TextMeasure {
public:
    TextMeasure();
    ~TextMeasure();

    double width(const FontStyle& style, int styleIndex, QStringView text);
    double lineHeight(const FontStyle& style, int styleIndex);
    // The text broken into lines no wider than width: at blanks where a line
    // has them, anywhere else (Chinese text has no blanks); line breaks in
    // the text always break.
    QStringList wrap(const FontStyle& style, int styleIndex, QStringView text, double width);

private:
    struct Cache {
        std::unique_ptr<QFontMetricsF> metrics;
        std::vector<float> advances; // per UTF-16 unit; negative: not measured yet
        double lineHeight = 0;
    };
    Cache& cache(const FontStyle& style, int styleIndex);
    double advance(Cache& cache, QChar c);

    std::vector<Cache> m_caches;
};

} // namespace tolva
