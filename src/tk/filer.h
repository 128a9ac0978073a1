#pragma once
// Form streams in a JSON format of ours. A component is written as its class, name, published properties
// that differ from their defaults (in declaration order), defined properties, and its children. Reading
// creates components by registered class name under the loading state, resolves component references by
// name once the whole tree is read, then calls Loaded in creation order.
#include <QJsonObject>
#include <functional>
#include <string>
#include <vector>

#include "tk/component.h"
#include "tk/property.h"

namespace tk {

class Filer {
 public:
  virtual ~Filer() = default;
  // `write` gives the value to store; `read` takes a stored one. Nothing is written unless `hasData`.
  virtual void DefineProperty(const std::string& name, const std::function<void(const Value&)>& read,
                              const std::function<Value()>& write, bool hasData) = 0;
  virtual void DefineBinaryProperty(const std::string& name, const std::function<void(const Binary&)>& read,
                                    const std::function<Binary()>& write, bool hasData) = 0;
};

using ComponentFactory = std::function<Component*(Component* owner)>;
void RegisterClass(const std::string& className, ComponentFactory factory);
bool IsClassRegistered(const std::string& className);

class Writer : public Filer {
 public:
  QJsonObject WriteComponent(Component& component, Component* root = nullptr);
  void DefineProperty(const std::string& name, const std::function<void(const Value&)>& read,
                      const std::function<Value()>& write, bool hasData) override;
  void DefineBinaryProperty(const std::string& name, const std::function<void(const Binary&)>& read,
                            const std::function<Binary()>& write, bool hasData) override;

 private:
  QJsonArray* current_ = nullptr;
};

class Reader : public Filer {
 public:
  // Reads a tree whose top component is made with `owner` as owner. A stream that cannot be read (an
  // unknown class, a value of the wrong type or range, a setter that refuses it) throws EReadError and
  // leaves nothing it made behind.
  Component* ReadRoot(const QJsonObject& json, Component* owner);
  // Reads the properties and children of an existing root (a form reading its own description). A read
  // that fails gives the root back its name and the values of the properties it had changed.
  void ReadInto(Component& root, const QJsonObject& json);

  void DefineProperty(const std::string& name, const std::function<void(const Value&)>& read,
                      const std::function<Value()>& write, bool hasData) override;
  void DefineBinaryProperty(const std::string& name, const std::function<void(const Binary&)>& read,
                            const std::function<Binary()>& write, bool hasData) override;

 private:
  struct Fixup {
    Component* Target;
    PropertyInfo Property;
    std::string Name;
  };
  Component* ReadComponent(const QJsonObject& json, Component* owner, Component* parent);
  void ReadBody(Component& component, const QJsonObject& json);
  void Finish(Component& root);
  // Runs a read; on any failure frees what it created (not the root read into, which gets back what it
  // was) and throws EReadError.
  Component* Guarded(const std::function<Component*()>& read);
  // Before a property of `component` changes: when it is the root read into, keeps how to put the value
  // back (once for each property, `key` naming it).
  void KeepRootValue(const Component& component, const std::string& key, std::function<void()> restore);
  void KeepRootValue(Component& component, const PropertyInfo& property);
  void Reset(Component* into);

  std::vector<Component*> created_;
  std::vector<Fixup> fixups_;
  const QJsonObject* defined_ = nullptr;
  Component* defining_ = nullptr;  // whose defined properties are being read
  Component* into_ = nullptr;      // the existing root of ReadInto
  bool intoWasLoading_ = false;
  std::vector<std::string> keptKeys_;
  std::vector<std::function<void()>> restores_;
};

// JSON form of one value: [type, data].
QJsonArray ValueToJson(const Value& value);
Value ValueFromJson(const QJsonArray& json);

}  // namespace tk
