#pragma once
// The virtual list box: a list that stores no items. It knows how many there are and asks its owner, through
// events, for the text, colours, protection and selection state of each row it paints. One row per item at
// a fixed height under an optional header row; a 16-bit scroll range scaled for very long lists; single
// selection kept here, multiple selection left to the owner; keys through the controller's command tables;
// and the platform's list-box query messages answered so that list-box code can talk to it.
//
// Painting goes to a client-sized surface that survives between paints: scrolling moves its pixels and only
// the rows it uncovers are asked for again, as the original's screen scrolling did. A paint event over
// anything else is a window paint request: the rows under it are asked for afresh.
#include <QImage>
#include <QRegion>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controls/base.h"
#include "controls/colors.h"
#include "controls/meter.h"

class QScrollBar;
class QTimer;

namespace controls {

enum class TVxScrollBars { ssNone, ssHorizontal, ssVertical, ssBoth };

// Scroll messages: the code in the low word of the word parameter, a thumb position in its high word.
inline constexpr std::uint32_t WM_HSCROLL = 0x0114;
inline constexpr std::uint32_t WM_VSCROLL = 0x0115;
inline constexpr std::uint16_t SB_LINEUP = 0;  // also line left
inline constexpr std::uint16_t SB_LINEDOWN = 1;
inline constexpr std::uint16_t SB_PAGEUP = 2;
inline constexpr std::uint16_t SB_PAGEDOWN = 3;
inline constexpr std::uint16_t SB_THUMBPOSITION = 4;
inline constexpr std::uint16_t SB_THUMBTRACK = 5;
inline constexpr std::uint16_t SB_TOP = 6;
inline constexpr std::uint16_t SB_BOTTOM = 7;
inline constexpr std::uint16_t SB_ENDSCROLL = 8;

// The platform's list-box messages the control answers. LB_GETITEMRECT takes a tk::Rect* and
// LB_SETTABSTOPS an int* in the long parameter.
inline constexpr std::uint32_t LB_RESETCONTENT = 0x0184;
inline constexpr std::uint32_t LB_SETSEL = 0x0185;
inline constexpr std::uint32_t LB_SETCURSEL = 0x0186;
inline constexpr std::uint32_t LB_GETSEL = 0x0187;
inline constexpr std::uint32_t LB_GETCURSEL = 0x0188;
inline constexpr std::uint32_t LB_GETCOUNT = 0x018B;
inline constexpr std::uint32_t LB_GETTOPINDEX = 0x018E;
inline constexpr std::uint32_t LB_SETTABSTOPS = 0x0192;
inline constexpr std::uint32_t LB_SETTOPINDEX = 0x0197;
inline constexpr std::uint32_t LB_GETITEMRECT = 0x0198;
inline constexpr std::uint32_t LB_SELITEMRANGE = 0x019B;
inline constexpr std::uint32_t LB_GETCARETINDEX = 0x019F;
inline constexpr std::uint32_t LB_GETITEMHEIGHT = 0x01A1;

class TVxCustomVirtualListBox : public TVxCustomControlEx {
 public:
  static constexpr std::int32_t MaxItems = 2147483647;
  static constexpr int MaxTabStops = 128;

  using CharToItemEvent = std::function<void(tk::Component* sender, char ch, std::int32_t& index)>;
  using ClickHeaderEvent = std::function<void(tk::Component* sender, tk::Point point)>;
  using DrawItemEvent =
      std::function<void(tk::Component* sender, std::int32_t index, const tk::Rect& rect, const std::string& s)>;
  using GetItemEvent = std::function<void(tk::Component* sender, std::int32_t index, std::string& itemString)>;
  using GetItemColorEvent =
      std::function<void(tk::Component* sender, std::int32_t index, tk::TColor& fg, tk::TColor& bg)>;
  using GetItemStatusEvent = std::function<void(tk::Component* sender, std::int32_t index, bool& protect)>;
  using IsSelectedEvent = std::function<void(tk::Component* sender, std::int32_t index, bool& selected)>;
  using SelectEvent = std::function<void(tk::Component* sender, std::int32_t index, bool selected)>;
  using TopIndexChangedEvent = std::function<void(tk::Component* sender, std::int32_t newTopIndex)>;
  using UserCommandEvent = std::function<void(tk::Component* sender, std::uint16_t command)>;
  using KeyEvent = std::function<void(tk::Component* sender, std::uint16_t& key, tk::ShiftState shift)>;
  using KeyPressEvent = std::function<void(tk::Component* sender, char& key)>;
  using MouseEvent =
      std::function<void(tk::Component* sender, Qt::MouseButton button, tk::ShiftState shift, int x, int y)>;

  explicit TVxCustomVirtualListBox(tk::Component* owner, QWidget* parent = nullptr);
  ~TVxCustomVirtualListBox() override;
  std::string ClassName() const override { return "TVxCustomVirtualListBox"; }

  bool AutoRowHeight() const { return autoRowHeight_; }
  void SetAutoRowHeight(bool value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value);
  std::uint8_t Columns() const { return columns_; }
  void SetColumns(std::uint8_t value);
  const std::string& Header() const { return header_; }
  void SetHeader(const std::string& value);
  TVxColors& HeaderColor() { return headerColor_; }
  const TVxColors& HeaderColor() const { return headerColor_; }
  bool IntegralHeight() const { return integralHeight_; }
  void SetIntegralHeight(bool value);
  bool MultiSelect() const { return multiSelect_; }
  // Taken only at design time or while loading.
  virtual void SetMultiSelect(bool value);
  std::int32_t NumItems() const { return numItems_; }
  // A negative count means the largest.
  void SetNumItems(std::int32_t value);
  bool OwnerDraw() const { return ownerDraw_; }
  void SetOwnerDraw(bool value);
  TVxColors& ProtectColor() { return protectColor_; }
  const TVxColors& ProtectColor() const { return protectColor_; }
  int RowHeight() const { return rowHeight_; }
  // Turns AutoRowHeight off (unless loading); values below 1 count as 1.
  void SetRowHeight(int value);
  TVxScrollBars ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TVxScrollBars value);
  TVxColors& SelectColor() { return selectColor_; }
  const TVxColors& SelectColor() const { return selectColor_; }
  bool ShowHeader() const { return showHeader_; }
  void SetShowHeader(bool value);
  bool SmoothScroll() const { return smoothScroll_; }
  void SetSmoothScroll(bool value) { smoothScroll_ = value; }
  bool UseTabStops() const { return useTabStops_; }
  void SetUseTabStops(bool value);

  std::int32_t ItemIndex() const { return itemIndex_; }
  virtual void SetItemIndex(std::int32_t index);
  std::int32_t TopIndex() const { return topIndex_; }
  virtual void SetTopIndex(std::int32_t index);
  // Sets the top index even when unchanged in value or at design time; thumb tracking moves without
  // smooth scrolling.
  virtual void ForceTopIndex(std::int32_t index, bool tracking);
  std::int32_t FocusedIndex() const { return focusedIndex_; }
  std::int32_t LastIndex() const { return numItems_ - 1; }
  // Whole item rows that fit (at least 1).
  int Rows() const { return rows_; }
  int HeaderRows() const { return showHeader_ ? 1 : 0; }
  int HorizontalOffset() const { return hOffset_; }
  std::int32_t Anchor() const { return anchor_; }
  int DialogUnitWidth() const { return dialogUnitWidth_; }
  const std::vector<int>& TabStops() const { return tabStops_; }
  int ScrollDivisor() const { return scrollDivisor_; }
  int ScrollMaximum() const { return scrollMaximum_; }

  // Nestable; nothing is painted while open. Closing the last invalidates the control.
  virtual void BeginUpdate();
  virtual void EndUpdate();
  bool Updating() const { return updateCount_ > 0; }

  void CenterLine(std::int32_t index);
  void CenterCurrentLine() { CenterLine(itemIndex_); }
  void DeselectAll() { SelectAllItems(false); }
  void SelectAll() { SelectAllItems(true); }
  // Invalidates the item's row and paints it now.
  void DrawItem(std::int32_t index);
  void InvalidateItem(std::int32_t index);
  void InsertItemsAt(std::int32_t count, std::int32_t index);
  void DeleteItemsAt(std::int32_t count, std::int32_t index);
  std::int32_t ItemAtPos(tk::Point point, bool existingOnly) const;
  bool IsValidIndex(std::int32_t index) const { return index >= 0 && index <= LastIndex(); }
  // Marks a visible item's row as not needing a repaint.
  void vlbValidateItem(std::int32_t index);
  void Scroll(int hDelta, int vDelta);
  // Makes sure the window exists; at most 128 stops, each in dialog units.
  void SetTabStops(const std::vector<int>& stops);

  // The client area: inside the border, beside the scroll bars; client coordinates start at its top-left.
  tk::Rect ClientRect() const { return {0, 0, clientWidth_, clientHeight_}; }
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }
  QPoint ClientToWidget(tk::Point point) const;
  // Where an item's row is painted, in client coordinates (header row counted).
  tk::Rect ItemRect(std::int32_t index) const;
  QScrollBar* VerticalScrollBar() const { return vertical_; }
  QScrollBar* HorizontalScrollBar() const { return horizontal_; }
  // The canvas being painted on, for OnDrawItem; null outside painting.
  tk::Canvas* Canvas() const { return paintCanvas_; }
  // Paints now what waits to be painted.
  void UpdateWindow();
  void Invalidate();
  void Repaint();

  void SetBounds(int left, int top, int width, int height) override;
  void Dispatch(tk::Message& message) override;
  void GetProperties(tk::PropertyList& list) const override;
  void Loaded() override;

  CharToItemEvent OnCharToItem;
  ClickHeaderEvent OnClickHeader;
  DrawItemEvent OnDrawItem;
  GetItemEvent OnGetItem;
  GetItemColorEvent OnGetItemColor;
  GetItemStatusEvent OnGetItemStatus;
  IsSelectedEvent OnIsSelected;
  SelectEvent OnSelect;
  TopIndexChangedEvent OnTopIndexChanged;
  UserCommandEvent OnUserCommand;
  KeyEvent OnKeyDown;
  KeyEvent OnKeyUp;
  KeyPressEvent OnKeyPress;
  MouseEvent OnMouseDown;
  MouseEvent OnMouseUp;
  tk::NotifyEvent OnDblClick;

 protected:
  virtual void vlbCalcFontFields();
  virtual void DoOnDrawItem(std::int32_t index, const tk::Rect& rect, const std::string& s);
  virtual std::string DoOnGetItem(std::int32_t index);
  virtual void DoOnGetItemColor(std::int32_t index, tk::TColor& fg, tk::TColor& bg);
  virtual bool DoOnGetItemStatus(std::int32_t index);
  virtual bool DoOnIsSelected(std::int32_t index);
  virtual void SimulatedClick();
  virtual void DoOnCharToItem(char ch, std::int32_t& index);
  virtual void DoOnClickHeader(tk::Point point);
  virtual void DoOnSelect(std::int32_t index, bool selected);
  virtual void DoOnTopIndexChanged(std::int32_t newTopIndex);
  virtual void DoOnUserCommand(std::uint16_t command);
  void DoOnMouseWheel(tk::ShiftState shift, int delta, int x, int y) override;

  // The toolkit's key and mouse handling: the events first. A key set to 0 is taken.
  virtual void KeyDown(std::uint16_t& key, tk::ShiftState shift);
  virtual void KeyPress(char& key);
  virtual void MouseDown(Qt::MouseButton button, tk::ShiftState shift, int x, int y);
  virtual void MouseUp(Qt::MouseButton button, tk::ShiftState shift, int x, int y);
  virtual void DblClick();
  // The window procedure's key-down, character and left-button handling (client coordinates).
  virtual void WMKeyDown(std::uint16_t key, tk::ShiftState shift);
  virtual void WMChar(char ch);
  virtual void WMLButtonDown(tk::Point point, tk::ShiftState shift);
  virtual void WMLButtonUp(tk::Point point, tk::ShiftState shift);
  // Whether a press is still choosing items as the mouse moves.
  bool Tracking() const { return tracking_; }

  void Paint(tk::Canvas& canvas) override;
  // The part of the client area being painted.
  const tk::Rect& ClipBox() const { return clipBox_; }
  void InvalidateRect(const tk::Rect& rect);
  // Extra pixels added to the automatic row height; 0 here.
  int extraRowSpacing_ = 0;
  // While set, a left press does nothing beyond the toolkit's own handling.
  bool protectedClick_ = false;

  void CreateWnd() override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void PaintHeader(tk::Canvas& canvas);
  void WriteText(tk::Canvas& canvas, int x, int y, const std::string& text, int tabOrigin);
  void LayoutClient();
  void UpdateScrollBars();
  void UpdateScrollPositions();
  void OnScrollAction(bool vertical, int action);
  void VScroll(std::uint16_t code, int position);
  void HScroll(std::uint16_t code, int position);
  void StepTopIndex(std::int64_t delta);
  void SetHorizontalOffset(int offset);
  // Shows what the surface holds there at the next paint, without painting it anew.
  void ShowSurface(const QRect& area);
  // Moves the pixels of `area` by `distance` (positive: down) and leaves the uncovered part to repaint.
  void ScrollArea(tk::Rect area, int distance, bool smooth);
  tk::Rect ItemArea() const;
  void AfterResize();
  void SelectAllItems(bool selected);
  void SelectRange(std::int32_t from, std::int32_t to, bool selected);
  void ExtendTo(std::int32_t index);
  void ToggleItem(std::int32_t index);
  void MakeActive(std::int32_t index);
  void DragSelection(std::int32_t from, std::int32_t to);
  void MoveTo(std::int32_t index);
  void MakeVisible(std::int32_t index);
  void SetFocusedIndex(std::int32_t index);
  bool DoCommand(std::uint16_t command);
  void SetCount(std::int32_t count);
  std::int32_t TrackedItem(tk::Point point) const;
  void TrackPass(tk::Point point);
  tk::Point ToClient(const QPoint& widgetPoint) const;
  int BorderWidth() const;
  std::intptr_t ListBoxMessage(const tk::Message& message);

  bool autoRowHeight_ = true;
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  bool ctl3D_ = true;
  std::uint8_t columns_ = 255;
  std::string header_;
  TVxColors headerColor_{tk::clBtnText, tk::clBtnFace};
  bool integralHeight_ = true;
  bool multiSelect_ = false;
  std::int32_t numItems_ = MaxItems;
  bool ownerDraw_ = false;
  TVxColors protectColor_{tk::clWhite, tk::clRed};
  int rowHeight_ = 17;
  TVxScrollBars scrollBars_ = TVxScrollBars::ssVertical;
  TVxColors selectColor_{tk::clHighlightText, tk::clHighlight};
  bool showHeader_ = false;
  bool smoothScroll_ = true;
  bool useTabStops_ = false;

  std::int32_t itemIndex_ = -1;
  std::int32_t topIndex_ = 0;
  std::int32_t focusedIndex_ = -1;
  std::int32_t anchor_ = -1;
  int rows_ = 1;
  int hOffset_ = 0;
  int scrollDivisor_ = 1;
  int scrollMaximum_ = 0;
  int dialogUnitWidth_ = 1;
  std::vector<int> tabStops_;
  int updateCount_ = 0;

  int clientWidth_ = 0;
  int clientHeight_ = 0;
  QScrollBar* vertical_;
  QScrollBar* horizontal_;
  QImage surface_;
  QRegion dirty_;
  QRegion ownPaint_;  // what the control asked to show itself: a paint event there is no paint request
  tk::Rect clipBox_;
  tk::Canvas* paintCanvas_ = nullptr;
  bool inLayout_ = false;
  bool blitOnly_ = false;  // intermediate frames of a smooth scroll paint nothing new

  bool tracking_ = false;   // a plain left press is choosing items
  bool capturing_ = false;  // the left button is down on the control
  bool clicked_ = false;    // the press may end in a click
  std::int32_t trackedLast_ = -1;
  tk::Point lastTrackPoint_;
  QTimer* autoScroll_;
};

class TVxVirtualListBox : public TVxCustomVirtualListBox {
 public:
  using TVxCustomVirtualListBox::TVxCustomVirtualListBox;
  std::string ClassName() const override { return "TVxVirtualListBox"; }
};

}  // namespace controls
