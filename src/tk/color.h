#pragma once
// Colours in the original's encoding: 0x00BBGGRR for RGB values, 0x80000000 | index for system colours.
// A system colour becomes an RGB value only when painting, through the application palette.
#include <cstdint>

class QColor;

namespace tk {

using TColor = std::int32_t;

inline constexpr TColor SystemColorFlag = static_cast<TColor>(0x80000000u);

// System colour indices of the original platform.
inline constexpr TColor clScrollBar = SystemColorFlag | 0;
inline constexpr TColor clBackground = SystemColorFlag | 1;
inline constexpr TColor clActiveCaption = SystemColorFlag | 2;
inline constexpr TColor clInactiveCaption = SystemColorFlag | 3;
inline constexpr TColor clMenu = SystemColorFlag | 4;
inline constexpr TColor clWindow = SystemColorFlag | 5;
inline constexpr TColor clWindowFrame = SystemColorFlag | 6;
inline constexpr TColor clMenuText = SystemColorFlag | 7;
inline constexpr TColor clWindowText = SystemColorFlag | 8;
inline constexpr TColor clCaptionText = SystemColorFlag | 9;
inline constexpr TColor clHighlight = SystemColorFlag | 13;
inline constexpr TColor clHighlightText = SystemColorFlag | 14;
inline constexpr TColor clBtnFace = SystemColorFlag | 15;
inline constexpr TColor clBtnShadow = SystemColorFlag | 16;
inline constexpr TColor clGrayText = SystemColorFlag | 17;
inline constexpr TColor clBtnText = SystemColorFlag | 18;
inline constexpr TColor clBtnHighlight = SystemColorFlag | 20;
inline constexpr TColor cl3DDkShadow = SystemColorFlag | 21;
inline constexpr TColor cl3DLight = SystemColorFlag | 22;
inline constexpr TColor clInfoText = SystemColorFlag | 23;
inline constexpr TColor clInfoBk = SystemColorFlag | 24;

inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

inline constexpr TColor RGB(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16);
}

bool IsSystemColor(TColor color);
// The RGB value of a colour: system colours through the application palette, others with the high byte
// (palette flags) dropped.
TColor ColorToRGB(TColor color);
QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);

}  // namespace tk
