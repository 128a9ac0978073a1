#pragma once
// The touch-screen page designer without its window: every edit the designer makes to the project's
// touch-screen object table (new objects from the templates, dragging, captions, texts, light links, the
// screen settings), the hints its controls show, and its unsaved-changes flag. The window only shows the
// table and hands user actions to this class.
#include <optional>
#include <string>
#include <vector>

#include "project/name_table.h"
#include "project/touch_screen_table.h"

namespace project {

class TouchDesigner {
 public:
  static constexpr int PageWidth = 320;
  static constexpr int PageHeight = 240;
  static constexpr int PageCount = 24;
  static constexpr int DragStep = 8;
  static constexpr int NewObjectLeft = 5;
  static constexpr int NewObjectTop = 5;
  static constexpr int MaxTextLength = 30;  // longest caption or text the text dialog accepts
  static constexpr int MaxBacklightOffDelay = 200;

  explicit TouchDesigner(TouchScreenTable& table, const NameTable& names = SharedNameTable());

  TouchScreenTable& Table() { return table_; }
  const TouchScreenTable& Table() const { return table_; }

  // Set by every change of the table (new, dragged, edited, attached and deleted objects, a new file, the
  // settings) and by clicks on the page background; cleared only by the window, after a successful load
  // or save.
  bool Modified = false;

  // A new object of `type` on `page` (1..24) in the lowest free record, at (5, 5) with the template's size;
  // the record index, or 0 when all 511 records are in use (the table and Modified are then left alone).
  int CreateObject(TouchObjectType type, int page, int width, int height);
  void DeleteObject(int record) {
    table_.DeleteObject(record);
    Modified = true;
  }
  // " New Touch Screen File": every record freed, the settings record too.
  void NewFile() {
    table_.ClearAllObjects();
    Modified = true;
  }

  // Dragging: the pointer positions are in the object's control, whose left and top are the record's X and Y.
  void BeginDrag(int record, int pointerX, int pointerY);
  // Moves the dragged object to the pointer; true when it moved (the record's X and Y are its new place).
  bool DragMove(int pointerX, int pointerY);
  void EndDrag() { dragging_ = false; }
  bool Dragging() const { return dragging_; }
  int DragRecord() const { return dragRecord_; }

  struct Place {
    int X = 0;
    int Y = 0;
    bool operator==(const Place&) const = default;
  };
  // Where an object at (left, top) of the given size lands when the pointer moved by (dx, dy): the sums in
  // 16-bit arithmetic, cut toward zero to multiples of 8; nothing when that leaves the 320 x 240 page.
  static std::optional<Place> DragTarget(int left, int top, int width, int height, int dx, int dy);

  // The hint of a button just made from a template (with its trailing blank).
  std::string NewButtonHint(int record) const;
  // The hint of an object's control: a button's names its borders and icon, a text's or light's its number.
  std::string Hint(int record) const;

  // Font of an object's control: 8 points regular, 16 bold, or (texts with Style 2) 36 bold.
  struct Font {
    int Points = 8;
    bool Bold = false;
    bool operator==(const Font&) const = default;
  };
  Font FontOf(int record) const;

  // What the "Enter Text" dialog shows and gives back. A selection of -1 (nothing chosen) leaves the
  // record's field as it was.
  struct CaptionEntry {
    std::string Text;
    int Font = 0;  // 0 "Small", 1 "Large"
    bool HiddenBorder = false;
    std::vector<std::string> Icons;  // "No Icon", then icons 1..199
    int Icon = 0;
  };
  CaptionEntry CaptionSetup(int record) const;
  void ApplyCaption(int record, const CaptionEntry& entry);

  struct TextEntry {
    std::string Text;
    int Font = 0;  // 0 "Small", 1 "Large", 2 "Large Numbers Only"
    std::vector<std::string> Variables;
    int Variable = 0;
  };
  TextEntry TextSetup(int record) const;
  void ApplyText(int record, const TextEntry& entry);

  // "Attach X-10": the light becomes an X10 status light (its link cut to a house and unit) before the
  // dialog opens; the 256 unit names and the entry to select (16 x house + unit).
  struct X10Entry {
    std::vector<std::string> Units;
    int Unit = 0;
  };
  X10Entry AttachX10(int record);
  void ApplyX10(int record, int unit);

  // "Attach I/O": the light becomes a module I/O point light before the dialog opens, and its point is
  // lowered to the highest the selected module has.
  struct IoEntry {
    std::vector<std::string> Modules;  // entry p: module p + 1
    int Module = 0;
    std::vector<std::string> Points;
    int Point = 0;
  };
  IoEntry AttachIo(int record);
  // False, and the link left as it was, when no module or no point is chosen (a module without points).
  bool ApplyIo(int record, int module, int point);
  // The points a module's slot offers (by the slot text's type suffix) and the highest of them.
  struct PointRange {
    int Count = 0;
    int Highest = 0;
  };
  static PointRange PointsOfSlot(const std::string& slotText);
  // The point names of module list entry `module` (module number module + 1).
  std::vector<std::string> PointList(int module) const;

  // The screen settings; each counts as a change.
  void SetBeepOnTouch(int selection);
  void SetShowDateAndTime(int selection);
  void SetBacklightOffDelay(int barPosition);
  // The number field typed: the bar's position it gives (not a number: 0; held within 0..200), stored.
  int TypeBacklightOffDelay(const std::string& text);
  static int BarPositionOf(const std::string& text);

  // A click on the page background.
  void PageClicked() { Modified = true; }

 private:
  TouchObject Object(int record) const { return table_.Object(record); }

  TouchScreenTable& table_;
  const NameTable& names_;
  bool dragging_ = false;
  int dragRecord_ = 0;
  int dragX_ = 0;
  int dragY_ = 0;
};

}  // namespace project
