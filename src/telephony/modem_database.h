#pragma once
// The modem database component: the modem database engine behind TModemInfo records, a list of modem names
// and exceptions.
#include <cstdint>
#include <string>
#include <vector>

#include "serial/lk_base_component.h"
#include "telephony/modem_data.h"
#include "telephony/modem_db_engine.h"
#include "tk/component.h"

namespace telephony {

class TLkCustomModemDBase : public serial::TLkBaseComponent {
 public:
  explicit TLkCustomModemDBase(tk::Component* owner);
  ~TLkCustomModemDBase() override;
  std::string ClassName() const override { return "TLkCustomModemDBase"; }

  const std::string& FileName() const { return fileName_; }
  // Trailing blanks are dropped and an empty name ignored; an open database reopens on the new file.
  void SetFileName(const std::string& name);
  bool SortedIndex() const { return sortedIndex_; }
  void SetSortedIndex(bool sorted);
  bool Open() const { return open_; }
  void SetOpen(bool open);

  void AddModem(const TModemInfo& info);
  void UpdModem(const std::string& name, const TModemInfo& info);
  void DelModem(const std::string& name);
  void GetModem(const std::string& name, TModemInfo& info);
  void WriteToIni(const TModemInfo& info, const std::string& section, const std::string& iniFile);
  void ReadFromIni(TModemInfo& info, const std::string& section, const std::string& iniFile);
  std::int32_t NumModems();
  // The modem names, in file order or sorted ignoring case; owned by the component.
  const std::vector<std::string>& GetRecordList();

 private:
  TModemDatabase& Database();

  std::string fileName_ = "LWMODEM.INI";
  bool sortedIndex_ = false;
  bool open_ = false;
  std::vector<std::string> names_;
  bool needsUpdate_ = true;
  TModemDatabasePtr database_;
};

class TLkModemDBase : public TLkCustomModemDBase {
 public:
  using TLkCustomModemDBase::TLkCustomModemDBase;
  std::string ClassName() const override { return "TLkModemDBase"; }
  void GetProperties(tk::PropertyList& list) const override;
};

}  // namespace telephony
