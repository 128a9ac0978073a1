#include "telephony/ini_engine.h"

#include <algorithm>
#include <cstring>

#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "serial/error_codes.h"

namespace telephony {

namespace {

const TIniField* IndexField(const TIniDatabase& db) {
  for (const TIniField& f : db.Fields)
    if (f.IsIndex) return &f;
  return nullptr;
}

std::string GetZ(const std::uint8_t* p, std::int32_t size) {
  std::size_t n = 0;
  while (n < static_cast<std::size_t>(size) && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

// At most size - 1 characters, zero-filled to the field's end.
void PutZ(std::uint8_t* p, std::int32_t size, const std::string& s) {
  std::size_t n = std::min(s.size(), static_cast<std::size_t>(size - 1));
  std::memset(p, 0, static_cast<std::size_t>(size));
  std::memcpy(p, s.data(), n);
}

std::int32_t GetInt(const std::uint8_t* p) {
  return static_cast<std::int32_t>(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                                   std::uint32_t(p[3]) << 24);
}

void PutInt(std::uint8_t* p, std::int32_t v) {
  auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

// Calls `f(field, offset)` for every field in record order.
template <class F>
void ForEachField(const TIniDatabase& db, F f) {
  std::int32_t offset = 0;
  for (const TIniField& field : db.Fields) {
    f(field, offset);
    offset += field.Size;
  }
}

std::string RecordKey(const TIniDatabase& db, const std::uint8_t* record) {
  std::string key;
  ForEachField(db, [&](const TIniField& f, std::int32_t offset) {
    if (f.IsIndex) key = GetZ(record + offset, f.Size);
  });
  return key;
}

// A string field with a line break would split its entry.
bool HasBadValue(const TIniDatabase& db, const std::uint8_t* record) {
  bool bad = false;
  ForEachField(db, [&](const TIniField& f, std::int32_t offset) {
    if (f.IsString && GetZ(record + offset, f.Size).find_first_of("\r\n") != std::string::npos) bad = true;
  });
  return bad;
}

// A string value by the file's rules: an empty one removes the entry (so it reads as the field's default),
// except that a stored value starting with "#" is replaced by the explicit empty "#".
bool WriteStringValue(platform::ProfileImage& file, const std::string& section, const std::string& key,
                      const std::string& value) {
  if (!value.empty()) return file.WriteString(section, key, value);
  if (file.ReadString(section, key, "").starts_with("#")) return file.WriteString(section, key, "#");
  file.DeleteKey(section, key);
  return true;
}

// Every non-index field of the record into its section.
bool WriteFields(const TIniDatabase& db, platform::ProfileImage& file, const std::string& section,
                 const std::uint8_t* record) {
  bool ok = true;
  ForEachField(db, [&](const TIniField& f, std::int32_t offset) {
    if (!ok || f.IsIndex) return;
    if (f.IsString)
      ok = WriteStringValue(file, section, f.Name, GetZ(record + offset, f.Size));
    else
      ok = file.WriteInteger(section, f.Name, GetInt(record + offset));
  });
  return ok;
}

// Writes the operation's image in one replace; the count changes only when the file did.
std::int32_t Commit(TIniDatabase& db, platform::ProfileImage& file, std::int32_t count) {
  if (!file.WriteInteger(DefaultsSection, EntriesKey, count) || !file.Save()) return ecIniWrite;
  db.NumRecords = count;
  return 0;
}

// The add of a record into the image, checked as iAddIniRecord checks it.
std::int32_t AddToImage(TIniDatabase& db, platform::ProfileImage& file, const std::uint8_t* rec,
                        std::int32_t& count) {
  if (count >= MaxDBRecs) return ecDatabaseFull;
  const std::string key = RecordKey(db, rec);
  if (IsBadIniKey(key) || HasBadValue(db, rec)) return serial::ecBadArgument;
  if (file.ReadString(IndexSection, key, "") == "#") return ecRecordExists;
  if (!file.WriteString(IndexSection, key, "#") || !WriteFields(db, file, key, rec)) return ecIniWrite;
  ++count;
  return 0;
}

bool IsRecordCount(std::int32_t count) { return count >= 0 && count <= MaxDBRecs; }

bool FileExistsAsProfile(const std::string& name) {
  if (platform::FileExists(platform::ResolveFileCase(name))) return true;
  const bool bare = name.find_first_of("/\\") == std::string::npos;
  const std::string path = bare ? platform::ProfilePath(name) : "";
  return !path.empty() && platform::FileExists(path);
}

std::int32_t AddField(TIniDatabase& db, const std::string& name, std::int32_t size, bool isString, bool isIndex) {
  if (db.RecordSize + size > MaxDBRecordSize || (isIndex && (size < 1 || size > IndexKeySlot))) return ecDataTooLarge;
  if (name.size() > MaxFieldNameLen) return ecKeyTooLong;
  db.Fields.push_back(TIniField{name, size, isString, isIndex});
  db.RecordSize += size;
  return 0;
}

}  // namespace

std::int32_t iInitIniDatabase(TIniDatabasePtr& database, const std::string& fileName) {
  database = std::make_unique<TIniDatabase>();
  database->FName = fileName;
  return 0;
}

std::int32_t iDoneIniDatabase(TIniDatabasePtr& database) {
  database.reset();
  return 0;
}

std::int32_t iAddIniDBStringField(TIniDatabase& database, const std::string& name, std::int32_t maxLen, bool isIndex) {
  return AddField(database, name, maxLen + 1, true, isIndex);
}

std::int32_t iAddIniDBIntField(TIniDatabase& database, const std::string& name) {
  return AddField(database, name, 4, false, false);
}

std::int32_t iPrepareIniDatabase(TIniDatabase& database, const void* defaultRecord) {
  TIniDatabase& db = database;
  if (db.Fields.empty()) return ecNoFieldsDefined;
  if (!IndexField(db)) return ecNoIndexKey;
  db.DefaultRecord.assign(static_cast<std::size_t>(db.RecordSize), 0);

  if (FileExistsAsProfile(db.FName)) {
    // The count sizes the key list: one the database could never have written means a damaged file.
    const std::int32_t count = platform::ReadProfileInteger(db.FName, DefaultsSection, EntriesKey, 0);
    if (!IsRecordCount(count)) {
      db.DefaultRecord.clear();
      return ecIniRead;
    }
    db.NumRecords = count;
    ForEachField(db, [&](const TIniField& f, std::int32_t offset) {
      if (f.IsIndex) return;
      if (f.IsString)
        PutZ(db.DefaultRecord.data() + offset, f.Size,
             platform::ReadProfileString(db.FName, DefaultsSection, f.Name, ""));
      else
        PutInt(db.DefaultRecord.data() + offset, platform::ReadProfileInteger(db.FName, DefaultsSection, f.Name, 0));
    });
  } else {
    // A new file starts with an empty "Index" section and no records.
    platform::ProfileImage file(db.FName);
    file.WriteString(IndexSection, "None", "None");
    file.DeleteKey(IndexSection, "None");
    if (!file.WriteInteger(DefaultsSection, EntriesKey, 0) || !file.Save()) {
      db.DefaultRecord.clear();
      return ecIniWrite;
    }
    db.NumRecords = 0;
    if (defaultRecord) {
      db.Prepared = true;
      if (std::int32_t rc = iChangeIniDefaults(db, defaultRecord); rc < 0) {
        db.Prepared = false;
        return rc;
      }
    }
  }
  db.Prepared = true;
  return 0;
}

std::int32_t iChangeIniDefaults(TIniDatabase& database, const void* record) {
  TIniDatabase& db = database;
  if (db.Fields.empty()) return ecNoFieldsDefined;
  if (!db.Prepared) return ecDatabaseNotPrepared;
  const auto* rec = static_cast<const std::uint8_t*>(record);
  if (HasBadValue(db, rec)) return serial::ecBadArgument;
  platform::ProfileImage file(db.FName);
  bool ok = true;
  ForEachField(db, [&](const TIniField& f, std::int32_t offset) {
    if (!ok || f.IsIndex) return;
    ok = f.IsString ? file.WriteString(DefaultsSection, f.Name, GetZ(rec + offset, f.Size))
                    : file.WriteInteger(DefaultsSection, f.Name, GetInt(rec + offset));
  });
  if (!ok || !file.Save()) return ecIniWrite;
  std::memcpy(db.DefaultRecord.data(), record, db.DefaultRecord.size());
  return 0;
}

bool iKeyExists(const TIniDatabase& database, const std::string& key) {
  if (database.Fields.empty() || !database.Prepared) return false;
  return platform::ReadProfileString(database.FName, IndexSection, key, "") == "#";
}

std::int32_t iAddIniRecord(TIniDatabase& database, const void* record) {
  TIniDatabase& db = database;
  if (db.Fields.empty()) return ecNoFieldsDefined;
  if (!db.Prepared) return ecDatabaseNotPrepared;
  platform::ProfileImage file(db.FName);
  std::int32_t count = db.NumRecords;
  if (std::int32_t rc = AddToImage(db, file, static_cast<const std::uint8_t*>(record), count); rc < 0) return rc;
  return Commit(db, file, count);
}

std::int32_t iUpdIniRecord(TIniDatabase& database, const std::string& key, const void* record) {
  TIniDatabase& db = database;
  if (db.Fields.empty()) return ecNoFieldsDefined;
  if (!db.Prepared) return ecDatabaseNotPrepared;
  platform::ProfileImage file(db.FName);
  if (file.ReadString(IndexSection, key, "") != "#") return ecRecordNotFound;
  const auto* rec = static_cast<const std::uint8_t*>(record);
  const std::string newKey = RecordKey(db, rec);
  std::int32_t count = db.NumRecords;
  if (platform::SameText(newKey, key)) {
    if (HasBadValue(db, rec)) return serial::ecBadArgument;
    if (!WriteFields(db, file, key, rec)) return ecIniWrite;
  } else {
    // A move: the new key is checked before the old record goes, so that a refusal keeps it.
    if (IsBadIniKey(newKey) || HasBadValue(db, rec)) return serial::ecBadArgument;
    if (file.ReadString(IndexSection, newKey, "") == "#") return ecRecordExists;
    file.DeleteKey(IndexSection, key);
    file.DeleteSection(key);
    --count;
    if (std::int32_t rc = AddToImage(db, file, rec, count); rc < 0) return rc;
  }
  return Commit(db, file, count);
}

std::int32_t iDelIniRecord(TIniDatabase& database, const std::string& key) {
  TIniDatabase& db = database;
  if (db.Fields.empty()) return ecNoFieldsDefined;
  if (!db.Prepared) return ecDatabaseNotPrepared;
  platform::ProfileImage file(db.FName);
  if (file.ReadString(IndexSection, key, "") != "#") return ecRecordNotFound;
  file.DeleteKey(IndexSection, key);
  file.DeleteSection(key);
  // A file whose count was short of its index entries stays one the database can open again.
  return Commit(db, file, std::max(db.NumRecords - 1, 0));
}

std::int32_t iGetIniRecord(const TIniDatabase& database, const std::string& key, void* record) {
  const TIniDatabase& db = database;
  if (db.Fields.empty()) return ecNoFieldsDefined;
  if (!db.Prepared) return ecDatabaseNotPrepared;
  if (!iKeyExists(db, key)) return ecRecordNotFound;
  auto* rec = static_cast<std::uint8_t*>(record);
  ForEachField(db, [&](const TIniField& f, std::int32_t offset) {
    const std::uint8_t* def = db.DefaultRecord.data() + offset;
    if (!f.IsString) {
      PutInt(rec + offset, platform::ReadProfileInteger(db.FName, key, f.Name, GetInt(def)));
    } else if (f.IsIndex) {
      PutZ(rec + offset, f.Size, key);
    } else {
      std::string value = platform::ReadProfileString(db.FName, key, f.Name, GetZ(def, f.Size));
      PutZ(rec + offset, f.Size, value == "#" ? std::string() : value);
    }
  });
  return 0;
}

std::int32_t iGetIniIndexRecSize(const TIniDatabase& database) {
  if (database.Fields.empty()) return ecNoFieldsDefined;
  if (!IsRecordCount(database.NumRecords)) return ecIniRead;
  // Room for every key at its longest; the original's 31 bytes a key cut off keys of 31 characters.
  return database.NumRecords * IndexKeySlot + 1;
}

std::int32_t iAllocIniIndexRec(const TIniDatabase& database, TIniIndexBuffer& buffer, std::int32_t& size) {
  std::int32_t needed = iGetIniIndexRecSize(database);
  if (needed < 0) return needed;
  if (database.NumRecords <= 0) return ecDatabaseEmpty;
  buffer = std::make_unique<char[]>(static_cast<std::size_t>(needed));
  size = needed;
  return 0;
}

std::int32_t iDeallocIniIndexRec(const TIniDatabase& database, TIniIndexBuffer& buffer, std::int32_t& size) {
  if (database.Fields.empty()) return ecNoFieldsDefined;
  buffer.reset();
  size = 0;
  return 0;
}

std::int32_t iLoadIniIndex(const TIniDatabase& database, char* buffer, std::int32_t size) {
  const TIniDatabase& db = database;
  if (db.Fields.empty()) return ecNoFieldsDefined;
  if (db.NumRecords <= 0) return ecDatabaseEmpty;
  if (!db.Prepared) return ecDatabaseNotPrepared;
  if (size < 2) return ecIniRead;
  // Whole keys while they fit, leaving room for the list's end.
  std::int32_t at = 0;
  for (const std::string& key : platform::ProfileKeyNames(db.FName, IndexSection)) {
    const auto length = static_cast<std::int32_t>(key.size());
    if (length == 0) continue;
    if (at + length + 1 > size - 1) break;
    std::memcpy(buffer + at, key.data(), key.size());
    at += length;
    buffer[at++] = '\0';
  }
  buffer[at] = '\0';
  return at == 0 ? ecIniRead : 0;
}

std::int32_t iLoadIniIndexKeys(const TIniDatabase& database, std::vector<std::string>& keys) {
  keys.clear();
  if (database.Fields.empty()) return ecNoFieldsDefined;
  if (database.NumRecords <= 0) return ecDatabaseEmpty;
  if (!database.Prepared) return ecDatabaseNotPrepared;
  for (std::string& key : platform::ProfileKeyNames(database.FName, IndexSection))
    if (!key.empty()) keys.push_back(std::move(key));
  return keys.empty() ? ecIniRead : 0;
}

std::int32_t iNumIniRecs(const TIniDatabase& database) {
  if (database.Fields.empty()) return ecNoFieldsDefined;
  return database.NumRecords;
}

std::int32_t iWriteToIni(const TIniDatabase& database, const void* record, const std::string& section,
                         const std::string& iniFile) {
  const TIniDatabase& db = database;
  if (db.Fields.empty()) return ecNoFieldsDefined;
  if (!db.Prepared) return ecDatabaseNotPrepared;
  const auto* rec = static_cast<const std::uint8_t*>(record);
  if (HasBadValue(db, rec)) return serial::ecBadArgument;
  platform::ProfileImage file(iniFile);
  bool ok = true;
  ForEachField(db, [&](const TIniField& f, std::int32_t offset) {
    if (!ok) return;
    ok = f.IsString ? file.WriteString(section, f.Name, GetZ(rec + offset, f.Size))
                    : file.WriteInteger(section, f.Name, GetInt(rec + offset));
  });
  return ok && file.Save() ? 0 : ecIniWrite;
}

std::int32_t iReadFromIni(const TIniDatabase& database, void* record, const std::string& section,
                          const std::string& iniFile) {
  const TIniDatabase& db = database;
  if (db.Fields.empty()) return ecNoFieldsDefined;
  if (!db.Prepared) return ecDatabaseNotPrepared;
  auto* rec = static_cast<std::uint8_t*>(record);
  std::memset(rec, 0, static_cast<std::size_t>(db.RecordSize));
  ForEachField(db, [&](const TIniField& f, std::int32_t offset) {
    const std::uint8_t* def = db.DefaultRecord.data() + offset;
    if (f.IsString)
      PutZ(rec + offset, f.Size, platform::ReadProfileString(iniFile, section, f.Name, GetZ(def, f.Size)));
    else
      PutInt(rec + offset, platform::ReadProfileInteger(iniFile, section, f.Name, GetInt(def)));
  });
  return 0;
}

bool IsBadIniKey(const std::string& key) {
  if (key.empty() || platform::SameText(key, IndexSection) || platform::SameText(key, DefaultsSection)) return true;
  if (key.front() == ';' || key.front() == ' ' || key.back() == ' ') return true;
  for (unsigned char c : key)
    if (c < 0x20 || c == 0x7F || c == '=' || c == '[' || c == ']') return true;
  return false;
}

std::vector<std::string> IniIndexKeys(const char* buffer, std::int32_t size) {
  std::vector<std::string> keys;
  std::int32_t at = 0;
  while (at < size && buffer[at] != '\0') {
    std::int32_t end = at;
    while (end < size && buffer[end] != '\0') ++end;
    keys.emplace_back(buffer + at, static_cast<std::size_t>(end - at));
    at = end + 1;
  }
  return keys;
}

void SortIniKeys(std::vector<std::string>& keys) {
  std::stable_sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
    return platform::UpperCase(a) < platform::UpperCase(b);
  });
  keys.erase(std::unique(keys.begin(), keys.end(),
                         [](const std::string& a, const std::string& b) { return platform::SameText(a, b); }),
             keys.end());
}

}  // namespace telephony
