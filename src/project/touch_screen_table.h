#pragma once
// The touch-screen controller's object table: 512 records of 64 bytes, kept byte for byte as the ".tch"
// file and (records 0..255) as the touch-screen download. Record 0 holds the screen settings; records
// 1..511 are free (Type 0xFF, every other byte 0) or hold a button, a text or a status light.
//
// The table keeps the raw bytes so that what it does not interpret (reserved bytes, unknown types, old text
// after a shorter one's NUL) goes back to the file unchanged.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "platform/atomic_file.h"

enum TouchObjectType : std::uint8_t {
  TouchButton = 0,
  TouchText = 1,
  TouchStatusLight = 2,
  TouchFree = 0xFF,
};

// One object record decoded. The meaning of Style, LinkA and LinkB depends on Type:
//   button: Style font (0 small, 1 large), LinkA 1 = hidden border, Icon = icon list position (0 none)
//   text:   Style font (0 small, 1 large, 2 large numbers only), Variable = variable index 0..127
//   light:  Style link kind (0 X10 unit status: LinkA house 0..15, LinkB unit 0..15;
//           1 module I/O point: LinkA module 1..127, LinkB point index)
struct TouchObject {
  std::uint8_t Type = TouchFree;
  std::uint8_t Variable = 0;
  std::uint8_t Page = 0;           // 1..24
  std::uint16_t ObjectNumber = 0;  // the record's own index
  std::uint16_t X = 0;
  std::uint16_t Y = 0;
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  std::uint16_t Icon = 0;
  std::uint16_t Style = 0;
  std::uint16_t LinkA = 0;
  std::uint16_t LinkB = 0;
  std::string Text;  // caption or text; at most 30 characters in what the designer writes

  bool operator==(const TouchObject&) const = default;
};

class TouchScreenTable {
 public:
  static constexpr int kRecords = 512;
  static constexpr std::size_t kRecordBytes = 64;
  static constexpr std::size_t kBytes = kRecords * kRecordBytes;  // 32,768
  static constexpr std::size_t kTextBytes = 32;
  // The download sends records 0..255; the rest stays in the file.
  static constexpr std::size_t kDownloadBytes = 256 * kRecordBytes;

  TouchScreenTable();  // every record free

  // Records 1..511. Text is read up to its NUL and never past its 32-byte field.
  TouchObject Object(int record) const;
  // Writes every field of the object; the text goes in NUL-terminated (cut to 31 characters) and the field
  // bytes after the NUL are left as they were. Reserved bytes are not touched.
  void SetObject(int record, const TouchObject& object);
  std::uint8_t Type(int record) const;
  bool IsFree(int record) const { return Type(record) == TouchFree; }
  // The lowest free record from 1 upward, which a new object takes; 0 when all 511 are used.
  int FirstFreeRecord() const;

  // Record 0: the screen settings.
  std::uint16_t BacklightOffDelay() const;  // seconds, 0..200
  void SetBacklightOffDelay(std::uint16_t seconds);
  std::uint16_t BeepOnTouch() const;  // 0 OFF, 1 ON
  void SetBeepOnTouch(std::uint16_t on);
  std::uint16_t ShowDateAndTime() const;  // 0 OFF, 1 ON
  void SetShowDateAndTime(std::uint16_t on);

  // Frees one record (0..511): 64 zero bytes, then Type 0xFF.
  void DeleteObject(int record);
  // Frees all 512 records, the settings record included.
  void ClearAllObjects();

  std::span<const std::uint8_t> Bytes() const { return bytes_; }
  std::span<const std::uint8_t> DownloadImage() const { return Bytes().first(kDownloadBytes); }

  // Both force the ".TCH" extension onto the name (added when there is none) and return "" or the message
  // the designer shows. Save: replaces a file of that name in any case; "File Error" (the old file stays). Load: "TCH
  // File Not Found", "File Open Error"; after either the table is as it was. A load frees records 1..511, then lays up
  // to 32,768 bytes of the file over the table from byte 0, so a short file leaves the records past its end free.
  std::string SaveTchFile(const std::string& name, platform::AtomicFileWriter::WriteFunction write = {}) const;
  std::string LoadTchFile(const std::string& name);
  // The file both use for `name`: ".TCH" forced on it, found whatever its case. A name that already ends in
  // ".tch" in some case is the file picked, even beside another that differs from it only in case.
  static std::string FilePath(const std::string& name);

 private:
  std::uint8_t* Record(int record);
  const std::uint8_t* Record(int record) const;

  std::array<std::uint8_t, kBytes> bytes_{};
};
