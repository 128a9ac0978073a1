#include "telephony/ini_database.h"

#include <algorithm>

#include "platform/text.h"
#include "serial/lk_exception.h"
#include "tk/filer.h"

namespace telephony {

namespace {

// Markers of the streamed field list, as the original's form streams wrote a list.
enum : std::uint8_t { vaNull = 0, vaList = 1, vaInt32 = 4, vaString = 6, vaFalse = 8, vaTrue = 9 };

[[maybe_unused]] const bool registered = [] {
  tk::RegisterClass("TLkIniDBase", [](tk::Component* owner) { return new TLkIniDBase(owner); });
  return true;
}();

}  // namespace

TLkCustomIniDBase::TLkCustomIniDBase(tk::Component* owner) : serial::TLkBaseComponent(owner) {
  fieldList_.Add(TDBFieldInfo("Default", 20));
}

TLkCustomIniDBase::~TLkCustomIniDBase() { CloseDatabase(); }

void TLkCustomIniDBase::SetFileName(const std::string& name) {
  std::string trimmed = platform::TrimRight(name);
  if (trimmed.empty()) return;
  fileName_ = trimmed;
  if (!Designing() && !Loading() && open_) SetOpen(true);
}

void TLkCustomIniDBase::SetFieldList(const TDBFieldList& list) {
  if (Designing() || Loading()) return;
  if (!list.HasIndexCandidate()) throw serial::EBadFieldList(ecBadFieldList);
  const bool wasOpen = open_;
  SetOpen(false);
  fieldList_ = list;
  // The first string field that can be an index (a longer one before it would be refused as the index).
  for (int i = 0; i < fieldList_.Count(); ++i) {
    const TDBFieldInfo& f = fieldList_.Items(i);
    if (f.IsString && f.FieldLength <= MaxIndexLen) {
      SetIndexedField(f.Name);
      break;
    }
  }
  SetOpen(wasOpen);
}

void TLkCustomIniDBase::SetIndexedField(const std::string& name) {
  if (Designing() || Loading()) {
    indexedField_ = name.substr(0, MaxFieldNameLen);
    return;
  }
  for (int i = 0; i < fieldList_.Count(); ++i) {
    const TDBFieldInfo& f = fieldList_.Items(i);
    if (f.IsString && f.FieldLength <= MaxIndexLen && platform::SameText(f.Name, name)) {
      indexedField_ = name.substr(0, MaxFieldNameLen);
      if (open_) SetOpen(true);
      return;
    }
  }
  throw serial::EBadFieldForIndex(ecBadFieldForIndex);
}

void TLkCustomIniDBase::SetSortedIndex(bool sorted) {
  if (sorted == sortedIndex_) return;
  sortedIndex_ = sorted;
  if (!Designing()) needsUpdate_ = true;
}

void TLkCustomIniDBase::CloseDatabase() {
  recordBuffer_.clear();
  if (database_) iDoneIniDatabase(database_);
}

void TLkCustomIniDBase::SetOpen(bool open) {
  if (Designing() || Loading()) return;
  if (!open) {
    CloseDatabase();
    open_ = false;
    return;
  }
  CloseDatabase();
  open_ = false;
  iInitIniDatabase(database_, fileName_);
  try {
    for (int i = 0; i < fieldList_.Count(); ++i) {
      const TDBFieldInfo& f = fieldList_.Items(i);
      if (f.IsString)
        Check(iAddIniDBStringField(*database_, f.Name, f.FieldLength,
                                   platform::UpperCase(f.Name) == platform::UpperCase(indexedField_)));
      else
        Check(iAddIniDBIntField(*database_, f.Name));
    }
    Check(iPrepareIniDatabase(*database_, nullptr));
    recordBuffer_.assign(static_cast<std::size_t>(database_->RecordSize), 0);
    needsUpdate_ = true;
  } catch (...) {
    CloseDatabase();
    throw;
  }
  open_ = true;
}

void TLkCustomIniDBase::AssureOpen() {
  if (!open_) SetOpen(true);
}

TIniDatabase& TLkCustomIniDBase::Database() {
  AssureOpen();
  // Only at design time or while loading does a database stay closed here.
  if (!database_) serial::RaiseLkException(ecDatabaseNotPrepared);
  return *database_;
}

std::int32_t TLkCustomIniDBase::GetNumRecs() { return Check(iNumIniRecs(Database())); }

const std::vector<std::string>& TLkCustomIniDBase::GetRecordList() {
  TIniDatabase& db = Database();
  if (!needsUpdate_) return recordList_;
  recordList_.clear();
  if (db.NumRecords > 0) {
    // Every key of the index, whatever the count says: a fixed buffer sized by the count cut the list.
    Check(iLoadIniIndexKeys(db, recordList_));
    if (sortedIndex_) SortIniKeys(recordList_);
  }
  needsUpdate_ = false;
  return recordList_;
}

bool TLkCustomIniDBase::KeyExists(const std::string& key) { return iKeyExists(Database(), key.substr(0, MaxIndexLen)); }

void TLkCustomIniDBase::AddRecord(const void* record) {
  TIniDatabase& db = Database();
  fieldList_.StrsToPChars(record, recordBuffer_.data());
  Check(iAddIniRecord(db, recordBuffer_.data()));
  needsUpdate_ = true;
}

void TLkCustomIniDBase::UpdRecord(const std::string& oldKey, const void* record) {
  TIniDatabase& db = Database();
  fieldList_.StrsToPChars(record, recordBuffer_.data());
  Check(iUpdIniRecord(db, oldKey, recordBuffer_.data()));
  needsUpdate_ = true;
}

void TLkCustomIniDBase::DelRecord(const std::string& key) {
  Check(iDelIniRecord(Database(), key));
  needsUpdate_ = true;
}

void TLkCustomIniDBase::GetRecord(const std::string& key, void* record) {
  TIniDatabase& db = Database();
  if (Check(iGetIniRecord(db, key, recordBuffer_.data())) >= 0) fieldList_.PCharsToStrs(recordBuffer_.data(), record);
}

void TLkCustomIniDBase::WriteToIni(const void* record, const std::string& section, const std::string& iniFile) {
  TIniDatabase& db = Database();
  fieldList_.StrsToPChars(record, recordBuffer_.data());
  Check(iWriteToIni(db, recordBuffer_.data(), section, iniFile));
}

void TLkCustomIniDBase::ReadFromIni(void* record, const std::string& section, const std::string& iniFile) {
  TIniDatabase& db = Database();
  if (Check(iReadFromIni(db, recordBuffer_.data(), section, iniFile)) >= 0)
    fieldList_.PCharsToStrs(recordBuffer_.data(), record);
}

void TLkCustomIniDBase::DefineProperties(tk::Filer& filer) {
  tk::Component::DefineProperties(filer);
  if (fixedFields_) return;
  filer.DefineProperty(
      "FakeProperty",
      [this](const tk::Value& v) {
        const auto* bytes = std::get_if<tk::Binary>(&v);
        if (!bytes) throw tk::EReadError("Invalid property value");
        DecodeFieldList(*bytes);
      },
      [this] { return tk::Value(tk::Binary(EncodeFieldList())); }, true);
}

std::vector<std::uint8_t> TLkCustomIniDBase::EncodeFieldList() const {
  std::vector<std::uint8_t> out{vaList};
  for (int i = 0; i < fieldList_.Count(); ++i) {
    const TDBFieldInfo& f = fieldList_.Items(i);
    out.push_back(vaInt32);
    for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(std::uint32_t(f.FieldLength) >> (8 * b)));
    out.push_back(f.IsString ? vaTrue : vaFalse);
    out.push_back(vaString);
    const std::string name = f.Name.substr(0, 255);
    out.push_back(static_cast<std::uint8_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
  }
  out.push_back(vaNull);
  return out;
}

void TLkCustomIniDBase::DecodeFieldList(const std::vector<std::uint8_t>& bytes) {
  auto bad = [] { throw tk::EReadError("Invalid property value"); };
  std::size_t at = 0;
  auto take = [&]() -> std::uint8_t {
    if (at >= bytes.size()) bad();
    return bytes[at++];
  };
  if (take() != vaList) bad();
  TDBFieldList fields;
  for (std::uint8_t marker = take(); marker != vaNull; marker = take()) {
    if (marker != vaInt32) bad();
    std::uint32_t length = 0;
    for (int b = 0; b < 4; ++b) length |= std::uint32_t(take()) << (8 * b);
    const std::uint8_t kind = take();
    if ((kind != vaTrue && kind != vaFalse) || take() != vaString || length > 0xFFFF) bad();
    std::string name(take(), '\0');
    for (char& c : name) c = static_cast<char>(take());
    TDBFieldInfo field = kind == vaTrue ? TDBFieldInfo(name, static_cast<std::uint16_t>(length)) : TDBFieldInfo(name);
    field.FieldLength = static_cast<std::uint16_t>(length);
    fields.Add(field);
  }
  fieldList_ = fields;
}

void TLkIniDBase::GetProperties(tk::PropertyList& list) const {
  tk::Component::GetProperties(list);
  using P = TLkIniDBase;
  using tk::MakeProperty;
  using tk::Value;
  list.push_back(MakeProperty<P>("Version", &P::Version, &P::SetVersion));
  list.back().Stored = [](const tk::Component&) { return false; };
  list.push_back(MakeProperty<P>("FileName", &P::FileName, &P::SetFileName, Value(std::string("DATABASE.INI"))));
  list.push_back(MakeProperty<P>("IndexedField", &P::IndexedField, &P::SetIndexedField, Value(std::string("Default"))));
  list.push_back(MakeProperty<P>("SortedIndex", &P::SortedIndex, &P::SetSortedIndex, Value(false)));
}

}  // namespace telephony
