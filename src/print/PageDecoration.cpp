#include "print/PageDecoration.h"

#include "print/Document.h"

namespace tolva {

void PageDecoration::apply(Document& d) const {
    const int pages = d.pageCount();
    const QString time = printTime.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    for (int i = 1; i <= pages; ++i) {
        d.startEditPage(i);
        d.setFontName(QStringLiteral("標楷體"));
        d.setFontSize(12);
        d.setFontBold(false);
        d.setCurrentY(400);
        d.setTextAlign(1);
        d.printText(custName);

        d.setFontSize(15);
        d.setFontBold(true);
        d.setTextAlign(7);
        d.setCurrentY(700);
        d.setCurrentX(d.marginLeft());
        d.printText(header);

        d.setCurrentY(d.marginTop() - 300);
        d.setFontSize(8);
        d.setFontBold(false);
        d.setTextAlign(2);
        d.printText(QStringLiteral("列印時間: ") + time);

        d.setCurrentX(d.marginLeft());
        d.setCurrentY(d.pageHeight() - d.marginBottom() + 150);
        d.setFontBold(true);
        d.setFontSize(8);
        d.setTextAlign(6);
        d.printText(QStringLiteral("程式編號:") + progID);
        d.setTextAlign(7);
        d.printText(custName);
        d.setTextAlign(8);
        d.printText(QStringLiteral("頁次:%1/%2").arg(i).arg(pages));

        if (!logo.isNull())
            d.drawPicture(logo, 800, 500, logo.width() * kTwipsPerPixel, logo.height() * kTwipsPerPixel);
        d.endEditPage();
    }
}

} // namespace tolva
