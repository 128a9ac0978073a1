#include "tk/services.h"

#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QUrl>

#include "platform/text.h"

namespace tk {

namespace {

class QtServices : public Services {
 public:
  QtServices() { clock_.start(); }
  std::uint32_t TickCount() override { return static_cast<std::uint32_t>(clock_.elapsed()); }
  double Now() override {
    QDateTime now = QDateTime::currentDateTime();
    QDate epoch(1899, 12, 30);
    return static_cast<double>(epoch.daysTo(now.date())) + now.time().msecsSinceStartOfDay() / 86400000.0;
  }
  bool OpenAddress(const std::string& address) override {
    QUrl url = QUrl::fromUserInput(platform::ToQString(address));
    return url.isValid() && QDesktopServices::openUrl(url);
  }
  Point CursorPos() override {
    QPoint p = QCursor::pos();
    return {p.x(), p.y()};
  }
  ShiftState KeyboardShiftState() override {
    Qt::KeyboardModifiers m = QApplication::queryKeyboardModifiers();
    ShiftState s = 0;
    if (m & Qt::ShiftModifier) s |= ssShift;
    if (m & Qt::ControlModifier) s |= ssCtrl;
    if (m & Qt::AltModifier) s |= ssAlt;
    return s;
  }
  int DoubleClickTime() override { return QApplication::doubleClickInterval(); }

 private:
  QElapsedTimer clock_;
};

Services* installed = nullptr;

}  // namespace

Services& Svc() {
  static QtServices fallback;
  return installed ? *installed : fallback;
}

Services* SetServices(Services* services) {
  Services* previous = installed;
  installed = services;
  return previous;
}

}  // namespace tk
