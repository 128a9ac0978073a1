#pragma once
// The notebook's tab strip. TVxTabLayout knows no window: it measures nothing itself, takes the caption
// widths and font heights the notebook measured, and decides each tab's length and row, where the rows and
// tabs lie on each side, and the rectangles that painting and hit tests derive from a tab's. TVxTabPainter
// is the notebook's painting of the strip, one side at a time.
#include <string>
#include <vector>

#include "tk/canvas.h"
#include "tk/color.h"
#include "tk/font.h"
#include "tk/types.h"

namespace controls {

enum class TVxTabOrientation { toTop, toRight, toBottom, toLeft };

// One page as the layout sees it: what was measured, and what the layout decides.
struct TVxTabEntry {
  bool Shown = true;        // PageVisible, or designing
  int ActiveFontWidth = 0;  // the caption in the active-tab font; 0 when that font is not used
  int FontWidth = 0;        // the caption in the page's own font
  int FontHeight = 0;       // the sample text's height in the page's font
  int Length = 65;          // along the strip
  int Row = 0;
};

// A shown tab where painting puts it, in painting order.
struct TVxPlacedTab {
  int Index = 0;
  tk::Rect Rect;
  bool FirstRowPainted = false;  // in the row painted first, the one farthest from the page
  bool FirstInRow = false;       // the first tab painted in its row
};

class TVxTabLayout {
 public:
  // Set by the notebook before Run.
  TVxTabOrientation Side = TVxTabOrientation::toTop;
  int Width = 0;
  int Height = 0;
  bool OldStyle = false;
  int TabRowCount = 0;
  bool TabAutoHeight = true;
  int ActiveFontHeight = 0;  // 0 when the active-tab font is not used
  int ControlFontHeight = 0;
  int PageIndex = 0;
  std::vector<TVxTabEntry> Tabs;

  // Results; a run that stops early leaves the rest as the last run left it.
  int TabHeight = 20;
  int Rows = 0;
  int LastRow = 0;
  int ActiveRow = 0;

  // The room along the strip.
  int StripLength() const;
  void Run();
  // The shown tabs row by row, from the row after the active one round to the active row, which lies next
  // to the page; within a row in page order.
  std::vector<TVxPlacedTab> Place() const;

 private:
  void MeasureLengths();
  void RowsByCount();
  void RowsByFit();
  void Justify();
};

// Where the pages go: inside the frame, beside the strip.
tk::Rect NotebookPageRect(TVxTabOrientation side, int width, int height, int tabHeight, int rows);
// The active tab, painted again larger and joined to the page.
tk::Rect EnlargedTabRect(TVxTabOrientation side, const tk::Rect& tab);
// The caption's area: what OnDrawTab is given and the focus rectangle starts from; empty without tabs.
tk::Rect TabTextArea(TVxTabOrientation side, const tk::Rect& tab, int tabHeight);
tk::Rect TabFocusRect(TVxTabOrientation side, const tk::Rect& textArea);
// What invalidating a tab repaints: the tab and a margin of the page under it.
tk::Rect TabInvalidRect(TVxTabOrientation side, const tk::Rect& tab);
// A point in the row beyond the tab's, away from the page: where a key's row move clicks.
tk::Point NeighbourRowPoint(TVxTabOrientation side, const tk::Rect& tab, int tabHeight, int tabLength);

// A caption as side tabs write it: the first "&" goes and marks the next character as the accelerator;
// "&&" leaves one "&" and no accelerator; an empty caption is one blank.
struct TVxTabCaption {
  std::string Text;
  int AccelPos = -1;  // index in Text, -1 when none
};
TVxTabCaption ParseTabCaption(const std::string& caption);
// The accelerator character of a caption, 0 when it has none.
char TabAccelerator(const std::string& caption);

class TVxNotebook;
class TVxTabPage;

// Paints the strip of a notebook that has pages, after the layout ran, and writes each tab's rectangle
// back to its page. Corner colours of later rows are read back from what was painted, so the canvas must
// be over an image.
class TVxTabPainter {
 public:
  TVxTabPainter(TVxNotebook& notebook, tk::Canvas& canvas, const TVxTabLayout& layout);
  void Paint();

 private:
  void FillStrip();
  void PaintTab(const TVxPlacedTab& placed, const tk::Rect& r, bool enlarged);
  void Outline(const tk::Rect& r, bool firstInRow, bool active);
  void PageFrame(const tk::Rect& r);
  void Corners(const tk::Rect& r, bool firstRow, bool firstInRow);
  void Caption(const TVxTabPage& page, int index, const tk::Rect& r, bool enabled, bool active, int offset);
  void LevelCaption(const std::string& caption, const tk::Rect& r, bool enabled, int offset);
  void TurnedCaption(const std::string& caption, const tk::Rect& r, bool enabled, int offset);
  // A polygon filled and outlined in one colour, and a line through points without its last one.
  void Polygon(std::initializer_list<tk::Point> points, tk::TColor color);
  void Polyline(std::initializer_list<tk::Point> points, tk::TColor color);
  void Fill(const tk::Rect& r, tk::TColor color);

  TVxNotebook& nb_;
  tk::Canvas& c_;
  const TVxTabLayout& layout_;
  TVxTabOrientation side_;
  int w_, h_, th_;
  tk::TColor background_ = tk::clBtnFace;
  tk::TColor tabColor_ = tk::clBtnFace;  // of the tab being painted
  int offset_ = 0;                       // of ordinary captions
  int activeOffset_ = 0;                 // of the enlarged active tab's caption
};

}  // namespace controls
