#pragma once
// Small value types of the toolkit: points, rectangles with exclusive right and bottom edges, shift states.
#include <cstdint>

class QRect;
class QPoint;

namespace tk {

using Extended = long double;
using DateTime = double;

struct Point {
  int X = 0;
  int Y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Right and bottom are exclusive, as on the original platform (unlike QRect::right()).
struct Rect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool Empty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(Point p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  Rect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
  Rect Inflate(int dx, int dy) const { return {Left - dx, Top - dy, Right + dx, Bottom + dy}; }
  QRect ToQRect() const;
  static Rect FromQRect(const QRect& r);
  friend bool operator==(const Rect&, const Rect&) = default;
};

inline Rect Bounds(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

// Shift state as a set of flags.
enum ShiftFlag : std::uint16_t {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64,
};
using ShiftState = std::uint16_t;

}  // namespace tk
