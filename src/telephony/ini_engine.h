#pragma once
// The INI record database engine: keyed records of fixed fields kept in a profile (INI) file. Plain routines
// over a database record that return 0 (or a count) or a negative error code; all file access goes through
// the platform's profile functions.
//
// The file holds a section "Index" (one entry per record: key = the record's key, value "#"), a section
// "Defaults" ("_Entries" = the record count, and the default of every non-index field), and one section per
// record, named by its key, with one entry per non-index field.
//
// A record in the engine's layout is the fields one after another in declaration order, no padding: a
// string field of maximum length N in N + 1 bytes, zero-terminated; an integer field in 4 bytes,
// little-endian.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace telephony {

inline constexpr std::int32_t ecKeyTooLong = -7001;
inline constexpr std::int32_t ecDataTooLarge = -7002;
inline constexpr std::int32_t ecNoFieldsDefined = -7003;
inline constexpr std::int32_t ecIniWrite = -7004;
inline constexpr std::int32_t ecIniRead = -7005;
inline constexpr std::int32_t ecNoIndexKey = -7006;
inline constexpr std::int32_t ecRecordExists = -7007;
inline constexpr std::int32_t ecRecordNotFound = -7008;
inline constexpr std::int32_t ecDatabaseFull = -7010;
inline constexpr std::int32_t ecDatabaseEmpty = -7011;
inline constexpr std::int32_t ecDatabaseNotPrepared = -7012;
inline constexpr std::int32_t ecBadFieldList = -7013;
inline constexpr std::int32_t ecBadFieldForIndex = -7014;

inline constexpr std::int32_t MaxDBRecs = 999;
inline constexpr std::int32_t MaxDBRecordSize = 65520;
inline constexpr std::size_t MaxFieldNameLen = 21;
inline constexpr std::size_t MaxIndexLen = 31;
// One key in a key-list buffer: the longest key and its terminator.
inline constexpr std::int32_t IndexKeySlot = MaxIndexLen + 1;

inline constexpr const char* IndexSection = "Index";
inline constexpr const char* DefaultsSection = "Defaults";
inline constexpr const char* EntriesKey = "_Entries";

struct TIniField {
  std::string Name;
  std::int32_t Size = 0;  // maximum length + 1 for a string, 4 for an integer
  bool IsString = false;
  bool IsIndex = false;
};

struct TIniDatabase {
  std::string FName;              // as given: a bare name lives in the Windows directory
  std::vector<TIniField> Fields;  // in declaration order
  std::int32_t NumRecords = 0;    // mirrored in "_Entries"
  std::int32_t RecordSize = 0;    // sum of the field sizes
  std::vector<std::uint8_t> DefaultRecord;
  bool Prepared = false;
};

using TIniDatabasePtr = std::unique_ptr<TIniDatabase>;
// A key list: each key zero-terminated, an empty key ends the list.
using TIniIndexBuffer = std::unique_ptr<char[]>;

std::int32_t iInitIniDatabase(TIniDatabasePtr& database, const std::string& fileName);
std::int32_t iDoneIniDatabase(TIniDatabasePtr& database);
std::int32_t iAddIniDBStringField(TIniDatabase& database, const std::string& name, std::int32_t maxLen, bool isIndex);
std::int32_t iAddIniDBIntField(TIniDatabase& database, const std::string& name);
// `defaultRecord` (RecordSize bytes) or nullptr.
std::int32_t iPrepareIniDatabase(TIniDatabase& database, const void* defaultRecord);
std::int32_t iChangeIniDefaults(TIniDatabase& database, const void* record);
bool iKeyExists(const TIniDatabase& database, const std::string& key);
std::int32_t iAddIniRecord(TIniDatabase& database, const void* record);
std::int32_t iUpdIniRecord(TIniDatabase& database, const std::string& key, const void* record);
std::int32_t iDelIniRecord(TIniDatabase& database, const std::string& key);
std::int32_t iGetIniRecord(const TIniDatabase& database, const std::string& key, void* record);
std::int32_t iGetIniIndexRecSize(const TIniDatabase& database);
std::int32_t iAllocIniIndexRec(const TIniDatabase& database, TIniIndexBuffer& buffer, std::int32_t& size);
std::int32_t iDeallocIniIndexRec(const TIniDatabase& database, TIniIndexBuffer& buffer, std::int32_t& size);
std::int32_t iLoadIniIndex(const TIniDatabase& database, char* buffer, std::int32_t size);
// The key names of the "Index" section in file order, however many and however long; -7011 when the
// database holds no record, -7005 when none was read.
std::int32_t iLoadIniIndexKeys(const TIniDatabase& database, std::vector<std::string>& keys);
std::int32_t iNumIniRecs(const TIniDatabase& database);
std::int32_t iWriteToIni(const TIniDatabase& database, const void* record, const std::string& section,
                         const std::string& iniFile);
std::int32_t iReadFromIni(const TIniDatabase& database, void* record, const std::string& section,
                          const std::string& iniFile);

// A key the file could not hold back as itself: "Index", "Defaults", a name the profile format gives a
// meaning to ('=', '[', ']', a leading ';'), blanks around it or control characters. Records with such
// keys, or with a line break in a string field, are refused with the bad-argument code.
bool IsBadIniKey(const std::string& key);
// The keys of a key-list buffer, in order.
std::vector<std::string> IniIndexKeys(const char* buffer, std::int32_t size);
// Sorts keys ignoring case and keeps one of keys that differ only in case, as a sorted key list does.
void SortIniKeys(std::vector<std::string>& keys);

}  // namespace telephony
