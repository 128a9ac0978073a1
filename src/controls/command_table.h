#pragma once
// Key-binding tables and the command processor that turns key strokes into editing commands through them.
// Keys are virtual-key codes; a binding may take two keys in sequence (WordStar's Ctrl+Q then S).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tk/filer.h"
#include "tk/message.h"
#include "tk/types.h"

namespace controls {

// Command codes. Each name is also the library text 33768 + code.
enum : std::uint16_t {
  ccNone = 0,
  ccBack,
  ccBotOfPage,
  ccBotRightCell,
  ccCompleteDate,
  ccCompleteTime,
  ccCopy,
  ccCtrlChar,
  ccCut,
  ccDec,
  ccDel,
  ccDelBol,
  ccDelEol,
  ccDelLine,
  ccDelWord,
  ccDown,
  ccEnd,
  ccExtendDown,
  ccExtendEnd,
  ccExtendHome,
  ccExtendLeft,
  ccExtendPgDn,
  ccExtendPgUp,
  ccExtendRight,
  ccExtendUp,
  ccExtBotOfPage,
  ccExtFirstPage,
  ccExtLastPage,
  ccExtTopOfPage,
  ccExtWordLeft,
  ccExtWordRight,
  ccFirstPage,
  ccGotoMarker0,  // ..ccGotoMarker9 = 41
  ccHome = 42,
  ccInc,
  ccIns,
  ccLastPage,
  ccLeft,
  ccNewLine,
  ccNextPage,
  ccPageLeft,
  ccPageRight,
  ccPaste,
  ccPrevPage,
  ccRedo,
  ccRestore,
  ccRight,
  ccScrollDown,
  ccScrollUp,
  ccSetMarker0,  // ..ccSetMarker9 = 67
  ccTab = 68,
  ccTableEdit,
  ccTopLeftCell,
  ccTopOfPage,
  ccUndo,
  ccUp,
  ccWordLeft,
  ccWordRight,
  ccLastCommand = ccWordRight,
  // Results of translation that are not commands.
  ccChar = 252,       // an ordinary key, to be handled as a character
  ccUnmatched = 254,  // the second key of a sequence matched nothing; the key is consumed
  ccPartial = 255,    // the first key of a sequence was seen
};

// The command's name ("ccLeft"); empty for a code that has none.
std::string CommandName(std::uint16_t code);

// Shift states in command records.
inline constexpr std::uint8_t cssShift = 2;
inline constexpr std::uint8_t cssCtrl = 4;
inline constexpr std::uint8_t cssAlt = 8;
// As a second key's shift state: the key alone or with Control alone.
inline constexpr std::uint8_t cssNoneOrCtrl = 128;

// One binding, 6 bytes as stored: first key and shift, second key (0 = none) and shift, command.
struct TVxCmdRec {
  std::uint8_t Key1 = 0;
  std::uint8_t Shift1 = 0;
  std::uint8_t Key2 = 0;
  std::uint8_t Shift2 = 0;
  std::uint16_t Cmd = 0;

  // The four key bytes as one integer, first key in the low byte.
  std::int32_t Keys() const;
  static TVxCmdRec FromKeys(std::int32_t keys, std::uint16_t cmd);
  bool SameKeys(const TVxCmdRec& other) const { return Keys() == other.Keys(); }
  friend bool operator==(const TVxCmdRec&, const TVxCmdRec&) = default;
};

// The records of a built-in table ("Default", "WordStar" or "Grid", any case); null for any other name.
const std::vector<TVxCmdRec>* BuiltInCommands(const std::string& tableName);

// What a table's "CommandList" property holds.
struct TVxCommandListData {
  std::string Name;
  bool Active = true;
  std::vector<std::pair<std::int32_t, std::int32_t>> Pairs;  // keys (as TVxCmdRec::Keys), command
  friend bool operator==(const TVxCommandListData&, const TVxCommandListData&) = default;
};
// The stored forms of "CommandList" and "TableList"; a value that cannot be read throws tk::EReadError.
tk::Binary EncodeCommandList(const TVxCommandListData& data);
TVxCommandListData DecodeCommandList(const tk::Binary& bytes);
tk::Binary EncodeTableList(const std::vector<TVxCommandListData>& tables);
std::vector<TVxCommandListData> DecodeTableList(const tk::Binary& bytes);

class TVxCommandTable {
 public:
  const std::string& TableName() const { return name_; }
  void SetTableName(const std::string& name) { name_ = name; }
  bool IsActive() const { return active_; }
  void SetIsActive(bool active) { active_ = active; }

  // Index errors throw tk::EListError.
  int AddRec(const TVxCmdRec& rec);
  void InsertRec(int index, const TVxCmdRec& rec);
  void PutCmdRec(int index, const TVxCmdRec& rec);
  TVxCmdRec GetCmdRec(int index) const;
  void Delete(int index);
  void Exchange(int a, int b);
  void Move(int from, int to);
  void Clear() { records_.clear(); }
  int Count() const { return static_cast<int>(records_.size()); }
  // The first record with the same keys (the command is not compared), -1 when none.
  int IndexOf(const TVxCmdRec& rec) const;
  const std::vector<TVxCmdRec>& Records() const { return records_; }

  // A text file: the table name, then one line of five integers per record. Throws tk::EInOutError, and
  // EDuplicateCommand for keys bound twice in a built-in table's file (where command 0 is refused too).
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

  // A built-in table stores only its differences from the built-in list.
  TVxCommandListData GetCommandListData() const;
  void SetCommandListData(const TVxCommandListData& data);
  // "CommandList", written only when the table has records.
  void DefineProperties(tk::Filer& filer, const std::string& prefix = std::string());

 private:
  void CheckIndex(int index, int limit) const;

  std::string name_ = "(Unknown)";
  bool active_ = true;
  std::vector<TVxCmdRec> records_;
};

enum class TVxProcessorState { stNone, stPartial, stLiteral };

class TVxCommandProcessor {
 public:
  // Holds the built-in tables: "Default" (active), "WordStar" and "Grid".
  TVxCommandProcessor();
  virtual ~TVxCommandProcessor();
  TVxCommandProcessor(const TVxCommandProcessor&) = delete;
  TVxCommandProcessor& operator=(const TVxCommandProcessor&) = delete;

  // Appends the table under a name no other table has (a number is added when needed); returns its index.
  int Add(std::unique_ptr<TVxCommandTable> table);
  int CreateCommandTable(const std::string& name, bool active);
  // Throw ETableNotFound for an unknown table, EDuplicateCommand when the keys are already bound.
  void AddCommand(const std::string& tableName, std::uint8_t key1, std::uint8_t shift1, std::uint8_t key2,
                  std::uint8_t shift2, std::uint16_t cmd);
  void AddCommandRec(const std::string& tableName, const TVxCmdRec& rec);
  void DeleteCommand(const std::string& tableName, const TVxCmdRec& keys);

  // Names compare ignoring case.
  TVxCommandTable* GetCommandTable(const std::string& name) const;
  int GetCommandTableIndex(const std::string& name) const;
  // Throw ETableNotFound for an unknown name or an index out of range.
  int GetCommandCount(const std::string& name) const;
  void ChangeTableName(const std::string& oldName, const std::string& newName);
  void DeleteCommandTable(const std::string& name);
  void Delete(int index);
  void SetTable(int index, std::unique_ptr<TVxCommandTable> table);
  void Exchange(int a, int b);
  void Clear() { tables_.clear(); }
  int GetCount() const { return static_cast<int>(tables_.size()); }
  TVxCommandTable* GetTable(int index) const;
  // Moves the named tables to the front, in the given order: they are scanned first.
  void SetScanPriority(const std::vector<std::string>& names);

  virtual int LoadCommandTable(const std::string& fileName);
  // Nothing for an unknown table.
  virtual void SaveCommandTable(const std::string& tableName, const std::string& fileName);

  TVxProcessorState GetState(std::uint8_t& key, std::uint8_t& shift) const;
  void SetState(TVxProcessorState state, std::uint8_t key, std::uint8_t shift);
  void ResetCommandProcessor() { SetState(TVxProcessorState::stNone, 0, 0); }

  // A command code, or ccChar, ccUnmatched or ccPartial. The message forms take the key from the word
  // parameter and the shift state from the keyboard; the plain forms scan the active tables, the Using
  // forms the named tables whether active or not.
  std::uint16_t Translate(const tk::Message& message);
  std::uint16_t TranslateKey(std::uint16_t key, tk::ShiftState shift);
  std::uint16_t TranslateUsing(const std::vector<std::string>& tableNames, const tk::Message& message);
  std::uint16_t TranslateKeyUsing(const std::vector<std::string>& tableNames, std::uint16_t key, tk::ShiftState shift);

  std::vector<TVxCommandListData> GetTableListData() const;
  // Replaces every table with those given.
  void SetTableListData(const std::vector<TVxCommandListData>& tables);
  // "TableList", written when there is at least one table.
  void DefineProperties(tk::Filer& filer, const std::string& prefix = std::string());

 private:
  TVxCommandTable& Table(const std::string& name) const;
  void CheckIndex(int index) const;
  std::uint16_t TranslateWith(const std::vector<TVxCommandTable*>& tables, std::uint16_t key, std::uint8_t shift);
  std::uint16_t ScanTable(const TVxCommandTable& table, std::uint16_t key, std::uint8_t shift);

  std::vector<std::unique_ptr<TVxCommandTable>> tables_;
  TVxProcessorState state_ = TVxProcessorState::stNone;
  std::uint8_t lastKey_ = 0;
  std::uint8_t lastShift_ = 0;
};

}  // namespace controls
