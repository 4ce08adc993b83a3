#include "receipt/AmountFormat.h"

#include <QLocale>
#include <cmath>

namespace tolva {

QString formatAmount(double value, const QString& format) {
    const qsizetype point = format.indexOf(u'.');
    int decimals = 0;
    if (point >= 0) {
        for (qsizetype i = point + 1; i < format.size() && (format[i] == u'0' || format[i] == u'#'); ++i)
            ++decimals;
    }
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(std::abs(value) * scale) / scale;
    QLocale c = QLocale::c();
    c.setNumberOptions(format.contains(u',') ? QLocale::DefaultNumberOptions : QLocale::OmitGroupSeparator);
    QString text = c.toString(rounded, 'f', decimals);
    if (value < 0 && rounded != 0)
        text.prepend(u'-');
    return text;
}

} // namespace tolva
