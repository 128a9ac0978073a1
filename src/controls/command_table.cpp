#include "controls/command_table.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "controls/exceptions.h"
#include "controls/library_data.h"
#include "controls/misc.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tk/exception.h"
#include "tk/virtual_keys.h"

namespace controls {

namespace {

constexpr int SDefaultTable = 30275;
constexpr int SWordStarTable = 30276;
constexpr int SGridTable = 30266;
constexpr int SFirstCommandName = 33768;

TVxCmdRec K(std::uint16_t key, std::uint8_t shift, std::uint16_t cmd) {
  return {static_cast<std::uint8_t>(key), shift, 0, 0, cmd};
}
TVxCmdRec K2(std::uint16_t key1, std::uint8_t shift1, std::uint16_t key2, std::uint16_t cmd) {
  return {static_cast<std::uint8_t>(key1), shift1, static_cast<std::uint8_t>(key2), cssNoneOrCtrl, cmd};
}

constexpr std::uint8_t S = cssShift;
constexpr std::uint8_t C = cssCtrl;
constexpr std::uint8_t A = cssAlt;
constexpr std::uint8_t CS = cssCtrl | cssShift;

std::vector<TVxCmdRec> DefaultCommands() {
  using namespace tk;
  std::vector<TVxCmdRec> t = {
      K(VK_LEFT, 0, ccLeft),
      K(VK_RIGHT, 0, ccRight),
      K(VK_LEFT, C, ccWordLeft),
      K(VK_RIGHT, C, ccWordRight),
      K(VK_HOME, 0, ccHome),
      K(VK_END, 0, ccEnd),
      K(VK_DELETE, 0, ccDel),
      K(VK_BACK, 0, ccBack),
      K(VK_BACK, S, ccBack),
      K(VK_PRIOR, C, ccTopOfPage),
      K(VK_NEXT, C, ccBotOfPage),
      K(VK_INSERT, 0, ccIns),
      K('Z', C, ccUndo),
      K(VK_BACK, A, ccRestore),
      K(VK_UP, 0, ccUp),
      K(VK_DOWN, 0, ccDown),
      K(VK_RETURN, C, ccNewLine),
      K(VK_LEFT, S, ccExtendLeft),
      K(VK_RIGHT, S, ccExtendRight),
      K(VK_HOME, S, ccExtendHome),
      K(VK_END, S, ccExtendEnd),
      K(VK_LEFT, CS, ccExtWordLeft),
      K(VK_RIGHT, CS, ccExtWordRight),
      K(VK_PRIOR, S, ccExtendPgUp),
      K(VK_NEXT, S, ccExtendPgDn),
      K(VK_UP, S, ccExtendUp),
      K(VK_DOWN, S, ccExtendDown),
      K(VK_HOME, CS, ccExtFirstPage),
      K(VK_END, CS, ccExtLastPage),
      K(VK_PRIOR, CS, ccExtTopOfPage),
      K(VK_NEXT, CS, ccExtBotOfPage),
      K(VK_DELETE, S, ccCut),
      K('X', C, ccCut),
      K(VK_INSERT, C, ccCopy),
      K('C', C, ccCopy),
      K(VK_INSERT, S, ccPaste),
      K('V', C, ccPaste),
      K(VK_PRIOR, 0, ccPrevPage),
      K(VK_NEXT, 0, ccNextPage),
      K(VK_HOME, C, ccFirstPage),
      K(VK_END, C, ccLastPage),
      K(VK_TAB, 0, ccTab),
      K(VK_TAB, C, ccTab),
      K('Z', CS, ccRedo),
  };
  for (int i = 0; i < 10; ++i) t.push_back(K('0' + i, C, static_cast<std::uint16_t>(ccGotoMarker0 + i)));
  for (int i = 0; i < 10; ++i) t.push_back(K('0' + i, CS, static_cast<std::uint16_t>(ccSetMarker0 + i)));
  return t;
}

std::vector<TVxCmdRec> WordStarCommands() {
  std::vector<TVxCmdRec> t = {
      K('S', C, ccLeft),     K('D', C, ccRight),     K('E', C, ccUp),         K('X', C, ccDown),
      K('R', C, ccPrevPage), K('C', C, ccNextPage),  K('W', C, ccScrollUp),   K('Z', C, ccScrollDown),
      K('A', C, ccWordLeft), K('F', C, ccWordRight), K2('Q', C, 'S', ccHome), K2('Q', C, 'D', ccEnd),
      K('G', C, ccDel),      K('H', C, ccBack),      K('Y', C, ccDelLine),    K2('Q', C, 'Y', ccDelEol),
      K('V', C, ccIns),      K('T', C, ccDelWord),   K('P', C, ccCtrlChar),   K2('Q', C, 'L', ccRestore),
  };
  for (int i = 0; i < 10; ++i) t.push_back(K2('Q', C, '0' + i, static_cast<std::uint16_t>(ccGotoMarker0 + i)));
  for (int i = 0; i < 10; ++i) t.push_back(K2('K', C, '0' + i, static_cast<std::uint16_t>(ccSetMarker0 + i)));
  return t;
}

std::vector<TVxCmdRec> GridCommands() {
  using namespace tk;
  return {
      K(VK_LEFT, 0, ccLeft),
      K(VK_RIGHT, 0, ccRight),
      K(VK_LEFT, C, ccPageLeft),
      K(VK_RIGHT, C, ccPageRight),
      K(VK_HOME, 0, ccHome),
      K(VK_END, 0, ccEnd),
      K(VK_DELETE, 0, ccDel),
      K(VK_BACK, 0, ccBack),
      K(VK_NEXT, C, ccBotOfPage),
      K(VK_PRIOR, C, ccTopOfPage),
      K(VK_INSERT, 0, ccIns),
      K('Z', C, ccRestore),
      K(VK_UP, 0, ccUp),
      K(VK_DOWN, 0, ccDown),
      K(VK_LEFT, S, ccExtendLeft),
      K(VK_RIGHT, S, ccExtendRight),
      K(VK_HOME, S, ccExtendHome),
      K(VK_END, S, ccExtendEnd),
      K(VK_LEFT, CS, ccExtWordLeft),
      K(VK_RIGHT, CS, ccExtWordRight),
      K(VK_PRIOR, S, ccExtendPgUp),
      K(VK_NEXT, S, ccExtendPgDn),
      K(VK_UP, S, ccExtendUp),
      K(VK_DOWN, S, ccExtendDown),
      K(VK_HOME, CS, ccExtFirstPage),
      K(VK_END, CS, ccExtLastPage),
      K(VK_PRIOR, CS, ccExtTopOfPage),
      K(VK_NEXT, CS, ccExtBotOfPage),
      K('X', C, ccCut),
      K('C', C, ccCopy),
      K('V', C, ccPaste),
      K(VK_PRIOR, 0, ccPrevPage),
      K(VK_HOME, C, ccFirstPage),
      K(VK_NEXT, 0, ccNextPage),
      K(VK_END, C, ccLastPage),
      K(VK_UP, C, ccTopLeftCell),
      K(VK_DOWN, C, ccBotRightCell),
      K(VK_F2, 0, ccTableEdit),
  };
}

struct BuiltInTable {
  int NameId;
  bool Active;
  std::vector<TVxCmdRec> Records;
};

const std::vector<BuiltInTable>& BuiltInTables() {
  static const std::vector<BuiltInTable> tables = {
      {SDefaultTable, true, DefaultCommands()},
      {SWordStarTable, false, WordStarCommands()},
      {SGridTable, false, GridCommands()},
  };
  return tables;
}

[[noreturn]] void BadValue() { throw tk::EReadError("Invalid property value"); }

// The stored forms: little-endian 32-bit integers, a string as its length and bytes, a flag as one byte.
class ByteWriter {
 public:
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) Out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Bool(bool v) { Out.push_back(v ? 1 : 0); }
  void Str(const std::string& s) {
    U32(static_cast<std::uint32_t>(s.size()));
    Out.insert(Out.end(), s.begin(), s.end());
  }
  tk::Binary Out;
};

class ByteReader {
 public:
  explicit ByteReader(const tk::Binary& in) : in_(in) {}
  std::uint32_t U32() {
    Need(4);
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(in_[pos_++]) << (8 * i);
    return v;
  }
  bool Bool() {
    Need(1);
    std::uint8_t v = in_[pos_++];
    if (v > 1) BadValue();
    return v == 1;
  }
  std::string Str() {
    std::uint32_t n = U32();
    Need(n);
    std::string s(in_.begin() + static_cast<std::ptrdiff_t>(pos_), in_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
    pos_ += n;
    return s;
  }
  // A count of items of at least `itemSize` bytes each, checked against what is left.
  std::uint32_t Count(std::size_t itemSize) {
    std::uint32_t n = U32();
    if (n > (in_.size() - pos_) / itemSize) BadValue();
    return n;
  }
  void End() const {
    if (pos_ != in_.size()) BadValue();
  }

 private:
  void Need(std::size_t n) const {
    if (in_.size() - pos_ < n) BadValue();
  }
  const tk::Binary& in_;
  std::size_t pos_ = 0;
};

void WriteCommandList(ByteWriter& w, const TVxCommandListData& data) {
  w.Str(data.Name);
  w.Bool(data.Active);
  w.U32(static_cast<std::uint32_t>(data.Pairs.size()));
  for (const auto& [keys, cmd] : data.Pairs) {
    w.U32(static_cast<std::uint32_t>(keys));
    w.U32(static_cast<std::uint32_t>(cmd));
  }
}

TVxCommandListData ReadCommandList(ByteReader& r) {
  TVxCommandListData data;
  data.Name = r.Str();
  data.Active = r.Bool();
  std::uint32_t n = r.Count(8);
  for (std::uint32_t i = 0; i < n; ++i) {
    auto keys = static_cast<std::int32_t>(r.U32());
    auto cmd = static_cast<std::int32_t>(r.U32());
    data.Pairs.emplace_back(keys, cmd);
  }
  return data;
}

[[noreturn]] void FileError(int error) { throw tk::EInOutError(std::strerror(error), error); }

// The integers of one line of a command-table file, at most `count` of them; false on anything else.
bool ParseNumbers(const std::string& line, int count, std::vector<long>& values) {
  values.clear();
  const char* p = line.data();
  const char* end = p + line.size();
  while (static_cast<int>(values.size()) < count) {
    while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (p == end) return false;
    long v = 0;
    auto [next, ec] = std::from_chars(*p == '+' ? p + 1 : p, end, v);
    if (ec != std::errc() || (next < end && !std::isspace(static_cast<unsigned char>(*next)))) return false;
    values.push_back(v);
    p = next;
  }
  return true;
}

}  // namespace

std::string CommandName(std::uint16_t code) {
  if (code > ccLastCommand) return std::string();
  return GetVxStr(static_cast<std::uint16_t>(SFirstCommandName + code));
}

std::int32_t TVxCmdRec::Keys() const {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(Key1) | static_cast<std::uint32_t>(Shift1) << 8 |
                                   static_cast<std::uint32_t>(Key2) << 16 | static_cast<std::uint32_t>(Shift2) << 24);
}

TVxCmdRec TVxCmdRec::FromKeys(std::int32_t keys, std::uint16_t cmd) {
  auto k = static_cast<std::uint32_t>(keys);
  return {static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(k >> 16),
          static_cast<std::uint8_t>(k >> 24), cmd};
}

const std::vector<TVxCmdRec>* BuiltInCommands(const std::string& tableName) {
  for (const BuiltInTable& t : BuiltInTables())
    if (platform::SameText(tableName, GetVxStr(static_cast<std::uint16_t>(t.NameId)))) return &t.Records;
  return nullptr;
}

tk::Binary EncodeCommandList(const TVxCommandListData& data) {
  ByteWriter w;
  WriteCommandList(w, data);
  return w.Out;
}

TVxCommandListData DecodeCommandList(const tk::Binary& bytes) {
  ByteReader r(bytes);
  TVxCommandListData data = ReadCommandList(r);
  r.End();
  return data;
}

tk::Binary EncodeTableList(const std::vector<TVxCommandListData>& tables) {
  ByteWriter w;
  w.U32(static_cast<std::uint32_t>(tables.size()));
  for (const auto& t : tables) WriteCommandList(w, t);
  return w.Out;
}

std::vector<TVxCommandListData> DecodeTableList(const tk::Binary& bytes) {
  ByteReader r(bytes);
  std::vector<TVxCommandListData> tables(r.Count(9));  // name length, flag, pair count
  for (auto& t : tables) t = ReadCommandList(r);
  r.End();
  return tables;
}

// command table

void TVxCommandTable::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit) throw tk::EListError("List index out of bounds (" + std::to_string(index) + ")");
}

int TVxCommandTable::AddRec(const TVxCmdRec& rec) {
  records_.push_back(rec);
  return Count() - 1;
}

void TVxCommandTable::InsertRec(int index, const TVxCmdRec& rec) {
  CheckIndex(index, Count() + 1);
  records_.insert(records_.begin() + index, rec);
}

void TVxCommandTable::PutCmdRec(int index, const TVxCmdRec& rec) {
  CheckIndex(index, Count());
  records_[static_cast<std::size_t>(index)] = rec;
}

TVxCmdRec TVxCommandTable::GetCmdRec(int index) const {
  CheckIndex(index, Count());
  return records_[static_cast<std::size_t>(index)];
}

void TVxCommandTable::Delete(int index) {
  CheckIndex(index, Count());
  records_.erase(records_.begin() + index);
}

void TVxCommandTable::Exchange(int a, int b) {
  CheckIndex(a, Count());
  CheckIndex(b, Count());
  std::swap(records_[static_cast<std::size_t>(a)], records_[static_cast<std::size_t>(b)]);
}

void TVxCommandTable::Move(int from, int to) {
  if (from == to) return;
  CheckIndex(from, Count());
  CheckIndex(to, Count());
  TVxCmdRec rec = records_[static_cast<std::size_t>(from)];
  records_.erase(records_.begin() + from);
  records_.insert(records_.begin() + to, rec);
}

int TVxCommandTable::IndexOf(const TVxCmdRec& rec) const {
  auto it = std::find_if(records_.begin(), records_.end(), [&](const TVxCmdRec& r) { return r.SameKeys(rec); });
  return it == records_.end() ? -1 : static_cast<int>(it - records_.begin());
}

void TVxCommandTable::LoadFromFile(const std::string& fileName) {
  // Read into a list of its own: a file that fails leaves the table as it was.
  std::FILE* f = std::fopen(platform::NativePath(platform::ResolveFileCase(fileName)).c_str(), "rb");
  if (!f) FileError(errno);
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  const bool failed = std::ferror(f) != 0;
  const int error = errno;
  std::fclose(f);
  if (failed) FileError(error);

  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();  // written on the original platform
    lines.push_back(std::move(line));
    start = end + 1;
  }
  std::string name = lines.empty() ? std::string() : lines.front();
  // A built-in table streams only its differences from the built-in list, where command 0 removes a
  // binding and a binding replaces the one of the same keys: its file must bind each key once, to a command.
  const bool builtIn = BuiltInCommands(name) != nullptr;
  std::vector<TVxCmdRec> records;
  std::vector<long> v;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].find_first_not_of(" \t") == std::string::npos) continue;
    if (!ParseNumbers(lines[i], 5, v) ||
        std::any_of(v.begin(), v.begin() + 4, [](long x) { return x < 0 || x > 255; }) || v[4] < (builtIn ? 1 : 0) ||
        v[4] > 65535)
      throw tk::EInOutError("Invalid numeric input", 0);
    const TVxCmdRec rec{static_cast<std::uint8_t>(v[0]), static_cast<std::uint8_t>(v[1]),
                        static_cast<std::uint8_t>(v[2]), static_cast<std::uint8_t>(v[3]),
                        static_cast<std::uint16_t>(v[4])};
    if (builtIn && std::any_of(records.begin(), records.end(), [&](const TVxCmdRec& r) { return r.SameKeys(rec); }))
      throw EDuplicateCommand();
    records.push_back(rec);
  }
  name_ = std::move(name);
  records_ = std::move(records);
}

void TVxCommandTable::SaveToFile(const std::string& fileName) const {
  std::string text = name_ + "\n";
  for (const TVxCmdRec& r : records_) {
    char line[40];
    std::snprintf(line, sizeof line, "%4d%4d%4d%4d%6d\n", r.Key1, r.Shift1, r.Key2, r.Shift2, r.Cmd);
    text += line;
  }
  platform::AtomicFileWriter writer(fileName);
  if (!writer.Write(text) || !writer.Commit()) throw tk::EInOutError(writer.Error(), writer.ErrorNumber());
}

TVxCommandListData TVxCommandTable::GetCommandListData() const {
  TVxCommandListData data{name_, active_, {}};
  const std::vector<TVxCmdRec>* builtIn = BuiltInCommands(name_);
  if (!builtIn) {
    for (const TVxCmdRec& r : records_) data.Pairs.emplace_back(r.Keys(), r.Cmd);
    return data;
  }
  for (const TVxCmdRec& b : *builtIn)
    if (IndexOf(b) < 0) data.Pairs.emplace_back(b.Keys(), ccNone);
  for (const TVxCmdRec& r : records_)
    if (std::find(builtIn->begin(), builtIn->end(), r) == builtIn->end()) data.Pairs.emplace_back(r.Keys(), r.Cmd);
  return data;
}

void TVxCommandTable::SetCommandListData(const TVxCommandListData& data) {
  for (const auto& pair : data.Pairs)
    if (pair.second < 0 || pair.second > 65535) BadValue();
  Clear();
  name_ = data.Name;
  active_ = data.Active;
  const std::vector<TVxCmdRec>* builtIn = BuiltInCommands(name_);
  if (builtIn) records_ = *builtIn;
  for (const auto& [keys, cmd] : data.Pairs) {
    TVxCmdRec rec = TVxCmdRec::FromKeys(keys, static_cast<std::uint16_t>(cmd));
    const int index = builtIn ? IndexOf(rec) : -1;
    if (index < 0)
      AddRec(rec);
    else if (rec.Cmd != ccNone)
      PutCmdRec(index, rec);
    else
      Delete(index);
  }
}

void TVxCommandTable::DefineProperties(tk::Filer& filer, const std::string& prefix) {
  filer.DefineBinaryProperty(
      prefix + "CommandList", [this](const tk::Binary& b) { SetCommandListData(DecodeCommandList(b)); },
      [this] { return EncodeCommandList(GetCommandListData()); }, Count() > 0);
}

// command processor

TVxCommandProcessor::TVxCommandProcessor() {
  for (const BuiltInTable& t : BuiltInTables()) {
    const std::string name = GetVxStr(static_cast<std::uint16_t>(t.NameId));
    CreateCommandTable(name, t.Active);
    for (const TVxCmdRec& r : t.Records) AddCommandRec(name, r);
  }
  ResetCommandProcessor();
}

TVxCommandProcessor::~TVxCommandProcessor() = default;

int TVxCommandProcessor::Add(std::unique_ptr<TVxCommandTable> table) {
  std::string base = table->TableName();
  std::size_t keep = base.size();
  while (keep > 1 && std::isdigit(static_cast<unsigned char>(base[keep - 1]))) --keep;
  base.resize(keep);
  // Numbered when the stripped name is taken, and also when its own name is.
  if (GetCommandTable(base) || GetCommandTable(table->TableName())) {
    std::string candidate;
    int number = 0;
    do
      candidate = base + std::to_string(++number);
    while (GetCommandTable(candidate));
    table->SetTableName(candidate);
  }
  tables_.push_back(std::move(table));
  return GetCount() - 1;
}

int TVxCommandProcessor::CreateCommandTable(const std::string& name, bool active) {
  auto table = std::make_unique<TVxCommandTable>();
  table->SetTableName(name);
  table->SetIsActive(active);
  return Add(std::move(table));
}

void TVxCommandProcessor::AddCommand(const std::string& tableName, std::uint8_t key1, std::uint8_t shift1,
                                     std::uint8_t key2, std::uint8_t shift2, std::uint16_t cmd) {
  AddCommandRec(tableName, {key1, shift1, key2, shift2, cmd});
}

void TVxCommandProcessor::AddCommandRec(const std::string& tableName, const TVxCmdRec& rec) {
  TVxCommandTable& table = Table(tableName);
  if (table.IndexOf(rec) >= 0) throw EDuplicateCommand();
  table.AddRec(rec);
}

void TVxCommandProcessor::DeleteCommand(const std::string& tableName, const TVxCmdRec& keys) {
  TVxCommandTable& table = Table(tableName);
  const int index = table.IndexOf(keys);
  if (index >= 0) table.Delete(index);
}

TVxCommandTable* TVxCommandProcessor::GetCommandTable(const std::string& name) const {
  const int index = GetCommandTableIndex(name);
  return index < 0 ? nullptr : tables_[static_cast<std::size_t>(index)].get();
}

int TVxCommandProcessor::GetCommandTableIndex(const std::string& name) const {
  for (std::size_t i = 0; i < tables_.size(); ++i)
    if (platform::SameText(tables_[i]->TableName(), name)) return static_cast<int>(i);
  return -1;
}

TVxCommandTable& TVxCommandProcessor::Table(const std::string& name) const {
  TVxCommandTable* table = GetCommandTable(name);
  if (!table) throw ETableNotFound();
  return *table;
}

void TVxCommandProcessor::CheckIndex(int index) const {
  if (index < 0 || index >= GetCount()) throw ETableNotFound();
}

int TVxCommandProcessor::GetCommandCount(const std::string& name) const { return Table(name).Count(); }

void TVxCommandProcessor::ChangeTableName(const std::string& oldName, const std::string& newName) {
  Table(oldName).SetTableName(newName);
}

void TVxCommandProcessor::DeleteCommandTable(const std::string& name) {
  const int index = GetCommandTableIndex(name);
  CheckIndex(index);
  tables_.erase(tables_.begin() + index);
}

void TVxCommandProcessor::Delete(int index) {
  CheckIndex(index);
  tables_.erase(tables_.begin() + index);
}

void TVxCommandProcessor::SetTable(int index, std::unique_ptr<TVxCommandTable> table) {
  CheckIndex(index);
  tables_[static_cast<std::size_t>(index)] = std::move(table);
}

void TVxCommandProcessor::Exchange(int a, int b) {
  if (a < 0 || a >= GetCount() || b < 0 || b >= GetCount())
    throw tk::EListError("List index out of bounds (" + std::to_string(a < 0 || a >= GetCount() ? a : b) + ")");
  std::swap(tables_[static_cast<std::size_t>(a)], tables_[static_cast<std::size_t>(b)]);
}

TVxCommandTable* TVxCommandProcessor::GetTable(int index) const {
  if (index < 0 || index >= GetCount())
    throw tk::EListError("List index out of bounds (" + std::to_string(index) + ")");
  return tables_[static_cast<std::size_t>(index)].get();
}

void TVxCommandProcessor::SetScanPriority(const std::vector<std::string>& names) {
  for (std::size_t i = 0; i < names.size() && i < tables_.size(); ++i) {
    const int at = GetCommandTableIndex(names[i]);
    if (at >= 0 && at != static_cast<int>(i)) Exchange(static_cast<int>(i), at);
  }
}

int TVxCommandProcessor::LoadCommandTable(const std::string& fileName) {
  auto table = std::make_unique<TVxCommandTable>();
  table->LoadFromFile(fileName);
  return Add(std::move(table));
}

void TVxCommandProcessor::SaveCommandTable(const std::string& tableName, const std::string& fileName) {
  if (TVxCommandTable* table = GetCommandTable(tableName)) table->SaveToFile(fileName);
}

TVxProcessorState TVxCommandProcessor::GetState(std::uint8_t& key, std::uint8_t& shift) const {
  key = lastKey_;
  shift = lastShift_;
  return state_;
}

void TVxCommandProcessor::SetState(TVxProcessorState state, std::uint8_t key, std::uint8_t shift) {
  state_ = state;
  lastKey_ = key;
  lastShift_ = shift;
}

namespace {

std::uint8_t ShiftFlags(tk::ShiftState shift) {
  std::uint8_t flags = 0;
  if (shift & tk::ssShift) flags |= cssShift;
  if (shift & tk::ssCtrl) flags |= cssCtrl;
  if (shift & tk::ssAlt) flags |= cssAlt;
  return flags;
}

bool IsLockOrModifier(std::uint16_t key) {
  using namespace tk;
  return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_CAPITAL || key == VK_NUMLOCK ||
         key == VK_SCROLL;
}

}  // namespace

std::uint16_t TVxCommandProcessor::Translate(const tk::Message& message) {
  std::vector<TVxCommandTable*> active;
  for (const auto& t : tables_)
    if (t->IsActive()) active.push_back(t.get());
  return TranslateWith(active, static_cast<std::uint16_t>(message.WParam & 0xFF), GetShiftFlags());
}

std::uint16_t TVxCommandProcessor::TranslateKey(std::uint16_t key, tk::ShiftState shift) {
  std::vector<TVxCommandTable*> active;
  for (const auto& t : tables_)
    if (t->IsActive()) active.push_back(t.get());
  return TranslateWith(active, key, ShiftFlags(shift));
}

std::uint16_t TVxCommandProcessor::TranslateUsing(const std::vector<std::string>& tableNames,
                                                  const tk::Message& message) {
  std::vector<TVxCommandTable*> named;
  for (const std::string& name : tableNames)
    if (TVxCommandTable* t = GetCommandTable(name)) named.push_back(t);
  return TranslateWith(named, static_cast<std::uint16_t>(message.WParam & 0xFF), GetShiftFlags());
}

std::uint16_t TVxCommandProcessor::TranslateKeyUsing(const std::vector<std::string>& tableNames, std::uint16_t key,
                                                     tk::ShiftState shift) {
  std::vector<TVxCommandTable*> named;
  for (const std::string& name : tableNames)
    if (TVxCommandTable* t = GetCommandTable(name)) named.push_back(t);
  return TranslateWith(named, key, ShiftFlags(shift));
}

std::uint16_t TVxCommandProcessor::TranslateWith(const std::vector<TVxCommandTable*>& tables, std::uint16_t key,
                                                 std::uint8_t shift) {
  // A modifier pressed on its own neither completes nor breaks a sequence.
  if (IsLockOrModifier(key)) return state_ == TVxProcessorState::stPartial ? ccPartial : ccChar;
  if (state_ == TVxProcessorState::stLiteral) {
    state_ = TVxProcessorState::stNone;
    return ccChar;
  }
  for (const TVxCommandTable* t : tables)
    if (std::uint16_t result = ScanTable(*t, key, shift)) return result;
  const std::uint16_t result = state_ == TVxProcessorState::stPartial ? ccUnmatched : ccChar;
  state_ = TVxProcessorState::stNone;
  return result;
}

std::uint16_t TVxCommandProcessor::ScanTable(const TVxCommandTable& table, std::uint16_t key, std::uint8_t shift) {
  for (const TVxCmdRec& r : table.Records()) {
    if (state_ == TVxProcessorState::stPartial) {
      const bool shiftMatches = r.Shift2 == shift || (r.Shift2 == cssNoneOrCtrl && (shift == 0 || shift == cssCtrl));
      if (r.Key1 == lastKey_ && r.Shift1 == lastShift_ && r.Key2 == key && shiftMatches) {
        state_ = r.Cmd == ccCtrlChar ? TVxProcessorState::stLiteral : TVxProcessorState::stNone;
        return r.Cmd;
      }
    } else if (r.Key1 == key && r.Shift1 == shift) {
      if (r.Key2 != 0) {
        SetState(TVxProcessorState::stPartial, r.Key1, shift);
        return ccPartial;
      }
      if (r.Cmd == ccCtrlChar) state_ = TVxProcessorState::stLiteral;
      return r.Cmd;
    }
  }
  return ccNone;
}

std::vector<TVxCommandListData> TVxCommandProcessor::GetTableListData() const {
  std::vector<TVxCommandListData> data;
  for (const auto& t : tables_) data.push_back(t->GetCommandListData());
  return data;
}

void TVxCommandProcessor::SetTableListData(const std::vector<TVxCommandListData>& tables) {
  std::vector<std::unique_ptr<TVxCommandTable>> read;
  for (const auto& d : tables) {
    read.push_back(std::make_unique<TVxCommandTable>());
    read.back()->SetCommandListData(d);
  }
  Clear();
  for (auto& t : read) Add(std::move(t));
}

void TVxCommandProcessor::DefineProperties(tk::Filer& filer, const std::string& prefix) {
  filer.DefineBinaryProperty(
      prefix + "TableList", [this](const tk::Binary& b) { SetTableListData(DecodeTableList(b)); },
      [this] { return EncodeTableList(GetTableListData()); }, GetCount() > 0);
}

}  // namespace controls
