#pragma once
// General routines of the controls library: numbers, colours, text fitting, words, component names,
// frames and bitmaps. None keeps state.
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>

#include <QCursor>
#include <QImage>
#include <QWidget>

#include "tk/canvas.h"
#include "tk/color.h"
#include "tk/component.h"
#include "tk/types.h"

namespace controls {

inline int MinI(int a, int b) { return a < b ? a : b; }
inline int MaxI(int a, int b) { return a > b ? a : b; }
inline std::int32_t MinL(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
inline std::int32_t MaxL(std::int32_t a, std::int32_t b) { return a > b ? a : b; }
// Compares two blocks as unsigned bytes: -1, 0 or 1 at the first difference.
int CompStruct(const void* a, const void* b, std::size_t size);
// p1 - p2 in bytes, as the 16-bit count the library's buffers are measured in.
inline std::uint16_t PtrDiff(const void* p1, const void* p2) {
  return static_cast<std::uint16_t>(static_cast<const char*>(p1) - static_cast<const char*>(p2));
}
// Move a pointer forward or back by a 16-bit count of bytes.
template <class T>
void PtrInc(T*& p, std::uint16_t delta) {
  using Byte = std::conditional_t<std::is_const_v<T>, const char, char>;
  p = reinterpret_cast<T*>(reinterpret_cast<Byte*>(p) + delta);
}
template <class T>
void PtrDec(T*& p, std::uint16_t delta) {
  using Byte = std::conditional_t<std::is_const_v<T>, const char, char>;
  p = reinterpret_cast<T*>(reinterpret_cast<Byte*>(p) - delta);
}
inline int WidthOf(const tk::Rect& r) { return r.Right - r.Left; }
inline int HeightOf(const tk::Rect& r) { return r.Bottom - r.Top; }

// Keys held now: 2 shift, 4 control, 8 alt.
std::uint8_t GetShiftFlags();
// The virtual-key code of the logical left button (never swapped here).
int GetLeftButton();
// The first year of the current century.
int DefaultEpoch();
// Whether the platform draws new-style (3-D) controls: on here; tests switch it to reach the old looks.
bool NewStyleControls();
void SetNewStyleControls(bool value);

// A bitmap or cursor of the library's own resources, by name (any case); null or nothing when missing.
QImage LoadBaseBitmap(const std::string& name);
std::optional<QCursor> LoadBaseCursor(const std::string& name);

// The sibling just above `window` in the stacking order; the bottom-most sibling when it is on top; the
// window itself when it has no parent.
QWidget* GetNextDlgItem(QWidget* window);
// Whether the active window belongs to this program.
bool IsForegroundTask();
// The text and a line feed, cut to 255 characters, to the debug output.
void DebugOutput(const std::string& text);

// Red, green and blue of a colour; a system colour is first turned into its current value.
void GetRGB(tk::TColor color, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue);

// A font like `font` turned `angle` degrees counter-clockwise (escapement angle x 10, orientation 0): same
// height, natural width, weight bold or normal, the style's italic, underline and strike-out, the face name
// cut to 31 characters, the font's pitch. The caller owns the copy.
tk::Font CreateRotatedFont(const tk::Font& font, int angle);

// Cuts a text that is wider than `maxWidth` and ends it in up to three dots.
std::string GetDisplayString(tk::Canvas& canvas, const std::string& text, int minChars, int maxWidth);
// Shortens a path's directory part to "\...\" until it fits `maxWidth` in the menu font.
std::string PathEllipsis(const std::string& path, int maxWidth);

using CharSet = std::bitset<256>;
CharSet MakeCharSet(const std::string& chars);
int WordCount(const std::string& text, const CharSet& delimiters);
// 1-based position of the n-th word, 0 when there is none.
int WordPosition(int n, const std::string& text, const CharSet& delimiters);
std::string ExtractWord(int n, const std::string& text, const CharSet& delimiters);
std::string TrimLeft(const std::string& text);
std::string TrimRight(const std::string& text);
std::string QuotedStr(const std::string& text);
bool PartialCompare(const std::string& a, const std::string& b);
// Copies a zero-terminated text, putting a carriage return before each line feed that lacks one.
void FixTextBuffer(const char* source, char* destination, std::size_t size);
// Normalises a real number typed with a local decimal character for plain conversion.
void FixRealPrim(std::string& text, char decimalChar);

// Base name + the smallest n >= 1 that no component of `form` carries.
std::string GenerateComponentName(const tk::Component* form, const std::string& baseName);

enum class TButtonStyle { Auto, Old, New };
// Draws a button border and returns the rectangle inside it.
tk::Rect DrawButtonFrame(tk::Canvas& canvas, const tk::Rect& client, bool down, bool flat, TButtonStyle style);
// The top margin that centres one line of `font` in an edit box of `height`; `borderStyle` 0 none, 1 single.
int GetTopTextMargin(const QFont& font, int borderStyle, int height, bool ctl3D);
// Paints what lies under `control` onto `canvas`, (0, 0) at the control's top-left: the parent's own painting
// (background included, clipped to the parent), then every visible non-windowed sibling below the control
// that overlaps it.
void CopyParentImage(QWidget* control, tk::Canvas& canvas);

// Draws `bitmap` leaving the pixels of `transparent` untouched (clNone: plainly; clDefault: the colour of
// the bitmap's bottom-left pixel).
void DrawTransparentBitmap(tk::Canvas& canvas, int x, int y, int width, int height, const tk::Rect& part,
                           const QImage& bitmap, tk::TColor transparent);
// Stretches `source` into `dest` except where the mask is white: there the destination stays. The mask
// covers the source's size from maskOrigin and is stretched with it.
void TransStretchBlt(QImage& dest, const tk::Rect& destRect, const QImage& source, const tk::Rect& sourceRect,
                     const QImage& mask, tk::Point maskOrigin);
// The image embossed as disabled: pixels of `background` vanish, the rest shows in highlight and shadow.
QImage CreateDisabledBitmap(const QImage& bitmap, tk::TColor background);

}  // namespace controls
