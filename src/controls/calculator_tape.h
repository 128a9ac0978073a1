#pragma once
// The calculator's paper tape: a record of the numbers and operations entered, right-justified in a
// fixed-pitch font with a mark column at the right, shown in a list box the tape makes when first needed.
#include <QAbstractScrollArea>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tk/canvas.h"
#include "tk/color.h"
#include "tk/control.h"
#include "tk/font.h"
#include "tk/types.h"

namespace controls {

// An owner-drawn list of text lines with a fixed item height taken from its font; no selection.
class TVxCalcTapeListBox : public QAbstractScrollArea {
 public:
  explicit TVxCalcTapeListBox(QWidget* parent);

  std::vector<std::string>& Items() { return items_; }
  // Call after changing Items(): updates the scroll range and repaints.
  void ItemsChanged();
  int TopIndex() const;
  // Kept where a full last page still shows, as the platform's list box does.
  void SetTopIndex(int index);
  int ItemHeight() const;
  int ClientHeight() const { return viewport()->height(); }
  // The item under a point of the viewport, -1 when none.
  int ItemAt(int y) const;
  const tk::Font& Font() const { return font_; }
  void SetFont(const tk::Font& font);
  tk::TColor Color() const { return color_; }
  void SetColor(tk::TColor color);
  void SetCtl3D(bool ctl3D);

  std::function<void(tk::Canvas& canvas, int index, const tk::Rect& rect)> OnDrawItem;
  std::function<void()> OnClick;
  std::function<void(int index)> OnDblClick;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  int FullyVisibleItems() const;
  std::vector<std::string> items_;
  tk::Font font_;
  tk::TColor color_ = tk::clWindow;
};

class TVxCalcTape {
 public:
  // `owner` is the calculator: owner and parent of the list box, and what a click on it focuses.
  TVxCalcTape(tk::CustomControl* owner, int markWidth);
  ~TVxCalcTape();
  TVxCalcTape(const TVxCalcTape&) = delete;
  TVxCalcTape& operator=(const TVxCalcTape&) = delete;

  void Add(const std::string& s);
  // After every addition: blank paper scrolls out first; once it is gone the tape grows.
  void DeleteFirst();
  void AddToTape(const std::string& s, const std::string& mark);
  void AddToTapeLeft(const std::string& s);
  void SpaceTape(char c);
  void ClearTape();
  // Clears the tape the first time it can (once the list box exists).
  void InitializeTape();
  // Re-justifies the lines after the width or the font changed.
  void RefreshDisplays();
  int GetDisplayedItemCount() const;

  const tk::Font& Font() const { return font_; }
  void SetFont(const tk::Font& font);
  int Height() const;
  void SetHeight(int height);
  int Width() const;
  void SetWidth(int width);
  int Top() const;
  int TopIndex() const;
  void SetTopIndex(int index);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  tk::TColor TapeColor() const { return color_; }
  void SetTapeColor(tk::TColor color);
  std::vector<std::string> Tape();
  void SetTape(const std::vector<std::string>& lines);
  void SetBounds(int left, int top, int width, int height);
  void SetCtl3D(bool ctl3D);

  // Double-click on a line: a number line becomes the calculator's entry through OnRecall; an item-count
  // or empty line is ignored; any other line raises the toolkit's conversion error.
  void RecallLine(int index);

  int MarkWidth() const { return markWidth_; }
  int LineCount() const { return lineCount_; }
  bool Initialized() const { return initialized_; }
  // Null until something needed it.
  TVxCalcTapeListBox* ListBox() const { return listBox_.data(); }

  std::int32_t MaxPaperCount = 9999;
  bool ShowTape = false;  // follows the calculator's coShowTape; re-justification runs only while set
  int CharsPerLine = 0;
  char DecimalSeparator = '.';
  std::function<void(tk::Extended value, const std::string& text)> OnRecall;
  std::function<void()> OnFontChange;

 private:
  TVxCalcTapeListBox& List();
  void ScrollToEnd();
  void DrawLine(tk::Canvas& canvas, int index, const tk::Rect& rect);

  tk::CustomControl* owner_;
  QPointer<TVxCalcTapeListBox> listBox_;
  tk::Font font_;
  tk::TColor color_ = tk::clWindow;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  int markWidth_;
  int lineCount_ = 0;
  bool visible_ = false;
  bool initialized_ = false;
  bool ctl3D_ = true;
};

}  // namespace controls
