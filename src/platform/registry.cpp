#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace platform {

namespace {

struct Value {
  std::string name;  // as first written
  bool isInteger = false;
  std::int32_t integer = 0;
  std::string text;
};

struct Key {
  std::string path;  // root name, '\', key path; as first written
  std::map<std::string, Value> values;  // by upper-case name
};

// Whole store, by upper-case full path ("HKEY_LOCAL_MACHINE\SOFTWARE\...").
using Store = std::map<std::string, Key>;

const char* RootName(RootKey root) {
  return root == RootKey::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string Quote(std::string_view s) {
  std::string r = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      r += '\\';
      r += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      r += buf;
    } else {
      r += static_cast<char>(c);
    }
  }
  return r + "\"";
}

// Reads a quoted string starting at s[i] == '"'; leaves i after the closing quote.
std::optional<std::string> Unquote(const std::string& s, size_t& i) {
  if (i >= s.size() || s[i] != '"') return std::nullopt;
  std::string r;
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      ++i;
      return r;
    }
    if (c == '\\' && i + 1 < s.size()) {
      char n = s[++i];
      if (n == 'x' && i + 2 < s.size()) {
        r += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
        i += 2;
      } else {
        r += n;
      }
    } else {
      r += c;
    }
  }
  return std::nullopt;
}

Store Parse(const std::string& bytes) {
  Store store;
  Key* current = nullptr;
  std::istringstream in(bytes);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[' && line.back() == ']') {
      std::string path = line.substr(1, line.size() - 2);
      current = &store[UpperCase(path)];
      if (current->path.empty()) current->path = path;
      continue;
    }
    if (!current) continue;
    size_t i = 0;
    auto name = Unquote(line, i);
    if (!name || i >= line.size() || line[i] != '=') continue;
    ++i;
    Value v;
    v.name = *name;
    if (line.compare(i, 6, "dword:") == 0) {
      v.isInteger = true;
      v.integer = static_cast<std::int32_t>(std::strtoul(line.c_str() + i + 6, nullptr, 16));
    } else if (auto text = Unquote(line, i)) {
      v.text = *text;
    } else {
      continue;
    }
    current->values[UpperCase(v.name)] = v;
  }
  return store;
}

std::string Serialize(const Store& store) {
  std::string out = "; Zelta settings\n";
  for (const auto& [upper, key] : store) {
    out += "\n[" + key.path + "]\n";
    for (const auto& [n, v] : key.values) {
      out += Quote(v.name) + "=";
      if (v.isInteger) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<std::uint32_t>(v.integer));
        out += buf;
      } else {
        out += Quote(v.text);
      }
      out += "\n";
    }
  }
  return out;
}

void MakeDirectories(const std::string& dir) {
  std::string partial;
  for (size_t i = 0; i <= dir.size(); ++i) {
    if (i == dir.size() || dir[i] == '/') {
      if (!partial.empty()) ::mkdir(partial.c_str(), 0700);
    }
    if (i < dir.size()) partial += dir[i];
  }
}

// One operation on the store: holds the store's lock, reads the file, and saves it when asked.
class Session {
 public:
  explicit Session(bool forWriting) : file_(RegistryFilePath()) {
    if (forWriting) MakeDirectories(ExtractFilePath(file_));
    std::string lockPath = file_ + ".lock";
    lock_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_ >= 0) ::flock(lock_, forWriting ? LOCK_EX : LOCK_SH);
    std::string bytes;
    if (ReadWholeFile(file_, bytes)) store = Parse(bytes);
  }
  ~Session() {
    if (lock_ >= 0) ::close(lock_);  // closing releases the lock
  }
  void Save() {
    MakeDirectories(ExtractFilePath(file_));
    std::string error = WriteFileAtomically(file_, Serialize(store));
    if (!error.empty()) throw RegistryError("Cannot save the settings: " + error);
  }

  Store store;

 private:
  std::string file_;
  int lock_ = -1;
};

std::string Join(const std::vector<std::string>& parts) {
  std::string r;
  for (const auto& p : parts) r += (r.empty() ? "" : "\\") + p;
  return r;
}

std::vector<std::string> Split(std::string_view path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

}  // namespace

std::string ConfigDirectory() {
  if (const char* dir = std::getenv("ZELTA_CONFIG_DIR"); dir && *dir) return dir;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return JoinPath(xdg, "zelta");
  const char* home = std::getenv("HOME");
  return JoinPath(JoinPath(home && *home ? home : "/tmp", ".config"), "zelta");
}

std::string RegistryFilePath() { return JoinPath(ConfigDirectory(), "registry.ini"); }

Registry::Registry(RootKey root) : root_(root) {}

void Registry::SetRoot(RootKey root) {
  CloseKey();
  root_ = root;
}

std::string Registry::Resolve(std::string_view key) const {
  std::vector<std::string> parts;
  bool absolute = !key.empty() && (key[0] == '\\' || key[0] == '/');
  if (open_ && !absolute) parts = Split(path_);
  for (auto& p : Split(key)) parts.push_back(p);
  return Join(parts);
}

bool Registry::OpenKey(std::string_view key, bool canCreate) {
  std::string path = Resolve(key);
  if (canCreate) {
    Session s(true);
    bool changed = false;
    // Creating a key creates the keys above it, as the original store does.
    std::string partial = RootName(root_);
    for (const auto& p : Split(path)) {
      partial += "\\" + p;
      Key& k = s.store[UpperCase(partial)];
      if (k.path.empty()) {
        k.path = partial;
        changed = true;
      }
    }
    if (changed) s.Save();
  } else if (!path.empty() && !KeyExists("\\" + path)) {
    return false;
  }
  open_ = true;
  path_ = path;
  return true;
}

void Registry::CloseKey() {
  open_ = false;
  path_.clear();
}

bool Registry::KeyExists(std::string_view key) const {
  std::string path = Resolve(key);
  if (path.empty()) return true;
  std::string prefix = UpperCase(std::string(RootName(root_)) + "\\" + path);
  Session s(false);
  auto it = s.store.lower_bound(prefix);
  // A key exists when it was written, or when a key below it was.
  return it != s.store.end() && (it->first == prefix || it->first.rfind(prefix + "\\", 0) == 0);
}

namespace {
std::string FullKey(RootKey root, const std::string& path) {
  return UpperCase(std::string(RootName(root)) + (path.empty() ? "" : "\\" + path));
}

std::string Formatted(const char* pattern, std::string_view name) {
  std::string r = pattern;
  return r.replace(r.find("%s"), 2, name);
}
}  // namespace

bool Registry::ValueExists(std::string_view name) const {
  Session s(false);
  auto k = s.store.find(FullKey(root_, path_));
  return k != s.store.end() && k->second.values.count(UpperCase(name)) > 0;
}

std::string Registry::ReadString(std::string_view name) const {
  Session s(false);
  auto k = s.store.find(FullKey(root_, path_));
  if (k == s.store.end()) return "";
  auto v = k->second.values.find(UpperCase(name));
  if (v == k->second.values.end()) return "";
  if (v->second.isInteger) throw RegistryError(Formatted("Invalid data type for '%s'", name));
  return v->second.text;
}

std::int32_t Registry::ReadInteger(std::string_view name) const {
  Session s(false);
  auto k = s.store.find(FullKey(root_, path_));
  if (k == s.store.end()) throw RegistryError(Formatted("Failed to get data for '%s'", name));
  auto v = k->second.values.find(UpperCase(name));
  if (v == k->second.values.end()) throw RegistryError(Formatted("Failed to get data for '%s'", name));
  if (!v->second.isInteger) throw RegistryError(Formatted("Invalid data type for '%s'", name));
  return v->second.integer;
}

namespace {
void Put(RootKey root, bool open, const std::string& path, std::string_view name, const Value& value) {
  if (!open) throw RegistryError(Formatted("Failed to set data for '%s'", name));
  Session s(true);
  Key& k = s.store[FullKey(root, path)];
  if (k.path.empty()) k.path = std::string(RootName(root)) + (path.empty() ? "" : "\\" + path);
  Value& v = k.values[UpperCase(name)];
  std::string keepName = v.name.empty() ? std::string(name) : v.name;
  v = value;
  v.name = keepName;
  s.Save();
}
}  // namespace

void Registry::WriteString(std::string_view name, std::string_view value) {
  Value v;
  v.text = value;
  Put(root_, open_, path_, name, v);
}

void Registry::WriteInteger(std::string_view name, std::int32_t value) {
  Value v;
  v.isInteger = true;
  v.integer = value;
  Put(root_, open_, path_, name, v);
}

bool Registry::DeleteValue(std::string_view name) {
  Session s(true);
  auto k = s.store.find(FullKey(root_, path_));
  if (k == s.store.end() || k->second.values.erase(UpperCase(name)) == 0) return false;
  s.Save();
  return true;
}

bool Registry::DeleteKey(std::string_view key) {
  std::string path = Resolve(key);
  if (path.empty()) return false;
  std::string full = FullKey(root_, path);
  Session s(true);
  bool removed = false;
  for (auto it = s.store.begin(); it != s.store.end();) {
    if (it->first == full || it->first.rfind(full + "\\", 0) == 0) {
      it = s.store.erase(it);
      removed = true;
    } else {
      ++it;
    }
  }
  if (removed) s.Save();
  return removed;
}

std::vector<std::string> Registry::GetKeyNames() const {
  std::string prefix = FullKey(root_, path_) + "\\";
  Session s(false);
  std::vector<std::string> names;
  for (const auto& [upper, key] : s.store) {
    if (upper.rfind(prefix, 0) != 0) continue;
    std::string rest = key.path.substr(prefix.size());
    std::string first = rest.substr(0, rest.find('\\'));
    if (names.empty() || !SameText(names.back(), first)) names.push_back(first);
  }
  return names;
}

std::vector<std::string> Registry::GetValueNames() const {
  Session s(false);
  std::vector<std::string> names;
  auto k = s.store.find(FullKey(root_, path_));
  if (k != s.store.end())
    for (const auto& [n, v] : k->second.values) names.push_back(v.name);
  return names;
}

}  // namespace platform
