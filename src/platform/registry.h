#pragma once
// The settings store the program keeps where the original used the system registry: root keys, key paths
// written with '\', string and 32-bit integer values, matched ignoring case. Each access object opens
// the store for every operation, so two objects (or two programs) always see each other's writes.
//
// Read semantics follow the original's: a missing integer fails with "Failed to get data for '<name>'",
// a missing string reads as "".
//
// The store is the file RegistryFilePath(), readable by its owner only (it holds the network-access
// password) and saved atomically after every change. Lines of it that are not understood are kept as they
// are. A file that exists but cannot be read is never written over: the program says so once and goes on
// with the settings in memory.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RootKey { LocalMachine, CurrentUser };

class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The settings folder: $ZELTA_CONFIG_DIR, else $XDG_CONFIG_HOME/zelta, else ~/.config/zelta, the home
// being $HOME or, without it, the password database's. No path when no home is known or the folder's name
// cannot be held as text: `Problem` then says so. The settings then live in memory, as they do when the
// folder belongs to another user or others may change it.
struct ConfigFolder {
  std::string Path;
  std::string Problem;
};
ConfigFolder LocateConfigFolder();
std::string ConfigDirectory();  // LocateConfigFolder().Path
// ConfigDirectory()/registry.ini; "" without a settings folder.
std::string RegistryFilePath();
// The settings folder, made when missing, when the settings are kept there; "" when they live in memory.
std::string UsableConfigDirectory();
// The same check, making nothing: a folder not made yet is used, and holds no file.
std::string CheckedConfigDirectory();

class Registry {
 public:
  explicit Registry(RootKey root = RootKey::CurrentUser);

  RootKey Root() const { return root_; }
  void SetRoot(RootKey root);  // closes the current key

  // A key starting with '\' is taken from the root, any other from the current key when one is open.
  // Returns false when the key does not exist and may not be created.
  bool OpenKey(std::string_view key, bool canCreate);
  void CloseKey();
  bool HasCurrentKey() const { return open_; }
  const std::string& CurrentPath() const { return path_; }

  bool KeyExists(std::string_view key) const;
  bool ValueExists(std::string_view name) const;
  bool DeleteKey(std::string_view key);  // with everything below it
  bool DeleteValue(std::string_view name);
  std::vector<std::string> GetKeyNames() const;  // direct sub-keys of the current key
  std::vector<std::string> GetValueNames() const;

  std::string ReadString(std::string_view name) const;
  std::int32_t ReadInteger(std::string_view name) const;
  bool ReadBool(std::string_view name) const { return ReadInteger(name) != 0; }
  void WriteString(std::string_view name, std::string_view value);
  void WriteInteger(std::string_view name, std::int32_t value);
  void WriteBool(std::string_view name, bool value) { WriteInteger(name, value ? 1 : 0); }

 private:
  std::string Resolve(std::string_view key) const;

  RootKey root_;
  bool open_ = false;
  std::string path_;  // of the current key, without the root, components joined by '\'
};

}  // namespace platform
