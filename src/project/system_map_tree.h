#pragma once
// The System Map: the project's store of names and its module map, as a tree with no widget in it.
//
// Every name is addressed by its absolute position, the node's index in a parents-first walk of the whole
// tree (the root is 0). The root names the controller model; "Local" (position 1) holds the groups of
// variables, timers, IR codes, X10 units, ASCII messages and, on the touch-screen model, touch objects
// and icons; the 126 module slots follow "Local" as further children of the root.
//
// Positions are cached and renewed lazily after a change of shape, so reading them is cheap between
// changes. An Observer (the window's item model) hears of every change before and after it happens.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "project/module_type.h"

namespace project {

inline constexpr int ModuleSlotCount = 126;
inline constexpr int MarvikLastLocalIndex = 1606;
inline constexpr int TessaroLastLocalIndex = 2064;
// Fixed positions of the "Local" section.
inline constexpr int VariablesHeader = 2;
inline constexpr int FirstVariable = 3;
inline constexpr int TimersHeader = 131;
inline constexpr int FirstTimer = 132;
inline constexpr int InfraRedHeader = 196;
inline constexpr int FirstIrCode = 197;
inline constexpr int X10Header = 1221;
inline constexpr int FirstX10Unit = 1222;
inline constexpr int LastX10Unit = 1477;
inline constexpr int AsciiMessagesHeader = 1478;
inline constexpr int FirstAsciiMessage = 1479;
inline constexpr int TouchObjectsHeader = 1607;
inline constexpr int FirstTouchObject = 1608;
inline constexpr int IconsHeader = 1864;
inline constexpr int FirstIcon = 1865;
inline constexpr int IconCount = 200;

struct TreeParseResult;

class SystemMapTree {
 public:
  class Node {
   public:
    explicit Node(std::string text) : text_(std::move(text)) {}
    const std::string& Text() const { return text_; }
    Node* Parent() const { return parent_; }
    int ChildCount() const { return static_cast<int>(children_.size()); }
    Node* Child(int row) const;  // nullptr when out of range
    Node* AddChild(std::string text);

   private:
    friend class SystemMapTree;
    std::string text_;
    Node* parent_ = nullptr;
    std::vector<std::unique_ptr<Node>> children_;
    // Filled by the position cache.
    int position_ = 0;
    int level_ = 0;
    int row_ = 0;
  };

  // Told of every change. Removals and insertions concern children first..last of `parent`.
  class Observer {
   public:
    virtual ~Observer() = default;
    virtual void BeginReset() = 0;
    virtual void EndReset() = 0;
    virtual void BeginRemoveChildren(const Node* parent, int first, int last) = 0;
    virtual void EndRemoveChildren() = 0;
    virtual void BeginInsertChildren(const Node* parent, int first, int last) = 0;
    virtual void EndInsertChildren() = 0;
    virtual void TextChanged(const Node* node) = 0;
  };

  SystemMapTree() = default;
  // Takes a root built elsewhere (the default tree, a parsed file).
  explicit SystemMapTree(std::unique_ptr<Node> root);
  // Moving carries the nodes, never the observer.
  SystemMapTree(SystemMapTree&& other) noexcept;
  SystemMapTree& operator=(SystemMapTree&& other) noexcept;

  void SetObserver(Observer* observer) { observer_ = observer; }

  // The tree a new project starts from: the "Marvik" model with its "Local" section and 126 empty slots.
  static SystemMapTree Default();

  // Replaces the whole content with `other`'s (loading a project); the observer stays. The new content
  // counts as saved.
  void Assign(SystemMapTree&& other);

  // Whether the tree differs from what it was when last assigned or marked saved. Comparing content
  // rather than counting edits, a name typed and then typed back is no change.
  bool ChangedSinceSaved() const { return ToText() != savedText_; }
  void MarkSaved() { savedText_ = ToText(); }

  bool Empty() const { return !root_; }
  int Count() const;  // number of nodes
  Node* Root() const { return root_.get(); }
  Node* NodeAt(int position) const;  // nullptr out of range
  int PositionOf(const Node* node) const;
  int LevelOf(const Node* node) const;
  int RowOf(const Node* node) const;  // index among its parent's children
  int LevelAt(int position) const;    // -1 out of range
  // The node's text; empty out of range.
  const std::string& TextAt(int position) const;

  // 1606 when the root text is exactly "Marvik", otherwise 2064.
  int LastLocalIndex() const;
  // True when the root text is exactly "Tessaro".
  bool IsTouchController() const;
  // A level-1 node after the "Local" section.
  bool IsModuleSlot(int position) const;

  // Puts a module into the slot at `position`: the slot node is replaced by one whose text is the old
  // text cut to 11 characters plus the type's suffix, with the type's points as children. False (and no
  // change) when the position is not a module slot.
  bool AddModule(int position, ModuleType type);
  // Empties the slot: the text cut to 11 characters, no children. False when not a module slot.
  bool RemoveModule(int position);

  enum class ModelChange { Changed, Unchanged, Refused };
  // "Marvik" -> "Tessaro": adds the "Touch Objects" and "Icons" groups to "Local". Any other root text:
  // Unchanged.
  ModelChange ChangeToTessaro();
  // There is no way back from the touch-screen model: Refused on "Tessaro", Unchanged otherwise.
  ModelChange ChangeToMarvik() const;

  // Whether the user may rename the node at `position` (the fixed headers and levels 0 and 1 are not).
  bool CanEdit(int position) const;
  // Renames through the rules: refused positions are left alone (false); blanks and TABs become "-".
  bool Rename(int position, std::string_view text);
  // Sets a node's text as given, with no rule applied (an icon entry takes its file's name). False out
  // of range.
  bool SetText(int position, std::string_view text);
  // A user-given name as stored: no blank, TAB or line break survives (each becomes "-"), so that the
  // name cannot change its own indentation in the ".prj" file.
  static std::string CleanName(std::string_view text);

  // The hint shown while the pointer rests on the node at `position` ("" for none).
  std::string HintAt(int position) const;

  // The ".prj" text: one line per node in position order, `indent` repeated once per level, CR LF.
  std::string ToText(char indent = '\t') const;

  // Reads ".prj" text. Leading TABs and blanks each count one level; LF and CR LF line ends are accepted.
  static TreeParseResult Parse(std::string_view text);

 private:
  void Invalidate() { cacheValid_ = false; }
  void EnsureCache() const;
  std::unique_ptr<Node> MakeSlotNode(const std::string& text, const std::vector<std::string>& points) const;
  void ReplaceChild(Node* parent, int row, std::unique_ptr<Node> replacement);

  std::unique_ptr<Node> root_;
  Observer* observer_ = nullptr;
  mutable bool cacheValid_ = false;
  mutable std::vector<Node*> order_;
  std::string savedText_;
};

struct TreeParseResult {
  std::optional<SystemMapTree> Tree;  // set on success
  int ErrorLine = 0;                  // 1-based line of the damage
  std::string Error;
};

// The default point names of the "Local" groups (used by the default tree and the model change).
std::vector<std::string> DefaultVariableNames();
std::vector<std::string> DefaultTouchObjectNames();
std::vector<std::string> DefaultIconNames();

}  // namespace project
