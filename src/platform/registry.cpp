#include "platform/registry.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace platform {

namespace {

struct Value {
  std::string name;  // as first written
  bool isInteger = false;
  std::int32_t integer = 0;
  std::string text;
};

struct Key {
  std::string path;                     // root name, '\', key path; as first written
  std::map<std::string, Value> values;  // by upper-case name
  std::vector<std::string> kept;        // lines read but not understood, with their ends, written back as they were
};

// Whole store, by upper-case full path ("HKEY_LOCAL_MACHINE\SOFTWARE\..."). The entry with the empty
// name holds the lines found before the first key.
using Store = std::map<std::string, Key>;

const char* const kHeader = "; Zelta settings";

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
      if (n == 'x') {
        if (i + 2 >= s.size() || !std::isxdigit(static_cast<unsigned char>(s[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(s[i + 2])))
          return std::nullopt;
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

// A value line: "name"=dword:hhhhhhhh or "name"="text".
std::optional<Value> ParseValue(const std::string& line) {
  size_t i = 0;
  auto name = Unquote(line, i);
  if (!name || i >= line.size() || line[i] != '=') return std::nullopt;
  ++i;
  Value v;
  v.name = *name;
  if (line.compare(i, 6, "dword:") == 0) {
    std::string digits = line.substr(i + 6);
    if (digits.empty() || digits.size() > 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      return std::nullopt;
    v.isInteger = true;
    v.integer = static_cast<std::int32_t>(std::strtoul(digits.c_str(), nullptr, 16));
    return v;
  }
  auto text = Unquote(line, i);
  if (!text || i != line.size()) return std::nullopt;
  v.text = *text;
  return v;
}

struct Parsed {
  Store store;
  int firstUnknownLine = 0;  // 1-based; 0 when every line was understood
};

Parsed Parse(const std::string& bytes) {
  Parsed result;
  Store& store = result.store;
  Key* current = nullptr;
  std::istringstream in(bytes);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    // A kept line keeps its own end, so that a carriage return of its text (before CR LF) stays. An
    // unended last line whose CR was taken for its end gets CR LF.
    const bool cr = !line.empty() && line.back() == '\r';
    if (cr) line.pop_back();
    if (line.empty() || line == kHeader) continue;
    if (line.size() > 2 && line[0] == '[' && line.back() == ']') {
      std::string path = line.substr(1, line.size() - 2);
      current = &store[UpperCase(path)];
      if (current->path.empty()) current->path = path;
      continue;
    }
    std::optional<Value> value = current && line[0] != ';' ? ParseValue(line) : std::nullopt;
    if (value) {
      current->values[UpperCase(value->name)] = *value;
      continue;
    }
    // Kept so that saving never drops what someone wrote there.
    (current ? current : &store[""])->kept.push_back(line + (cr ? "\r\n" : "\n"));
    if (line[0] != ';' && result.firstUnknownLine == 0) result.firstUnknownLine = number;
  }
  return result;
}

std::string Serialize(const Store& store) {
  std::string out = std::string(kHeader) + "\n";
  for (const auto& [upper, key] : store) {
    if (!upper.empty()) out += "\n[" + key.path + "]\n";
    for (const auto& line : key.kept) out += line;
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
      if (!partial.empty()) ::mkdir(NativePath(partial).c_str(), 0700);
    }
    if (i < dir.size()) partial += dir[i];
  }
}

const char* const kInMemory = "Settings changed now last only until Zelta closes.";

// $HOME, else the home the password database gives this user, when it is a folder of theirs.
std::optional<std::string> HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home);
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir ||
      found->pw_dir[0] != '/')
    return std::nullopt;
  struct stat st {};
  if (::stat(found->pw_dir, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return std::nullopt;
  return std::string(found->pw_dir);
}

// A group no one but this user is in: their own, named after them, with no other member listed.
bool PrivateGroup(gid_t group) {
  std::vector<char> userBuffer(16384), groupBuffer(65536);
  passwd user{};
  passwd* me = nullptr;
  ::group entry{};
  ::group* found = nullptr;
  if (::getpwuid_r(::geteuid(), &user, userBuffer.data(), userBuffer.size(), &me) != 0 || !me || me->pw_gid != group ||
      ::getgrgid_r(group, &entry, groupBuffer.data(), groupBuffer.size(), &found) != 0 || !found ||
      std::strcmp(found->gr_name, me->pw_name) != 0)
    return false;
  for (char** member = found->gr_mem; member && *member; ++member)
    if (std::strcmp(*member, me->pw_name) != 0) return false;
  return true;
}

// Why another user could change the settings in the folder `dir`; "" when it is this user's alone (or
// not there yet).
std::string ForeignFolder(const std::string& dir) {
  struct stat st {};
  if (::stat(NativePath(dir).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "";
  if (st.st_uid == ::geteuid() && !(st.st_mode & S_IWOTH) && (!(st.st_mode & S_IWGRP) || PrivateGroup(st.st_gid)))
    return "";
  return "The settings folder " + dir + " belongs to another user or others may change it, so it is not used. " +
         kInMemory;
}

std::mutex storeLock;  // orders this process's sessions; guards what follows

// Stores whose file could not be read, by file path: the program goes on with them in memory and never
// writes over the file.
std::map<std::string, Store>& StoresInMemory() {
  static std::map<std::string, Store> stores;
  return stores;
}

std::set<std::string>& Noticed() {
  static std::set<std::string> noticed;
  return noticed;
}

std::vector<std::string>& PendingNotices() {
  static std::vector<std::string> notices;
  return notices;
}

// Message boxes belong to the window thread; a notice raised elsewhere waits for the next session there.
void ShowPendingNotices() {
  if (auto* app = QCoreApplication::instance(); app && QThread::currentThread() != app->thread()) return;
  std::vector<std::string> notices;
  {
    std::lock_guard guard(storeLock);
    notices.swap(PendingNotices());
  }
  for (const auto& text : notices) Ui().ShowMessage(text);
}

// One operation on the store: holds the store's lock, reads the file, and saves it when asked.
class Session {
 public:
  explicit Session(bool forWriting) : guard_(storeLock) {
    const ConfigFolder folder = LocateConfigFolder();
    file_ = folder.Path.empty() ? "" : JoinPath(folder.Path, "registry.ini");
    if (auto it = StoresInMemory().find(file_); it != StoresInMemory().end()) {
      memory_ = &it->second;
      store = *memory_;
      return;
    }
    if (file_.empty()) {
      KeepInMemory(folder.Problem);
      return;
    }
    if (forWriting) MakeDirectories(folder.Path);
    if (std::string foreign = ForeignFolder(folder.Path); !foreign.empty()) {
      KeepInMemory(foreign);
      return;
    }
    lock_ = ::open(NativePath(file_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    int locked = -1;
    if (lock_ >= 0) {
      do locked = ::flock(lock_, forWriting ? LOCK_EX : LOCK_SH);
      while (locked != 0 && errno == EINTR);
    }
    // Reading unlocked is safe (saves are renames), but a save must hold the lock or it may lose another's.
    if (locked != 0) lockError_ = std::strerror(errno);
    std::string bytes;
    if (ReadWholeFile(file_, bytes)) {
      Parsed parsed = Parse(bytes);
      store = std::move(parsed.store);
      if (parsed.firstUnknownLine > 0)
        Notice('L', "Line " + std::to_string(parsed.firstUnknownLine) + " of the settings file " + file_ +
                        " is not understood; it is kept as it is.");
    } else if (errno != ENOENT) {
      KeepInMemory("The settings file " + file_ + " cannot be read (" + std::strerror(errno) +
                   "). It is left as it is; settings changed now last only until Zelta closes.");
    }
  }
  ~Session() {
    if (lock_ >= 0) ::close(lock_);  // closing releases the lock
    guard_.unlock();
    try {
      ShowPendingNotices();
    } catch (...) {
    }
  }
  void Save() {
    if (memory_) {
      *memory_ = store;
      return;
    }
    if (!lockError_.empty())
      throw RegistryError("Cannot save the settings: cannot lock " + file_ + ".lock: " + lockError_);
    // The store holds the network-access password: private even where an earlier version left it open.
    std::string error = WriteFileAtomically(file_, Serialize(store), AtomicFileWriter::Access::Private);
    if (!error.empty()) throw RegistryError("Cannot save the settings: " + error);
  }

  Store store;

 private:
  // Each kind of trouble is told once per file.
  void Notice(char kind, const std::string& text) {
    if (Noticed().insert(kind + file_).second) PendingNotices().push_back(text);
  }
  void KeepInMemory(const std::string& why) {
    memory_ = &StoresInMemory()[file_];
    store.clear();
    Notice('R', why);
  }

  std::unique_lock<std::mutex> guard_;
  std::string file_;
  int lock_ = -1;
  std::string lockError_;
  Store* memory_ = nullptr;
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

ConfigFolder LocateConfigFolder() {
  // The environment holds names in the file system's encoding.
  std::string native;
  if (const char* dir = std::getenv("ZELTA_CONFIG_DIR"); dir && *dir) {
    native = dir;
  } else if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    native = JoinPath(xdg, "zelta");
  } else if (std::optional<std::string> home = HomeFolder()) {
    native = JoinPath(JoinPath(*home, ".config"), "zelta");
  } else {
    return {"", "No home folder is known for this user. " + std::string(kInMemory)};
  }
  std::optional<std::string> path = InternalPath(native);
  if (!path) return {"", "The name of the settings folder cannot be held as text. " + std::string(kInMemory)};
  return {*path, ""};
}

std::string ConfigDirectory() { return LocateConfigFolder().Path; }

std::string RegistryFilePath() {
  std::string dir = ConfigDirectory();
  return dir.empty() ? std::string() : JoinPath(dir, "registry.ini");
}

std::string CheckedConfigDirectory() {
  const ConfigFolder folder = LocateConfigFolder();
  return !folder.Path.empty() && ForeignFolder(folder.Path).empty() ? folder.Path : "";
}

std::string UsableConfigDirectory() {
  if (const std::string path = ConfigDirectory(); !path.empty()) MakeDirectories(path);
  return CheckedConfigDirectory();
}

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
