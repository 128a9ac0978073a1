#pragma once
// The modem database engine: modem definitions as records of an INI record database (file "LWMODEM.INI" by
// default), taken and given in the engine form TModemData. Each routine returns 0 (or a count) or the INI
// database's negative error code.
#include <cstdint>
#include <memory>
#include <string>

#include "telephony/ini_engine.h"
#include "telephony/modem_data.h"

namespace telephony {

// Size of the stored record: every field as a zero-terminated text.
inline constexpr std::int32_t ModemRecordSize = 942;

struct TModemDatabase {
  TIniDatabasePtr Database;
};
using TModemDatabasePtr = std::unique_ptr<TModemDatabase>;

// Makes the database on the file with its twenty fields and the "Defaults" record; on a failure nothing is
// left allocated.
std::int32_t mInitModemDatabase(TModemDatabasePtr& database, const std::string& fileName);
std::int32_t mDoneModemDatabase(TModemDatabasePtr& database);
std::int32_t mAddModem(TModemDatabase& database, const TModemData& data);
std::int32_t mUpdModem(TModemDatabase& database, const std::string& name, const TModemData& data);
std::int32_t mDelModem(TModemDatabase& database, const std::string& name);
// Zero-fills `data` and fills it only on success.
std::int32_t mGetModem(TModemDatabase& database, const std::string& name, TModemData& data);
std::int32_t mNumModems(TModemDatabase& database);
std::int32_t mAllocModemIndexRec(TModemDatabase& database, TIniIndexBuffer& buffer, std::int32_t& size);
std::int32_t mDeallocModemIndexRec(TModemDatabase& database, TIniIndexBuffer& buffer, std::int32_t& size);
std::int32_t mLoadModemIndex(TModemDatabase& database, char* buffer, std::int32_t size);
std::int32_t mWriteToIni(TModemDatabase& database, const TModemData& data, const std::string& section,
                         const std::string& iniFile);
std::int32_t mReadFromIni(TModemDatabase& database, TModemData& data, const std::string& section,
                          const std::string& iniFile);

// The stored record and the engine form, both ways.
void ModemDataToRecord(const TModemData& data, std::uint8_t* record);
void ModemRecordToData(const std::uint8_t* record, TModemData& data);

}  // namespace telephony
