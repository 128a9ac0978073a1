#pragma once
// The INI record database component: the engine's database behind a field list, a key list and
// exceptions. Records pass in the caller's layout (length-prefixed strings, see db_field_list.h); every
// negative engine result is raised through CheckException.
#include <cstdint>
#include <string>
#include <vector>

#include "serial/lk_base_component.h"
#include "telephony/db_field_list.h"
#include "telephony/ini_engine.h"
#include "tk/component.h"

namespace tk {
class Filer;
}

namespace telephony {

class TLkCustomIniDBase : public serial::TLkBaseComponent {
 public:
  explicit TLkCustomIniDBase(tk::Component* owner);
  ~TLkCustomIniDBase() override;
  std::string ClassName() const override { return "TLkCustomIniDBase"; }

  const std::string& FileName() const { return fileName_; }
  // Trailing blanks are dropped and an empty name ignored; an open database reopens on the new file.
  void SetFileName(const std::string& name);
  const TDBFieldList& FieldList() const { return fieldList_; }
  // Needs a string field of at most 31 characters (else EBadFieldList); the first such field becomes the
  // index. An open database reopens with the new fields.
  void SetFieldList(const TDBFieldList& list);
  const std::string& IndexedField() const { return indexedField_; }
  // Names a string field of at most 31 characters (else EBadFieldForIndex).
  void SetIndexedField(const std::string& name);
  bool SortedIndex() const { return sortedIndex_; }
  void SetSortedIndex(bool sorted);
  bool Open() const { return open_; }
  void SetOpen(bool open);

  std::int32_t GetNumRecs();
  // The keys, in file order or sorted ignoring case; owned by the component.
  const std::vector<std::string>& GetRecordList();
  bool KeyExists(const std::string& key);
  void AddRecord(const void* record);
  void UpdRecord(const std::string& oldKey, const void* record);
  void DelRecord(const std::string& key);
  void GetRecord(const std::string& key, void* record);
  void WriteToIni(const void* record, const std::string& section, const std::string& iniFile);
  void ReadFromIni(void* record, const std::string& section, const std::string& iniFile);

  // The field list is streamed as "FakeProperty" unless a descendant fixes its fields.
  void DefineProperties(tk::Filer& filer) override;

 protected:
  void AssureOpen();
  // For a descendant's constructor: its fixed fields and index, in any component state.
  void InstallFields(const TDBFieldList& list, const std::string& index) {
    fieldList_ = list;
    indexedField_ = index;
  }
  // A descendant whose constructor fixes the fields sets this so a stored form cannot change them.
  bool fixedFields_ = false;

 private:
  void CloseDatabase();
  TIniDatabase& Database();
  std::vector<std::uint8_t> EncodeFieldList() const;
  void DecodeFieldList(const std::vector<std::uint8_t>& bytes);

  std::string fileName_ = "DATABASE.INI";
  TDBFieldList fieldList_;
  std::string indexedField_ = "Default";
  bool sortedIndex_ = false;
  bool open_ = false;
  std::vector<std::string> recordList_;
  bool needsUpdate_ = true;
  std::vector<std::uint8_t> recordBuffer_;
  TIniDatabasePtr database_;
};

class TLkIniDBase : public TLkCustomIniDBase {
 public:
  using TLkCustomIniDBase::TLkCustomIniDBase;
  std::string ClassName() const override { return "TLkIniDBase"; }
  void GetProperties(tk::PropertyList& list) const override;
};

}  // namespace telephony
