#include "print/PrintFonts.h"

#include <QStringList>
#include <cmath>

namespace tolva {

namespace {

const QString kKai = QStringLiteral("AR PL UKai TW");
const QString kMing = QStringLiteral("AR PL UMing TW");
const QString kHei = QStringLiteral("WenQuanYi Micro Hei");

struct Substitution {
    const char16_t* face;
    const QString* family;
};

const Substitution kTable[] = {
    {u"標楷體", &kKai},    {u"DFKai-SB", &kKai},      {u"BiauKai", &kKai},
    {u"細明體", &kMing},   {u"新細明體", &kMing},     {u"MingLiU", &kMing},
    {u"PMingLiU", &kMing}, {u"細明體_HKSCS", &kMing}, {u"MingLiU_HKSCS", &kMing},
};

} // namespace

QString printFamily(const QString& windowsFace) {
    const QString face = windowsFace.trimmed();
    for (const Substitution& s : kTable) {
        if (face.compare(QString::fromUtf16(s.face), Qt::CaseInsensitive) == 0)
            return *s.family;
    }
    return kHei;
}

QFont printFont(const FontStyle& style) {
    QFont font;
    const QString family = printFamily(style.name);
    font.setFamilies({family, kHei, kMing});
    font.setPixelSize(std::max(1, int(std::lround(style.size * 20))));
    font.setBold(style.bold);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace tolva
