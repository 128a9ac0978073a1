#pragma once
// The toolkit's pen styles, as the original numbers them, and the Qt pen style each draws with.
#include <Qt>

namespace tk {

enum class PenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

inline Qt::PenStyle ToQtPenStyle(PenStyle style) {
  switch (style) {
    case PenStyle::psDash:
      return Qt::DashLine;
    case PenStyle::psDot:
      return Qt::DotLine;
    case PenStyle::psDashDot:
      return Qt::DashDotLine;
    case PenStyle::psDashDotDot:
      return Qt::DashDotDotLine;
    case PenStyle::psClear:
      return Qt::NoPen;
    default:
      return Qt::SolidLine;
  }
}

}  // namespace tk
