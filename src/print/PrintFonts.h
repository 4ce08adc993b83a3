#pragma once

#include "print/PageItem.h"

#include <QFont>
#include <QString>

namespace tolva {

// Reports name their fonts by Windows face names. Each name maps to an
// installed face that holds the Chinese characters, so no text ever prints as
// boxes:
//
//   標楷體, DFKai-SB, BiauKai                         -> AR PL UKai TW
//   細明體, 新細明體, MingLiU, PMingLiU, 細明體_HKSCS  -> AR PL UMing TW
//   any other name (Arial, Courier New, 微軟正黑體...) -> WenQuanYi Micro Hei
//
// Names compare without letter case. Every font also lists WenQuanYi Micro
// Hei and AR PL UMing TW after its own face, so a face that is not installed
// falls back to one that is.
QString printFamily(const QString& windowsFace);

// The font of a style for drawing and measuring in twips: its pixel size is
// the point size x 20 (one pixel = one twip), so a painter scaled to twips
// draws it at its true size.
QFont printFont(const FontStyle& style);

} // namespace tolva
