#pragma once
// The settings window's data: how the PC reaches the controller (port, access method, auxiliary modem,
// telephony device, phone book, password, programming mode) and where the controller stands (latitude,
// longitude, time zone, daylight saving). The registry is the one source of truth: ReadConfigFile loads it
// before nearly every controller command and file dialog, WriteConfigFile stores what the window shows.
//
// The fields are the window's: the numbers it keeps and the texts and ticks of its controls. The click
// handlers of its radio groups and check boxes are methods here, because a read moves those controls from
// code and their handlers then run exactly as a user's click would.
#include <cstdint>
#include <string>

namespace project {

// What the settings apply to the serial port, the telephony device and the phone book, which belong to
// other parts of the program.
class SettingsLinks {
 public:
  virtual ~SettingsLinks() = default;
  // 0 = the modem through the telephony device, 1..8 = COM1..COM8.
  virtual void SetPortNumber(int comNum) = 0;
  // The telephony device used for dialling; empty means none chosen.
  virtual std::string SelectedDevice() const = 0;
  virtual void SetSelectedDevice(const std::string& name) = 0;
  // The device selection dialog; on OK the chosen device becomes the selected one.
  virtual void SelectDevice() = 0;
  virtual void SetPhonebookFileName(const std::string& path) = 0;
  // The settings have been stored: what shows them follows.
  virtual void SettingsStored() {}
};

// A machine without telephony: there is no device to choose, so the selection dialog shows nothing and
// the name stays as it was. The port number and the phone book's file are kept for whoever reads them.
class NoTelephonyLinks : public SettingsLinks {
 public:
  void SetPortNumber(int comNum) override { PortNumber = comNum; }
  std::string SelectedDevice() const override { return DeviceName; }
  void SetSelectedDevice(const std::string& name) override { DeviceName = name; }
  void SelectDevice() override {}
  void SetPhonebookFileName(const std::string& path) override { PhonebookFileName = path; }

  int PortNumber = 0;
  std::string DeviceName;
  std::string PhonebookFileName;
};

// The location as typed in the window, checked before the window stores it: empty when the latitude is a
// decimal number from -90 to 90, the longitude one from -180 to 180 and the time zone a whole number of
// hours from -12 to 14, else the message that names the first field that is not. Blanks around a number
// and a leading sign are allowed, as the sun table reads them.
std::string TimeSettingsError(const std::string& latitude, const std::string& longitude, const std::string& timeZone);

class Settings {
 public:
  // Registry keys (local machine root) and the phone book's file name.
  static constexpr const char* TimeKey = "\\SOFTWARE\\QRN\\VORMO\\Time";
  static constexpr const char* ConfigKey = "\\SOFTWARE\\QRN\\VORMO\\Config";
  static constexpr const char* AppPathsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\VORMO.exe";
  static constexpr const char* PhonebookFile = "KivraPhoneBook.INI";

  static constexpr std::int32_t DefaultPassword = 1234;
  static constexpr const char* DefaultLatitude = "33.75";
  static constexpr const char* DefaultLongitude = "84.39";
  static constexpr const char* DefaultTimeZone = "-5";
  static constexpr int ComPorts = 8;          // RadioGroup1: "&Modem" and COM1..COM8
  static constexpr int ProgrammingModes = 2;  // PC programming, on-screen programming

  // `links` must outlive the settings; without one, a NoTelephonyLinks of its own is used.
  explicit Settings(SettingsLinks* links = nullptr);
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  SettingsLinks& Links() { return *links_; }
  const SettingsLinks& Links() const { return *links_; }

  // read_configfile. A value missing from the store (all of them on a new machine) is first seeded with
  // its default. A value that is there but cannot be read is shown through the UI seam and the result is
  // false: the calling command stops, and the fields keep what was read before that value.
  bool ReadConfigFile();
  // write_configfile. False after the failure was shown through the UI seam.
  bool WriteConfigFile();
  // "&OK" and closing the window: Delay and StartMode 0, the password from its text, then the write.
  bool OkOrClose();

  // Control handlers. Those of RadioGroup1 and CheckBox1 act only when the shown choice changes, so a
  // click on the choice already shown, or a read that shows it again, changes nothing.
  void SelectComNum(int index);  // RadioGroup1
  void SelectMethod(int index);  // RadioGroup2
  void SetNonTapi(bool ticked);  // CheckBox1 "A&UX  Modem"
  void SelectDevice();           // clicking Edit5

  // TimeSettingsError of the location the fields hold: empty when the sun table can use it.
  std::string LocationError() const { return TimeSettingsError(Latitude, Longitude, TimeZone); }

  // Fields of the window.
  std::uint8_t ComNum = 1;  // 0 = modem through the telephony device, 1..8 = COM1..COM8
  std::uint8_t Method = 1;  // 1 = the controller directly, 0 = through the Kivra network access product
  std::uint8_t Delay = 3;
  std::uint8_t StartMode = 1;
  std::int32_t Delete = DefaultPassword;  // the network-access password, 0..65535
  std::uint8_t NonTapi = 0;               // 1 = dial through the auxiliary AT modem
  std::string CurrentDirectory;           // the data directory, whole however long
  int ProgrammingMode = 0;                // the "Programming Mode" index: 0 PC, 1 on-screen

  // What the controls show.
  int ComSelection = -1;                     // RadioGroup1's index: no choice before the first read
  bool AuxModem = false;                     // CheckBox1
  std::string SelectedDevice;                // Edit5: the telephony device as last shown
  std::string PasswordText;                  // Edit3
  std::string Latitude = DefaultLatitude;    // Edit1, decimal degrees, positive north
  std::string Longitude = DefaultLongitude;  // Edit2, decimal degrees, positive west
  std::string TimeZone = DefaultTimeZone;    // Edit4, whole hours
  bool UseDaylightSaving = true;             // CheckBox2
  bool EditProtectedParams = false;          // CheckBox3: not stored

 private:
  void ReadValues();
  void WriteValues();
  void ShowSelectedDevice();

  NoTelephonyLinks ownLinks_;
  SettingsLinks* links_;
};

}  // namespace project
