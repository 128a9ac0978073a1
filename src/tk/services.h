#pragma once
// The platform services the component libraries ask for, behind one object that tests replace: the clock,
// opening an address, the cursor position, the keyboard's shift state, the double-click time, the locale and
// the user's international settings, the clipboard, system metrics and the work area. Message boxes and the
// beep go through platform::Ui().
#include <QCursor>
#include <QLocale>
#include <cstdint>
#include <optional>
#include <string>

#include "tk/types.h"

class QWidget;

namespace tk {

class Services {
 public:
  virtual ~Services() = default;
  // Milliseconds since some start, in 64 bits: it never wraps.
  virtual std::uint64_t TickCount64() = 0;
  // The platform's 32-bit count, which wraps after 49.7 days.
  std::uint32_t TickCount() { return static_cast<std::uint32_t>(TickCount64()); }
  virtual double Now() = 0;               // date-time: days since 1899-12-30, fraction = time of day
  // Hands an address to the desktop; false when nothing could open it.
  virtual bool OpenAddress(const std::string& address) = 0;
  virtual Point CursorPos() = 0;  // screen coordinates
  virtual ShiftState KeyboardShiftState() = 0;
  virtual int DoubleClickTime() = 0;
  // The locale the toolkit's month and day names and time formats come from: the user's, unless replaced.
  virtual QLocale Locale();
  // A value of the user's national conventions under its key in the original's "intl" profile section
  // ("sDecimal", "iCurrDigits", "sShortDate", ...), derived from Locale(); "" when the locale gives none in
  // 8 bits.
  virtual std::string IntlProfileString(const std::string& key);
  // The work area (the screen less its panels, in screen coordinates) of the monitor that shows `widget`'s
  // window, or of the primary one.
  virtual Rect WorkArea(const QWidget* widget);

  // The clipboard's text in 8 bits: "" when it holds none, no value when its text has a character outside
  // Latin-1 (which is refused, never altered).
  virtual bool ClipboardHasText();
  virtual std::optional<std::string> ClipboardText();
  virtual void SetClipboardText(const std::string& text);

  // A system metric by the platform's index (SM_CXBORDER, SM_CXVSCROLL, ...); 0 for one not known here.
  virtual int SystemMetric(int index);
};

inline constexpr int SM_CXVSCROLL = 2;
inline constexpr int SM_CYHSCROLL = 3;
inline constexpr int SM_CXBORDER = 5;
inline constexpr int SM_CYBORDER = 6;
inline constexpr int SM_CYVTHUMB = 9;
inline constexpr int SM_CXHTHUMB = 10;
inline constexpr int SM_CYVSCROLL = 20;
inline constexpr int SM_CXHSCROLL = 21;
inline constexpr int SM_CXEDGE = 45;
inline constexpr int SM_CYEDGE = 46;

// Cursor shapes by the toolkit's cursor numbers; the library's own cursors are registered under
// positive numbers.
inline constexpr int crDefault = 0;
inline constexpr int crNone = -1;
inline constexpr int crArrow = -2;
inline constexpr int crCross = -3;
inline constexpr int crIBeam = -4;
inline constexpr int crSizeNESW = -6;
inline constexpr int crSizeNS = -7;
inline constexpr int crSizeNWSE = -8;
inline constexpr int crSizeWE = -9;
inline constexpr int crUpArrow = -10;
inline constexpr int crHourGlass = -11;
inline constexpr int crDrag = -12;
inline constexpr int crNoDrop = -13;
inline constexpr int crHSplit = -14;
inline constexpr int crVSplit = -15;
inline constexpr int crMultiDrag = -16;
inline constexpr int crSQLWait = -17;
inline constexpr int crNo = -18;
inline constexpr int crAppStart = -19;
inline constexpr int crHelp = -20;
inline constexpr int crHandPoint = -21;
inline constexpr int crSizeAll = -22;
inline constexpr int crSize = crSizeAll;

// The shape of a cursor number; an unknown number is the default (arrow) shape.
QCursor CursorShape(int cursor);
void RegisterCursor(int cursor, const QCursor& shape);

// Window handles: a number for a widget, never reused, and the widget found from it again (null once the
// widget is gone or for 0).
using HWnd = std::uintptr_t;
HWnd HandleOf(QWidget* widget);
QWidget* FindControl(HWnd handle);

Services& Svc();
// Installs services (not owned) and returns the previous ones; nullptr restores the default.
Services* SetServices(Services* services);

}  // namespace tk
