#include "telephony/modem_db_engine.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/text.h"
#include "serial/lk_misc.h"

namespace telephony {

namespace {

// The text fields as they lie in both forms.
struct TextField {
  const char* Name;
  std::int32_t MaxLen;
  const char* Default;
  std::size_t Offset;  // in TModemData
};

#define MODEM_TEXT(field, len, def) \
  { #field, len, def, offsetof(TModemData, field) }
const TextField kTextFields[] = {
    MODEM_TEXT(Name, 31, ""),
    MODEM_TEXT(InitCmd, 41, "ATZ^M"),
    MODEM_TEXT(DialCmd, 41, "ATD"),
    MODEM_TEXT(DialTerm, 41, "^M"),
    MODEM_TEXT(DialCancel, 41, "^M"),
    MODEM_TEXT(HangupCmd, 41, "+++~~~ATH0^M"),
    MODEM_TEXT(ConfigCmd, 255, "ATE1Q0X1V1^M"),
    MODEM_TEXT(AnswerCmd, 41, "ATA^M"),
    MODEM_TEXT(OkMsg, 21, "OK"),
    MODEM_TEXT(ConnectMsg, 21, "CONNECT"),
    MODEM_TEXT(BusyMsg, 21, "BUSY"),
    MODEM_TEXT(VoiceMsg, 21, "VOICE"),
    MODEM_TEXT(NoCarrierMsg, 21, "NO CARRIER"),
    MODEM_TEXT(NoDialToneMsg, 21, "NO DIAL"),
    MODEM_TEXT(ErrorMsg, 21, "ERROR"),
    MODEM_TEXT(RingMsg, 21, "RING"),
};
#undef MODEM_TEXT

constexpr std::int32_t kTagsLen = 105;
constexpr std::int32_t kLockDTELen = 5;
constexpr std::int32_t kBaudLen = 7;
constexpr std::int32_t kDefaultBaud = 2400;

std::string GetZ(const char* p, std::size_t size) {
  std::size_t n = 0;
  while (n < size && p[n] != '\0') ++n;
  return std::string(p, n);
}

void PutZ(char* p, std::size_t size, const std::string& s) {
  std::size_t n = std::min(s.size(), size - 1);
  std::memset(p, 0, size);
  std::memcpy(p, s.data(), n);
}

void TagsFromText(const std::string& text, TModemTagList& tags) {
  tags = TModemTagList{};
  if (text.empty()) return;
  std::size_t start = 0;
  while (tags.Count < static_cast<std::int32_t>(kModemMaxTags)) {
    std::size_t comma = text.find(',', start);
    PutZ(tags.Tags[tags.Count++], kModemTagLen + 1, text.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
}

std::string TagsToText(const TModemTagList& tags) {
  std::string text;
  const std::int32_t count = std::clamp<std::int32_t>(tags.Count, 0, kModemMaxTags);
  for (std::int32_t i = 0; i < count; ++i) {
    if (i > 0) text += ',';
    text += GetZ(tags.Tags[i], kModemTagLen + 1);
  }
  return text;
}

bool LockDTEFromText(const std::string& text) {
  const std::string upper = platform::UpperCase(text.substr(0, kLockDTELen));
  return upper == "TRUE" || upper == "YES" || upper == "ON" || upper == "1";
}

std::int32_t BaudFromText(const std::string& text) {
  std::int32_t baud = 0;
  return serial::Str2LongZ(text, baud) ? baud : kDefaultBaud;
}

// Offsets of the last four fields in the stored record, after the sixteen texts.
constexpr std::size_t kTextBytes = 32 + 5 * 42 + 256 + 42 + 8 * 22;
constexpr std::size_t kErrorTagsAt = kTextBytes;
constexpr std::size_t kCompressTagsAt = kErrorTagsAt + kTagsLen + 1;
constexpr std::size_t kLockDTEAt = kCompressTagsAt + kTagsLen + 1;
constexpr std::size_t kBaudAt = kLockDTEAt + kLockDTELen + 1;
static_assert(kBaudAt + kBaudLen + 1 == ModemRecordSize);

std::vector<std::uint8_t> DefaultsRecord() {
  TModemData d;
  for (const TextField& f : kTextFields) PutZ(reinterpret_cast<char*>(&d) + f.Offset, f.MaxLen + 1, f.Default);
  d.LockDTE = true;
  d.DefaultBaud = kDefaultBaud;
  std::vector<std::uint8_t> record(ModemRecordSize);
  ModemDataToRecord(d, record.data());
  return record;
}

std::int32_t Define(TIniDatabase& db) {
  for (const TextField& f : kTextFields)
    if (std::int32_t rc = iAddIniDBStringField(db, f.Name, f.MaxLen, f.Offset == 0); rc < 0) return rc;
  for (const char* name : {"ErrorCheckTags", "CompressTags"})
    if (std::int32_t rc = iAddIniDBStringField(db, name, kTagsLen, false); rc < 0) return rc;
  if (std::int32_t rc = iAddIniDBStringField(db, "LockDTE", kLockDTELen, false); rc < 0) return rc;
  if (std::int32_t rc = iAddIniDBStringField(db, "DefaultBaud", kBaudLen, false); rc < 0) return rc;
  const std::vector<std::uint8_t> defaults = DefaultsRecord();
  return iPrepareIniDatabase(db, defaults.data());
}

}  // namespace

void ModemDataToRecord(const TModemData& data, std::uint8_t* record) {
  char* out = reinterpret_cast<char*>(record);
  std::size_t at = 0;
  for (const TextField& f : kTextFields) {
    const std::size_t size = static_cast<std::size_t>(f.MaxLen) + 1;
    PutZ(out + at, size, GetZ(reinterpret_cast<const char*>(&data) + f.Offset, size));
    at += size;
  }
  PutZ(out + kErrorTagsAt, kTagsLen + 1, TagsToText(data.ErrorCheckTags));
  PutZ(out + kCompressTagsAt, kTagsLen + 1, TagsToText(data.CompressTags));
  PutZ(out + kLockDTEAt, kLockDTELen + 1, data.LockDTE ? "TRUE" : "FALSE");
  PutZ(out + kBaudAt, kBaudLen + 1, std::to_string(data.DefaultBaud));
}

void ModemRecordToData(const std::uint8_t* record, TModemData& data) {
  const char* in = reinterpret_cast<const char*>(record);
  data = TModemData{};
  std::size_t at = 0;
  for (const TextField& f : kTextFields) {
    const std::size_t size = static_cast<std::size_t>(f.MaxLen) + 1;
    PutZ(reinterpret_cast<char*>(&data) + f.Offset, size, GetZ(in + at, size));
    at += size;
  }
  TagsFromText(GetZ(in + kErrorTagsAt, kTagsLen + 1), data.ErrorCheckTags);
  TagsFromText(GetZ(in + kCompressTagsAt, kTagsLen + 1), data.CompressTags);
  data.LockDTE = LockDTEFromText(GetZ(in + kLockDTEAt, kLockDTELen + 1));
  data.DefaultBaud = BaudFromText(GetZ(in + kBaudAt, kBaudLen + 1));
}

std::int32_t mInitModemDatabase(TModemDatabasePtr& database, const std::string& fileName) {
  auto db = std::make_unique<TModemDatabase>();
  if (std::int32_t rc = iInitIniDatabase(db->Database, fileName); rc < 0) return rc;
  if (std::int32_t rc = Define(*db->Database); rc < 0) {
    iDoneIniDatabase(db->Database);
    return rc;
  }
  database = std::move(db);
  return 0;
}

std::int32_t mDoneModemDatabase(TModemDatabasePtr& database) {
  if (database) iDoneIniDatabase(database->Database);
  database.reset();
  return 0;
}

std::int32_t mAddModem(TModemDatabase& database, const TModemData& data) {
  std::uint8_t record[ModemRecordSize];
  ModemDataToRecord(data, record);
  return iAddIniRecord(*database.Database, record);
}

std::int32_t mUpdModem(TModemDatabase& database, const std::string& name, const TModemData& data) {
  std::uint8_t record[ModemRecordSize];
  ModemDataToRecord(data, record);
  return iUpdIniRecord(*database.Database, name, record);
}

std::int32_t mDelModem(TModemDatabase& database, const std::string& name) {
  return iDelIniRecord(*database.Database, name);
}

std::int32_t mGetModem(TModemDatabase& database, const std::string& name, TModemData& data) {
  data = TModemData{};
  std::uint8_t record[ModemRecordSize];
  std::int32_t rc = iGetIniRecord(*database.Database, name, record);
  if (rc == 0) ModemRecordToData(record, data);
  return rc;
}

std::int32_t mNumModems(TModemDatabase& database) { return iNumIniRecs(*database.Database); }

std::int32_t mAllocModemIndexRec(TModemDatabase& database, TIniIndexBuffer& buffer, std::int32_t& size) {
  return iAllocIniIndexRec(*database.Database, buffer, size);
}

std::int32_t mDeallocModemIndexRec(TModemDatabase& database, TIniIndexBuffer& buffer, std::int32_t& size) {
  return iDeallocIniIndexRec(*database.Database, buffer, size);
}

std::int32_t mLoadModemIndex(TModemDatabase& database, char* buffer, std::int32_t size) {
  return iLoadIniIndex(*database.Database, buffer, size);
}

std::int32_t mWriteToIni(TModemDatabase& database, const TModemData& data, const std::string& section,
                         const std::string& iniFile) {
  std::uint8_t record[ModemRecordSize];
  ModemDataToRecord(data, record);
  return iWriteToIni(*database.Database, record, section, iniFile);
}

std::int32_t mReadFromIni(TModemDatabase& database, TModemData& data, const std::string& section,
                          const std::string& iniFile) {
  std::uint8_t record[ModemRecordSize];
  std::int32_t rc = iReadFromIni(*database.Database, record, section, iniFile);
  if (rc == 0) ModemRecordToData(record, data);
  return rc;
}

}  // namespace telephony
