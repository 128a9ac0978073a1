#include "telephony/modem_database.h"

#include "platform/text.h"
#include "serial/lk_exception.h"
#include "tk/filer.h"

namespace telephony {

namespace {
[[maybe_unused]] const bool registered = [] {
  tk::RegisterClass("TLkModemDBase", [](tk::Component* owner) { return new TLkModemDBase(owner); });
  return true;
}();
}  // namespace

TLkCustomModemDBase::TLkCustomModemDBase(tk::Component* owner) : serial::TLkBaseComponent(owner) {}

TLkCustomModemDBase::~TLkCustomModemDBase() { mDoneModemDatabase(database_); }

void TLkCustomModemDBase::SetFileName(const std::string& name) {
  std::string trimmed = platform::TrimRight(name);
  if (trimmed.empty()) return;
  fileName_ = trimmed;
  if (!Designing() && !Loading() && open_) SetOpen(true);
}

void TLkCustomModemDBase::SetSortedIndex(bool sorted) {
  sortedIndex_ = sorted;
  if (!Designing()) needsUpdate_ = true;
}

void TLkCustomModemDBase::SetOpen(bool open) {
  if (Designing() || Loading()) return;
  mDoneModemDatabase(database_);
  open_ = false;
  if (open) {
    Check(mInitModemDatabase(database_, fileName_));
    needsUpdate_ = true;
  }
  open_ = open;
}

TModemDatabase& TLkCustomModemDBase::Database() {
  if (!open_) SetOpen(true);
  // Only at design time or while loading does the database stay closed here.
  if (!database_) serial::RaiseLkException(ecDatabaseNotPrepared);
  return *database_;
}

void TLkCustomModemDBase::AddModem(const TModemInfo& info) {
  Check(mAddModem(Database(), ModemInfoToData(info)));
  needsUpdate_ = true;
}

void TLkCustomModemDBase::UpdModem(const std::string& name, const TModemInfo& info) {
  Check(mUpdModem(Database(), name, ModemInfoToData(info)));
  needsUpdate_ = true;
}

void TLkCustomModemDBase::DelModem(const std::string& name) {
  Check(mDelModem(Database(), name));
  needsUpdate_ = true;
}

void TLkCustomModemDBase::GetModem(const std::string& name, TModemInfo& info) {
  TModemData data;
  Check(mGetModem(Database(), name, data));
  info = ModemDataToInfo(data);
}

void TLkCustomModemDBase::WriteToIni(const TModemInfo& info, const std::string& section, const std::string& iniFile) {
  Check(mWriteToIni(Database(), ModemInfoToData(info), section, iniFile));
}

void TLkCustomModemDBase::ReadFromIni(TModemInfo& info, const std::string& section, const std::string& iniFile) {
  TModemData data;
  Check(mReadFromIni(Database(), data, section, iniFile));
  info = ModemDataToInfo(data);
}

std::int32_t TLkCustomModemDBase::NumModems() { return Check(mNumModems(Database())); }

const std::vector<std::string>& TLkCustomModemDBase::GetRecordList() {
  TModemDatabase& db = Database();
  if (!needsUpdate_) return names_;
  names_.clear();
  if (Check(mNumModems(db)) > 0) {
    TIniIndexBuffer buffer;
    std::int32_t size = 0;
    Check(mAllocModemIndexRec(db, buffer, size));
    Check(mLoadModemIndex(db, buffer.get(), size));
    names_ = IniIndexKeys(buffer.get(), size);
    mDeallocModemIndexRec(db, buffer, size);
    if (sortedIndex_) SortIniKeys(names_);
  }
  needsUpdate_ = false;
  return names_;
}

void TLkModemDBase::GetProperties(tk::PropertyList& list) const {
  tk::Component::GetProperties(list);
  using P = TLkModemDBase;
  list.push_back(tk::MakeProperty<P>("Version", &P::Version, &P::SetVersion));
  list.back().Stored = [](const tk::Component&) { return false; };
  list.push_back(tk::MakeProperty<P>("FileName", &P::FileName, &P::SetFileName, tk::Value(std::string("LWMODEM.INI"))));
  list.push_back(tk::MakeProperty<P>("SortedIndex", &P::SortedIndex, &P::SetSortedIndex, tk::Value(false)));
}

}  // namespace telephony
