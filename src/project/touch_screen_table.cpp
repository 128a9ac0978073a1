#include "project/touch_screen_table.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

constexpr std::size_t kTextOffset = 32;

std::uint16_t Word(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

void PutWord(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value & 0xFF);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

TouchScreenTable::TouchScreenTable() { ClearAllObjects(); }

std::string TouchScreenTable::FilePath(const std::string& name) {
  const std::string named = platform::ChangeFileExt(name, ".TCH");
  return platform::SameText(named, name) && platform::FileExists(name) ? name : platform::ResolveFileCase(named);
}

std::uint8_t* TouchScreenTable::Record(int record) {
  if (record < 0 || record >= kRecords) throw std::out_of_range("touch-screen record out of range");
  return bytes_.data() + static_cast<std::size_t>(record) * kRecordBytes;
}

const std::uint8_t* TouchScreenTable::Record(int record) const {
  return const_cast<TouchScreenTable*>(this)->Record(record);
}

TouchObject TouchScreenTable::Object(int record) const {
  const std::uint8_t* r = Record(record);
  TouchObject o;
  o.Type = r[0];
  o.Variable = r[2];
  o.Page = r[3];
  o.ObjectNumber = Word(r + 4);
  o.X = Word(r + 6);
  o.Y = Word(r + 8);
  o.Width = Word(r + 10);
  o.Height = Word(r + 12);
  o.Icon = Word(r + 14);
  o.Style = Word(r + 16);
  o.LinkA = Word(r + 18);
  o.LinkB = Word(r + 20);
  const char* text = reinterpret_cast<const char*>(r + kTextOffset);
  o.Text.assign(text, strnlen(text, kTextBytes));
  return o;
}

void TouchScreenTable::SetObject(int record, const TouchObject& o) {
  std::uint8_t* r = Record(record);
  r[0] = o.Type;
  r[2] = o.Variable;
  r[3] = o.Page;
  PutWord(r + 4, o.ObjectNumber);
  PutWord(r + 6, o.X);
  PutWord(r + 8, o.Y);
  PutWord(r + 10, o.Width);
  PutWord(r + 12, o.Height);
  PutWord(r + 14, o.Icon);
  PutWord(r + 16, o.Style);
  PutWord(r + 18, o.LinkA);
  PutWord(r + 20, o.LinkB);
  const std::size_t length = std::min(o.Text.size(), kTextBytes - 1);
  std::memcpy(r + kTextOffset, o.Text.data(), length);
  r[kTextOffset + length] = 0;
}

std::uint8_t TouchScreenTable::Type(int record) const { return Record(record)[0]; }

int TouchScreenTable::FirstFreeRecord() const {
  for (int n = 1; n < kRecords; ++n)
    if (IsFree(n)) return n;
  return 0;
}

std::uint16_t TouchScreenTable::BacklightOffDelay() const { return Word(Record(0) + 16); }
void TouchScreenTable::SetBacklightOffDelay(std::uint16_t seconds) { PutWord(Record(0) + 16, seconds); }
std::uint16_t TouchScreenTable::BeepOnTouch() const { return Word(Record(0) + 18); }
void TouchScreenTable::SetBeepOnTouch(std::uint16_t on) { PutWord(Record(0) + 18, on); }
std::uint16_t TouchScreenTable::ShowDateAndTime() const { return Word(Record(0) + 20); }
void TouchScreenTable::SetShowDateAndTime(std::uint16_t on) { PutWord(Record(0) + 20, on); }

void TouchScreenTable::DeleteObject(int record) {
  std::uint8_t* r = Record(record);
  std::memset(r, 0, kRecordBytes);
  r[0] = TouchFree;
}

void TouchScreenTable::ClearAllObjects() {
  for (int n = 0; n < kRecords; ++n) DeleteObject(n);
}

std::string TouchScreenTable::SaveTchFile(const std::string& name,
                                          platform::AtomicFileWriter::WriteFunction write) const {
  // An existing file of the name in another case is replaced rather than joined by a second one.
  platform::AtomicFileWriter writer(FilePath(name), std::move(write));
  writer.Write(bytes_.data(), bytes_.size());
  return writer.Commit() ? std::string() : std::string("File Error");
}

std::string TouchScreenTable::LoadTchFile(const std::string& name) {
  const std::string path = FilePath(name);
  if (!platform::FileExists(path)) return "TCH File Not Found";
  std::string file;
  // Read only: a file the user may not change still opens.
  if (!platform::ReadWholeFile(path, file)) return "File Open Error";
  if (file.size() > kBytes) file.resize(kBytes);
  for (int n = 1; n < kRecords; ++n) DeleteObject(n);
  std::memcpy(bytes_.data(), file.data(), file.size());
  return {};
}
