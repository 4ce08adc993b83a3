#include "print/TextMeasure.h"

#include "print/PrintFonts.h"

#include <cmath>

namespace tolva {

TextMeasure::TextMeasure() = default;
TextMeasure::~TextMeasure() = default;

TextMeasure::Cache& TextMeasure::cache(const FontStyle& style, int styleIndex) {
    if (size_t(styleIndex) >= m_caches.size())
        m_caches.resize(size_t(styleIndex) + 1);
    Cache& c = m_caches[size_t(styleIndex)];
    if (!c.metrics) {
        c.metrics = std::make_unique<QFontMetricsF>(printFont(style));
        c.advances.assign(0x10000, -1.0f);
        c.lineHeight = std::ceil(c.metrics->lineSpacing());
    }
    return c;
}

double TextMeasure::advance(Cache& c, QChar ch) {
    float& a = c.advances[ch.unicode()];
    if (a < 0)
        a = float(ch.isSurrogate() ? c.metrics->averageCharWidth() / 2 : c.metrics->horizontalAdvance(ch));
    return a;
}

double TextMeasure::width(const FontStyle& style, int styleIndex, QStringView text) {
    Cache& c = cache(style, styleIndex);
    double total = 0;
    for (QChar ch : text)
        total += advance(c, ch);
    return total;
}

double TextMeasure::lineHeight(const FontStyle& style, int styleIndex) {
    return cache(style, styleIndex).lineHeight;
}

QStringList TextMeasure::wrap(const FontStyle& style, int styleIndex, QStringView text, double width) {
    Cache& c = cache(style, styleIndex);
    QStringList lines;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        QStringView line = text.mid(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        // Break the line into pieces that fit.
        while (true) {
            double used = 0;
            qsizetype fit = 0;
            qsizetype lastBlank = -1;
            for (; fit < line.size(); ++fit) {
                const double a = advance(c, line[fit]);
                if (used + a > width && fit > 0)
                    break;
                used += a;
                if (line[fit] == u' ')
                    lastBlank = fit;
            }
            if (fit >= line.size()) {
                lines << line.toString();
                break;
            }
            qsizetype cut = lastBlank > 0 ? lastBlank + 1 : fit;
            lines << line.left(cut).toString().trimmed();
            line = line.mid(cut);
            while (!line.isEmpty() && line.front() == u' ')
                line = line.mid(1);
            if (line.isEmpty())
                break;
        }
        start = end + 1;
    }
    return lines;
}

} // namespace tolva
