#pragma once
// The platform services the component libraries ask for, behind one object that tests replace: the clock,
// opening an address, the cursor position, the keyboard's shift state, the double-click time, the locale and
// the user's international settings. Message boxes and the beep go through platform::Ui().
#include <QLocale>
#include <cstdint>
#include <string>

#include "tk/types.h"

class QWidget;

namespace tk {

class Services {
 public:
  virtual ~Services() = default;
  virtual std::uint32_t TickCount() = 0;  // milliseconds since some start
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
};

Services& Svc();
// Installs services (not owned) and returns the previous ones; nullptr restores the default.
Services* SetServices(Services* services);

}  // namespace tk
