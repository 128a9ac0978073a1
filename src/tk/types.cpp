#include "tk/types.h"

#include <QRect>

namespace tk {

QRect Rect::ToQRect() const { return QRect(Left, Top, Right - Left, Bottom - Top); }

Rect Rect::FromQRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

}  // namespace tk
