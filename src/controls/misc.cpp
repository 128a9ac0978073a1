#include "controls/misc.h"

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/text.h"
#include "tk/control.h"
#include "tk/exception.h"
#include "tk/services.h"

// The resources of a static library are registered by hand, and from outside any namespace.
static void InitControlsImages() { Q_INIT_RESOURCE(controls_images); }

namespace controls {

int CompStruct(const void* a, const void* b, std::size_t size) {
  auto* pa = static_cast<const unsigned char*>(a);
  auto* pb = static_cast<const unsigned char*>(b);
  for (std::size_t i = 0; i < size; ++i)
    if (pa[i] != pb[i]) return pa[i] < pb[i] ? -1 : 1;
  return 0;
}

std::uint8_t GetShiftFlags() {
  tk::ShiftState s = tk::Svc().KeyboardShiftState();
  std::uint8_t flags = 0;
  if (s & tk::ssShift) flags |= 2;
  if (s & tk::ssCtrl) flags |= 4;
  if (s & tk::ssAlt) flags |= 8;
  return flags;
}

int GetLeftButton() { return 1; }

int DefaultEpoch() {
  QDate day = QDate(1899, 12, 30).addDays(static_cast<qint64>(tk::Svc().Now()));
  return day.year() / 100 * 100;
}

namespace {
std::atomic<bool> newStyleControls{true};

QString ResourcePath(const char* folder, const std::string& name) {
  static std::once_flag once;
  std::call_once(once, InitControlsImages);
  return QString(":/controls/%1/%2").arg(QLatin1String(folder), platform::ToQString(platform::UpperCase(name)));
}

// Cursors are drawn with their hot spot here: where the arrow points, or the middle of a move cursor.
QPoint HotSpot(const std::string& upperName) {
  if (upperName == "VXCOLUMNMOVECURSOR" || upperName == "VXROWMOVECURSOR") return {15, 15};
  return {0, 0};
}
}  // namespace

bool NewStyleControls() { return newStyleControls; }
void SetNewStyleControls(bool value) { newStyleControls = value; }

QImage LoadBaseBitmap(const std::string& name) {
  QString path = ResourcePath("bitmaps", name);
  if (!QFile::exists(path)) return QImage();
  QImage image(path, "XPM");
  return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
}

std::optional<QCursor> LoadBaseCursor(const std::string& name) {
  QString path = ResourcePath("cursors", name);
  if (!QFile::exists(path)) return std::nullopt;
  QPixmap picture(path, "XPM");
  if (picture.isNull()) return std::nullopt;
  QPoint hot = HotSpot(platform::UpperCase(name));
  return QCursor(picture, hot.x(), hot.y());
}

QWidget* GetNextDlgItem(QWidget* window) {
  QWidget* parent = window ? window->parentWidget() : nullptr;
  if (!parent) return window;
  QList<QWidget*> siblings = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  qsizetype at = siblings.indexOf(window);
  if (at < 0) return window;
  // Later children stand higher in Qt's stacking order.
  return at + 1 < siblings.size() ? siblings[at + 1] : siblings.front();
}

bool IsForegroundTask() { return QApplication::activeWindow() != nullptr; }

void DebugOutput(const std::string& text) {
  std::string line = (text + "\n").substr(0, 255);
  std::fputs(line.c_str(), stderr);
}

void GetRGB(tk::TColor color, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
  tk::TColor rgb = tk::IsSystemColor(color) ? tk::ColorToRGB(color) : color;
  red = static_cast<std::uint8_t>(rgb & 0xFF);
  green = static_cast<std::uint8_t>((rgb >> 8) & 0xFF);
  blue = static_cast<std::uint8_t>((rgb >> 16) & 0xFF);
}

tk::Font CreateRotatedFont(const tk::Font& font, int angle) {
  tk::Font rotated = font;
  QFont q = font.Q();
  q.setWeight(q.bold() ? QFont::Bold : QFont::Normal);
  q.setStretch(QFont::AnyStretch);
  rotated.SetQ(q);
  std::string face = font.Name();
  if (face.size() > 31) rotated.SetName(face.substr(0, 31));
  rotated.SetEscapement(angle * 10);
  return rotated;
}

std::string GetDisplayString(tk::Canvas& canvas, const std::string& text, int minChars, int maxWidth) {
  if (canvas.TextWidth(text) <= maxWidth) return text;
  std::string s = text;
  int dots = canvas.TextWidth("...");
  while (static_cast<int>(s.size()) > minChars && canvas.TextWidth(s) > maxWidth - dots) s.pop_back();
  s += "...";
  for (int i = 0; i < 3 && !s.empty() && canvas.TextWidth(s) > maxWidth; ++i) s.pop_back();
  return s;
}

std::string PathEllipsis(const std::string& path, int maxWidth) {
  QFontMetrics fm(QApplication::font("QMenu"));
  auto width = [&](const std::string& s) { return fm.horizontalAdvance(platform::ToQString(s)); };
  if (maxWidth == 0 || width(path) < maxWidth) return path;
  std::size_t cut = path.find_last_of("\\/");
  std::string dir = cut == std::string::npos ? std::string() : path.substr(0, cut);
  std::string file = cut == std::string::npos ? path : path.substr(cut + 1);
  std::string candidate = dir + "\\...\\" + file;
  while (width(candidate) > maxWidth && dir.size() > 2) {
    std::size_t up = dir.find_last_of("\\/");
    dir = up == std::string::npos || up < 2 ? dir.substr(0, 2) : dir.substr(0, up);
    candidate = dir + "\\...\\" + file;
  }
  if (width(candidate) > maxWidth) {
    QString elided = fm.elidedText(platform::ToQString(candidate.substr(0, 260)), Qt::ElideRight, maxWidth);
    candidate = platform::FromQString(elided).value_or(candidate);
  }
  return candidate;
}

CharSet MakeCharSet(const std::string& chars) {
  CharSet set;
  for (char c : chars) set.set(static_cast<unsigned char>(c));
  return set;
}

namespace {
bool IsDelim(char c, const CharSet& d) { return d.test(static_cast<unsigned char>(c)); }
}  // namespace

int WordCount(const std::string& text, const CharSet& delimiters) {
  int count = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!IsDelim(text[i], delimiters) && (i == 0 || IsDelim(text[i - 1], delimiters))) ++count;
  return count;
}

int WordPosition(int n, const std::string& text, const CharSet& delimiters) {
  int count = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!IsDelim(text[i], delimiters) && (i == 0 || IsDelim(text[i - 1], delimiters)))
      if (++count == n) return static_cast<int>(i) + 1;
  return 0;
}

std::string ExtractWord(int n, const std::string& text, const CharSet& delimiters) {
  int pos = WordPosition(n, text, delimiters);
  if (pos == 0) return std::string();
  std::size_t start = static_cast<std::size_t>(pos - 1), end = start;
  while (end < text.size() && !IsDelim(text[end], delimiters)) ++end;
  return text.substr(start, end - start);
}

std::string TrimLeft(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 33) ++i;
  return text.substr(i);
}

std::string TrimRight(const std::string& text) {
  std::size_t n = text.size();
  while (n > 0 && static_cast<unsigned char>(text[n - 1]) < 33) --n;
  return text.substr(0, n);
}

std::string QuotedStr(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

bool PartialCompare(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  std::size_t n = std::min(a.size(), b.size());
  return platform::SameText(a.substr(0, n), b.substr(0, n));
}

void FixTextBuffer(const char* source, char* destination, std::size_t size) {
  if (size == 0) return;
  std::size_t out = 0;
  for (std::size_t i = 0; source[i] && out < size - 1; ++i) {
    if (source[i] == '\n' && (i == 0 || source[i - 1] != '\r')) {
      destination[out++] = '\r';
      if (out >= size - 1) break;
    }
    destination[out++] = source[i];
  }
  destination[out] = '\0';
}

void FixRealPrim(std::string& s, char decimalChar) {
  auto trim = [&] {
    std::size_t a = s.find_first_not_of(' ');
    std::size_t b = s.find_last_not_of(' ');
    s = a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
  };
  trim();
  if (s.empty()) {
    s = "0";
    return;
  }
  if (s.back() == decimalChar) {
    s.pop_back();
    trim();
  }
  std::size_t point = s.find(decimalChar);
  if (point != std::string::npos && point > 0)
    s[point] = '.';
  else
    point = s.find('.');
  if (point != std::string::npos) {
    if (point + 1 == s.size()) s += '0';
    if (point == 0) {
      s.insert(0, "0");
      ++point;
    } else if (point == 1 && s[0] == '-') {
      s.insert(1, "0");
      ++point;
    }
  }
  std::size_t e = s.find('E', 1);
  if (e != std::string::npos) {
    if (point == std::string::npos) {
      s.insert(e, ".");
      point = e;
      ++e;
    }
    if (e - point < 12) s.insert(e, "00000");
  }
  if (point != std::string::npos) {
    while (point > 0 && s[point - 1] == ' ') {
      s.erase(point - 1, 1);
      --point;
    }
    while (point + 1 < s.size() && s[point + 1] == ' ') s.erase(point + 1, 1);
  }
}

namespace {
bool OwnsName(const tk::Component* c, const std::string& name) {
  for (int i = 0; i < c->ComponentCount(); ++i)
    if (platform::SameText(c->Components(i)->Name(), name)) return true;
  return false;
}
}  // namespace

std::string GenerateComponentName(const tk::Component* form, const std::string& baseName) {
  if (!tk::IsValidIdent(baseName)) throw tk::EComponentError("'" + baseName + "' is not a valid component name");
  for (int n = 1;; ++n) {
    std::string candidate = baseName + std::to_string(n);
    if (!form || !OwnsName(form, candidate)) return candidate;
  }
}

tk::Rect DrawButtonFrame(tk::Canvas& canvas, const tk::Rect& client, bool down, bool flat, TButtonStyle style) {
  using namespace tk;
  Rect r = client;
  bool newStyle = style == TButtonStyle::New || (style == TButtonStyle::Auto && NewStyleControls());
  if (!down) {
    if (newStyle && !flat) {
      canvas.Frame3D(r, clBtnHighlight, clWindowFrame, 1);
      canvas.Frame3D(r, clBtnFace, clBtnShadow, 1);
    } else if (newStyle) {
      canvas.Frame3D(r, clBtnHighlight, clBtnShadow, 1);
    } else if (!flat) {
      canvas.Frame3D(r, clWindowFrame, clWindowFrame, 1);
      canvas.Frame3D(r, clBtnHighlight, clBtnShadow, 1);
    } else {
      canvas.Frame3D(r, clBtnHighlight, clWindowFrame, 1);
    }
  } else if (flat) {
    canvas.Frame3D(r, clWindowFrame, clBtnHighlight, 1);
  } else if (newStyle) {
    canvas.Frame3D(r, clWindowFrame, clBtnHighlight, 1);
    canvas.Frame3D(r, clBtnShadow, clBtnFace, 1);
  } else {
    canvas.Frame3D(r, clWindowFrame, clWindowFrame, 1);
    canvas.Pen.Color = clBtnShadow;
    canvas.MoveTo(r.Left, r.Bottom - 1);
    canvas.LineTo(r.Left, r.Top);
    canvas.LineTo(r.Right, r.Top);
  }
  return r.Inflate(-1, -1);
}

int GetTopTextMargin(const QFont& font, int borderStyle, int height, bool ctl3D) {
  int system = QFontMetrics(QApplication::font()).height();
  int own = QFontMetrics(font).height();
  int h = std::min(system, own), H = height;
  if (!NewStyleControls()) {
    int margin = (H - own - 1) / 2;
    if (h > H - 2) margin -= borderStyle == 0 ? 1 : 2;
    return margin;
  }
  if (borderStyle == 0) return h < H - 2 ? 0 : (H - h - 2) / 2 - ((H - h) % 2);
  if (ctl3D) return h < H - 4 ? 1 : (H - h - 4) / 2 - 1;
  return h < H - 4 ? 1 : (H - h - 4) / 2 - ((H - h) % 2);
}

void CopyParentImage(QWidget* control, tk::Canvas& canvas) {
  QWidget* parent = control ? control->parentWidget() : nullptr;
  if (!parent) return;
  QRect area = control->geometry();
  QRect shown = area.intersected(parent->rect());
  if (shown.isEmpty()) return;
  // Composed on a transparent image, so whatever the parent does not cover leaves the canvas as it is.
  QImage under(area.size(), QImage::Format_ARGB32_Premultiplied);
  under.fill(Qt::transparent);
  {
    QPainter painter(&under);
    parent->render(&painter, shown.topLeft() - area.topLeft(), QRegion(shown), QWidget::DrawWindowBackground);
    for (QObject* child : parent->children()) {
      auto* sibling = qobject_cast<QWidget*>(child);
      if (sibling == control) break;  // children are listed bottom to top
      if (!sibling || sibling->isHidden() || !dynamic_cast<tk::GraphicControl*>(sibling)) continue;
      QRect bounds = sibling->geometry().intersected(shown);
      if (bounds.isEmpty()) continue;
      sibling->render(&painter, bounds.topLeft() - area.topLeft(), QRegion(bounds.translated(-sibling->pos())),
                      QWidget::RenderFlags());
    }
  }
  canvas.Draw(0, 0, under);
}

void DrawTransparentBitmap(tk::Canvas& canvas, int x, int y, int width, int height, const tk::Rect& part,
                           const QImage& bitmap, tk::TColor transparent) {
  QImage source = part.Empty() ? bitmap : bitmap.copy(part.ToQRect());
  if (source.isNull()) return;
  if (transparent == tk::clNone) {
    if (width && height)
      canvas.StretchDraw(tk::Bounds(x, y, width, height), source);
    else
      canvas.Draw(x, y, source);
    return;
  }
  tk::TColor key = transparent == tk::clDefault ? tk::FromQColor(QColor(bitmap.pixel(0, bitmap.height() - 1)))
                                                : tk::ColorToRGB(transparent & ~0x02000000);
  QImage masked = source.convertToFormat(QImage::Format_ARGB32);
  QRgb keyPixel = tk::ToQColor(key).rgb();
  for (int py = 0; py < masked.height(); ++py) {
    auto* line = reinterpret_cast<QRgb*>(masked.scanLine(py));
    for (int px = 0; px < masked.width(); ++px)
      if ((line[px] & 0xFFFFFF) == (keyPixel & 0xFFFFFF)) line[px] = 0;
  }
  if (width == 0 || height == 0)
    canvas.Draw(x, y, masked);
  else
    canvas.StretchDraw(tk::Bounds(x, y, width, height), masked);
}

void TransStretchBlt(QImage& dest, const tk::Rect& destRect, const QImage& source, const tk::Rect& sourceRect,
                     const QImage& mask, tk::Point maskOrigin) {
  if (destRect.Empty() || sourceRect.Empty()) return;
  auto stretch = [&](const QImage& image, QRect area) {
    // Pixels outside the image read as black, as an unfilled memory bitmap does.
    QImage part(area.size(), QImage::Format_RGB32);
    part.fill(0xFF000000);
    QPainter painter(&part);
    painter.drawImage(QPoint(0, 0), image, area);
    painter.end();
    return part.scaled(destRect.Width(), destRect.Height(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  };
  QImage stretched = stretch(source, sourceRect.ToQRect());
  // The mask covers the source's area from its own origin and is stretched along with the source.
  QImage stretchedMask = stretch(mask, QRect(maskOrigin.X, maskOrigin.Y, sourceRect.Width(), sourceRect.Height()));
  for (int y = 0; y < destRect.Height(); ++y)
    for (int x = 0; x < destRect.Width(); ++x) {
      int dx = destRect.Left + x, dy = destRect.Top + y;
      if (!dest.valid(dx, dy)) continue;
      bool white = (stretchedMask.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
      if (!white) dest.setPixel(dx, dy, stretched.pixel(x, y));
    }
}

QImage CreateDisabledBitmap(const QImage& bitmap, tk::TColor background) {
  QImage result(bitmap.size(), QImage::Format_RGB32);
  result.fill(tk::ToQColor(tk::clBtnFace));
  QRgb key = tk::ToQColor(background).rgb() & 0xFFFFFF;
  QRgb light = tk::ToQColor(tk::clBtnHighlight).rgb(), dark = tk::ToQColor(tk::clBtnShadow).rgb();
  auto ink = [&](int x, int y) { return bitmap.valid(x, y) && (bitmap.pixel(x, y) & 0xFFFFFF) != key; };
  // The image's ink, first in the highlight colour one pixel down-right, then in the shadow colour.
  for (int y = 0; y < result.height(); ++y)
    for (int x = 0; x < result.width(); ++x)
      if (ink(x - 1, y - 1)) result.setPixel(x, y, light);
  for (int y = 0; y < result.height(); ++y)
    for (int x = 0; x < result.width(); ++x)
      if (ink(x, y)) result.setPixel(x, y, dark);
  return result;
}

}  // namespace controls
