#pragma once
// General routines of the controls library: numbers, colours, text fitting, words, component names,
// frames and bitmaps. None keeps state.
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>

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
inline int WidthOf(const tk::Rect& r) { return r.Right - r.Left; }
inline int HeightOf(const tk::Rect& r) { return r.Bottom - r.Top; }

// Keys held now: 2 shift, 4 control, 8 alt.
std::uint8_t GetShiftFlags();
// The virtual-key code of the logical left button (never swapped here).
int GetLeftButton();
// The first year of the current century.
int DefaultEpoch();

// The sibling just above `window` in the stacking order; the bottom-most sibling when it is on top; the
// window itself when it has no parent.
QWidget* GetNextDlgItem(QWidget* window);
// Whether the active window belongs to this program.
bool IsForegroundTask();
// The text and a line feed, cut to 255 characters, to the debug output.
void DebugOutput(const std::string& text);

// Red, green and blue of a colour; a system colour is first turned into its current value.
void GetRGB(tk::TColor color, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue);

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
// The top margin that centres one line of `font` in an edit box of `height` (new-style controls).
int GetTopTextMargin(const QFont& font, int borderStyle, int height, bool ctl3D);

// Draws `bitmap` leaving the pixels of `transparent` untouched (clNone: plainly; clDefault: the colour of
// the bitmap's bottom-left pixel).
void DrawTransparentBitmap(tk::Canvas& canvas, int x, int y, int width, int height, const tk::Rect& part,
                           const QImage& bitmap, tk::TColor transparent);
// Stretches `source` into `dest` except where the mask (taken at maskOrigin, same size as the destination
// area) is white: there the destination stays.
void TransStretchBlt(QImage& dest, const tk::Rect& destRect, const QImage& source, const tk::Rect& sourceRect,
                     const QImage& mask, tk::Point maskOrigin);
// The image embossed as disabled: pixels of `background` vanish, the rest shows in highlight and shadow.
QImage CreateDisabledBitmap(const QImage& bitmap, tk::TColor background);

}  // namespace controls
