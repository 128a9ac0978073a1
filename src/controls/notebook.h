#pragma once
// The tabbed notebook: an ordered collection of pages shown one at a time, with a strip of tabs on any side
// in one or more rows. This unit holds the pages, the rules for which page may become active, the change
// events with their veto, insertion and deletion, streaming, and mouse, key and focus handling; the tab
// layout and painting are in notebook_tabs.
#include <QCursor>
#include <QImage>
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "controls/base.h"
#include "controls/notebook_tabs.h"

namespace controls {

class TVxNotebook;

// One page: a container the notebook shows when its tab is active.
class TVxTabPage : public TVxCollectibleControl {
 public:
  static const VxClass Class;
  // The owner must be a notebook; the page is its child window.
  explicit TVxTabPage(tk::Component* owner, const VxClass& cls = Class);
  ~TVxTabPage() override;

  TVxNotebook* Notebook() const { return notebook_; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  // The page's own flag, whatever its notebook's state.
  bool Enabled() const { return !testAttribute(Qt::WA_Disabled); }
  void SetEnabled(bool enabled);
  bool PageVisible() const { return pageVisible_; }
  void SetPageVisible(bool visible);
  tk::TColor TabColor() const { return tabColor_; }
  void SetTabColor(tk::TColor color);
  tk::TColor TextColor() const { return textColor_; }
  void SetTextColor(tk::TColor color);
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int context) { helpContext_ = context; }

  // Written by the notebook's layout and painting.
  const tk::Rect& TabRect() const { return tabRect_; }
  void SetTabRect(const tk::Rect& r) { tabRect_ = r; }
  int TabRow() const { return tabRow_; }
  void SetTabRow(int row) { tabRow_ = row; }
  int TabLength() const { return tabLength_; }
  void SetTabLength(int length) { tabLength_ = length; }

  std::string GetDisplayText() const override;
  std::string GetBaseName() const override;
  void Dispatch(tk::Message& message) override;
  void GetProperties(tk::PropertyList& list) const override;
  void DefineProperties(tk::Filer& filer) override;

  // Takes the notebook's font while ParentFont holds.
  void ApplyParentFont(const tk::Font& font);

 protected:
  void Paint(tk::Canvas& canvas) override;
  // At run time clicks on the page's empty area belong to the notebook.
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void InvalidateNotebook();

  TVxNotebook* notebook_;
  std::string caption_;
  std::string hint_;
  bool pageVisible_ = true;
  bool parentFont_ = true;
  bool applyingParentFont_ = false;
  tk::TColor tabColor_ = tk::clBtnFace;
  tk::TColor textColor_ = tk::clBtnText;
  int helpContext_ = 0;
  tk::Rect tabRect_;
  int tabRow_ = 0;
  int tabLength_ = 65;
};

using TVxTabEvent = std::function<void(tk::Component* sender, int index)>;
using TVxTabChangeEvent = std::function<void(tk::Component* sender, int index, bool& allowChange)>;
using TVxDrawTabEvent = std::function<void(tk::Component* sender, int index, const std::string& title,
                                           const tk::Rect& r, bool enabled, bool active)>;
using TVxNotebookCommandEvent = std::function<void(tk::Component* sender, std::uint16_t command)>;

using tk::CM_DIALOGCHAR;  // a form's accelerator character (Alt and a letter) for its controls

class TVxNotebook : public TVxCustomControlEx {
 public:
  explicit TVxNotebook(tk::Component* owner, QWidget* parent = nullptr);
  ~TVxNotebook() override;
  std::string ClassName() const override { return "TVxNotebook"; }

  // Pages.
  TVxCollection& PageCollection() { return *pages_; }
  int PageCount() const { return pages_->Count(); }
  // Null out of range.
  TVxTabPage* Pages(int index) const;
  int PageIndex() const { return pageIndex_; }
  // Throws EInvalidPageIndex for an index that is not valid; a veto leaves everything as it was.
  void SetPageIndex(int index);
  int DefaultPageIndex() const { return defaultPageIndex_; }
  void SetDefaultPageIndex(int index) { defaultPageIndex_ = index; }
  // In range, and at run time enabled with a tab.
  bool IsValid(int index) const;
  int NextValidIndex(int from) const;
  int PrevValidIndex(int from) const;
  void NextPage();
  void PrevPage();
  TVxTabPage* InsertPage(const std::string& caption, int index);
  void DeletePage(int index);
  // The first page whose caption (or component name) is `name`, ignoring case; -1 when none.
  int IndexOf(const std::string& name, bool byCaption) const;
  int PageNameToIndex(const std::string& caption) const { return IndexOf(caption, true); }
  // The active page's size; 0 without a valid active page.
  int ClientWidth() const;
  int ClientHeight() const;
  void ShowControl(QWidget* control);
  void ForcePageHandles();
  void BeginUpdate();
  void EndUpdate();

  // Tabs.
  int TabsInRow(int row) const;
  tk::Rect GetTabRect(int index) const;
  void InvalidateTab(int index);
  // The first tab that holds the point, -1 when none.
  int TabAt(int x, int y) const;
  int RowsInUse() const { return layout_.Rows; }
  int LastRow() const { return layout_.LastRow; }
  int ActiveRow() const { return layout_.ActiveRow; }
  // Measures the tabs and spreads them over rows (only while the notebook is visible).
  void LayoutTabs();
  // Applies the page rectangle to every page whose bounds differ.
  void PositionPages();

  // Published state.
  const tk::Font& ActiveTabFont() const { return activeTabFont_; }
  void SetActiveTabFont(const tk::Font& font);
  bool ConserveResources() const { return conserveResources_; }
  void SetConserveResources(bool value) { conserveResources_ = value; }
  tk::TColor HighlightColor() const { return highlightColor_; }
  void SetHighlightColor(tk::TColor color);
  bool OldStyle() const { return oldStyle_; }
  void SetOldStyle(bool value);
  bool PageUsesTabColor() const { return pageUsesTabColor_; }
  void SetPageUsesTabColor(bool value);
  tk::TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(tk::TColor color);
  bool ShadowedText() const { return shadowedText_; }
  void SetShadowedText(bool value);
  bool TabAutoHeight() const { return tabAutoHeight_; }
  void SetTabAutoHeight(bool value);
  int TabHeight() const { return layout_.TabHeight; }
  void SetTabHeight(int value);
  TVxTabOrientation TabOrientation() const { return orientation_; }
  void SetTabOrientation(TVxTabOrientation side);
  int TabRowCount() const { return tabRowCount_; }
  void SetTabRowCount(int value);
  bool TabUseDefaultColor() const { return tabUseDefaultColor_; }
  void SetTabUseDefaultColor(bool value);
  tk::TColor TextShadowColor() const { return textShadowColor_; }
  void SetTextShadowColor(tk::TColor color);
  bool UseActiveTabFont() const { return useActiveTabFont_; }
  void SetUseActiveTabFont(bool value);
  // The active page's tab colour; setting it gives that tab its own colour.
  tk::TColor TabColor() const;
  void SetTabColor(tk::TColor color);
  // What the tab strip stands on: the parent's colour, or the notebook's own without a parent.
  tk::TColor BackgroundColor() const;
  int HelpContext() const { return helpContext_; }
  const std::string& Hint() const { return hint_; }
  // Scales the tab height and the active-tab font by m/d, as a form scaled to another resolution does.
  void ChangeScale(int m, int d);

  // The canvas painting draws on; null outside painting. OnDrawTab draws through it.
  tk::Canvas* Canvas() const { return canvas_; }
  // Design time: whether clicks at the point go to the notebook (the point is in a tab).
  bool DesignHitTest(int x, int y);
  // Ends a mouse operation: releases the mouse.
  void CancelMode();

  TVxDrawTabEvent OnDrawTab;
  TVxTabEvent OnMouseOverTab;
  TVxTabChangeEvent OnPageChange;
  TVxTabEvent OnPageChanged;
  TVxTabEvent OnTabClick;
  TVxNotebookCommandEvent OnUserCommand;

  void SetBounds(int left, int top, int width, int height) override;
  void Loaded() override;
  void Dispatch(tk::Message& message) override;
  void GetProperties(tk::PropertyList& list) const override;

  // The left button went down at (x, y) in client coordinates.
  void LeftButtonDown(int x, int y);
  // A key arrived; true when the notebook used it.
  bool KeyDown(std::uint16_t key, tk::ShiftState shift);
  // An accelerator character; true when a page took it.
  bool DialogChar(char c);

 protected:
  virtual void DoOnDrawTab(int index, const std::string& title, const tk::Rect& r, bool enabled, bool active);
  virtual void DoOnMouseOverTab(int index);
  virtual bool DoOnPageChange(int index);
  virtual void DoOnPageChanged(int index);
  virtual void DoOnTabClick(int index);
  virtual void DoOnUserCommand(std::uint16_t command);

  void CreateWnd() override;
  void Paint(tk::Canvas& canvas) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  friend class TVxTabPage;
  friend class TVxTabPainter;

  void PagesChanged();
  void ColorChanged();
  void FontChanged();
  // Throws EInvalidTabFont for a font side tabs cannot turn; at design time renames it instead.
  void CheckSideFonts(bool designTimeRename);
  void ReapplyBounds();
  // The focus after a tab click: the first control inside the notebook, else the notebook.
  void FocusAfterClick();
  QWidget* FirstControlInside(QWidget* within, bool tabStopOnly) const;
  void SetColorInternally(tk::TColor color);

  std::unique_ptr<TVxCollection> pages_;
  TVxTabLayout layout_;
  tk::Font activeTabFont_;
  int pageIndex_ = 0;
  int defaultPageIndex_ = 0;
  bool conserveResources_ = false;
  tk::TColor highlightColor_ = tk::clBtnHighlight;
  bool oldStyle_ = false;
  bool pageUsesTabColor_ = true;
  tk::TColor shadowColor_ = tk::clBtnShadow;
  bool shadowedText_ = false;
  bool tabAutoHeight_ = true;
  TVxTabOrientation orientation_ = TVxTabOrientation::toTop;
  int tabRowCount_ = 0;
  bool tabUseDefaultColor_ = true;
  tk::TColor textShadowColor_ = tk::clBtnShadow;
  bool useActiveTabFont_ = true;
  int helpContext_ = 0;
  std::string hint_;

  bool internalColor_ = false;
  bool changingPage_ = false;
  bool destroying_ = false;
  bool checkingFonts_ = false;
  std::optional<QCursor> tabCursor_;
  // The strip is painted here and shown from here: nothing is erased, and painting reads pixels back.
  QImage buffer_;
  tk::Canvas* canvas_ = nullptr;
  // Catches accelerator keys anywhere in the notebook's window.
  std::unique_ptr<QObject> accelerators_;
};

}  // namespace controls
