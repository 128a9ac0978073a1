#include "tk/filer.h"

#include <QJsonArray>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

#include "platform/text.h"
#include "tk/exception.h"

namespace tk {

namespace {

std::map<std::string, ComponentFactory>& Registry() {
  static std::map<std::string, ComponentFactory> registry;
  return registry;
}

QString Q(const std::string& s) { return platform::ToQString(s); }
std::string S(const QString& s) { return platform::FromQString(s).value_or(""); }

Component* FindByName(Component& root, const std::string& name) {
  if (platform::SameText(root.Name(), name)) return &root;
  for (int i = 0; i < root.ComponentCount(); ++i)
    if (Component* found = FindByName(*root.Components(i), name)) return found;
  return nullptr;
}

}  // namespace

void RegisterClass(const std::string& className, ComponentFactory factory) {
  Registry()[className] = std::move(factory);
}

bool IsClassRegistered(const std::string& className) { return Registry().count(className) != 0; }

QJsonArray ValueToJson(const Value& value) {
  QJsonArray out;
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          out = {"Nil", QJsonValue()};
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          out = {"Integer", static_cast<qint64>(v)};
        } else if constexpr (std::is_same_v<T, bool>) {
          out = {"Boolean", v};
        } else if constexpr (std::is_same_v<T, std::string>) {
          out = {"String", Q(v)};
        } else if constexpr (std::is_same_v<T, double>) {
          out = {"Float", v};
        } else if constexpr (std::is_same_v<T, Ident>) {
          out = {"Ident", Q(v.Name)};
        } else if constexpr (std::is_same_v<T, Binary>) {
          QByteArray bytes(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
          out = {"Binary", QString::fromLatin1(bytes.toHex())};
        } else if constexpr (std::is_same_v<T, ValueSet>) {
          QJsonArray names;
          for (const std::string& name : v.Names) names.append(Q(name));
          out = {"Set", names};
        } else if constexpr (std::is_same_v<T, ValueList>) {
          QJsonArray items;
          for (const Value& item : v.Items) items.append(ValueToJson(item));
          out = {"List", items};
        } else {
          out = {"Reference", v.Target ? Q(v.Target->Name()) : QString()};
        }
      },
      value);
  return out;
}

Value ValueFromJson(const QJsonArray& json) {
  const QString type = json.at(0).toString();
  const QJsonValue data = json.at(1);
  const auto require = [](bool ok) {
    if (!ok) detail::InvalidPropertyValue();
  };
  if (type == "Integer") {
    // Whole numbers only, and only those a double carries exactly.
    const double number = data.toDouble();
    require(data.isDouble() && std::abs(number) <= 9007199254740992.0 && number == std::trunc(number));
    return data.toInteger();
  }
  if (type == "Boolean") {
    require(data.isBool());
    return data.toBool();
  }
  if (type == "Float") {
    require(data.isDouble());
    return data.toDouble();
  }
  if (type == "Nil") return std::monostate{};
  if (type == "Set") {
    require(data.isArray());
    ValueSet set;
    for (const QJsonValue& name : data.toArray()) {
      require(name.isString());
      set.Names.push_back(S(name.toString()));
    }
    return set;
  }
  if (type == "List") {
    require(data.isArray());
    ValueList list;
    for (const QJsonValue& item : data.toArray()) {
      require(item.isArray() && item.toArray().size() == 2);
      list.Items.push_back(ValueFromJson(item.toArray()));
    }
    return list;
  }
  require(data.isString());
  if (type == "String") return S(data.toString());
  if (type == "Ident" || type == "Reference") return Ident{S(data.toString())};
  if (type == "Binary") {
    const QByteArray hex = data.toString().toLatin1();
    require(hex.size() % 2 == 0 &&
            std::all_of(hex.begin(), hex.end(), [](unsigned char c) { return std::isxdigit(c); }));
    QByteArray bytes = QByteArray::fromHex(hex);
    return Binary(bytes.begin(), bytes.end());
  }
  detail::InvalidPropertyValue();
}

QJsonObject Writer::WriteComponent(Component& component, Component* root) {
  if (!root) root = &component;
  QJsonObject out;
  out["Class"] = Q(component.ClassName());
  out["Name"] = Q(component.Name());
  PropertyList props;
  component.GetProperties(props);
  QJsonArray properties;
  for (const PropertyInfo& p : props) {
    if (!p.ShouldWrite(component)) continue;
    QJsonArray entry = ValueToJson(p.Get(component));
    entry.prepend(Q(p.Name));
    properties.append(entry);
  }
  current_ = &properties;
  component.DefineProperties(*this);
  current_ = nullptr;
  out["Properties"] = properties;
  QJsonArray children;
  component.GetChildren([&](Component* child) { children.append(WriteComponent(*child, root)); }, root);
  if (!children.isEmpty()) out["Children"] = children;
  return out;
}

void Writer::DefineProperty(const std::string& name, const std::function<void(const Value&)>&,
                            const std::function<Value()>& write, bool hasData) {
  if (!hasData || !current_ || !write) return;
  QJsonArray entry = ValueToJson(write());
  entry.prepend(Q(name));
  current_->append(entry);
}

void Writer::DefineBinaryProperty(const std::string& name, const std::function<void(const Binary&)>&,
                                  const std::function<Binary()>& write, bool hasData) {
  if (!hasData || !current_ || !write) return;
  QJsonArray entry = ValueToJson(write());
  entry.prepend(Q(name));
  current_->append(entry);
}

void Reader::Reset(Component* into) {
  created_.clear();
  fixups_.clear();
  into_ = into;
  keptKeys_.clear();
  restores_.clear();
}

void Reader::KeepRootValue(const Component& component, const std::string& key, std::function<void()> restore) {
  if (&component != into_ || std::find(keptKeys_.begin(), keptKeys_.end(), key) != keptKeys_.end()) return;
  keptKeys_.push_back(key);
  restores_.push_back(std::move(restore));
}

void Reader::KeepRootValue(Component& component, const PropertyInfo& property) {
  if (&component != into_) return;
  KeepRootValue(component, "property " + property.Name,
                [&component, property, value = property.Get(component)] { property.Set(component, value); });
}

Component* Reader::ReadRoot(const QJsonObject& json, Component* owner) {
  Reset(nullptr);
  return Guarded([&] {
    Component* root = ReadComponent(json, owner, nullptr);
    Finish(*root);
    return root;
  });
}

void Reader::ReadInto(Component& root, const QJsonObject& json) {
  Reset(&root);
  intoWasLoading_ = root.Loading();
  root.SetLoadingState();
  created_.push_back(&root);
  Guarded([&] {
    ReadBody(root, json);
    Finish(root);
    return &root;
  });
}

Component* Reader::Guarded(const std::function<Component*()>& read) {
  try {
    return read();
  } catch (const std::exception& e) {
    // What this read made goes again, children before their parents, so the owner is left as it was;
    // every failure leaves as the reader's own error.
    const std::size_t keep = into_ ? 1 : 0;
    for (std::size_t i = created_.size(); i > keep; --i) delete created_[i - 1];
    // The root read into takes back its earlier values, the last changed first. A setter refusing the
    // value it held before cannot be helped here: the read's own error is what goes on.
    for (auto it = restores_.rbegin(); it != restores_.rend(); ++it) {
      try {
        (*it)();
      } catch (const std::exception&) {
      }
    }
    if (into_ && intoWasLoading_)
      into_->ClearReadingState();
    else if (into_)
      into_->ClearLoadingState();
    Reset(nullptr);
    if (dynamic_cast<const EReadError*>(&e)) throw;
    throw EReadError(e.what());
  }
}

Component* Reader::ReadComponent(const QJsonObject& json, Component* owner, Component* parent) {
  std::string className = S(json["Class"].toString());
  auto it = Registry().find(className);
  if (it == Registry().end()) throw EReadError("Class " + className + " not found");
  Component* component = it->second(owner);
  component->SetLoadingState();
  created_.push_back(component);
  if (parent) component->SetParentComponent(parent);
  ReadBody(*component, json);
  return component;
}

void Reader::ReadBody(Component& component, const QJsonObject& json) {
  KeepRootValue(component, "name", [&component, name = component.Name()] { component.SetName(name); });
  component.SetName(S(json["Name"].toString()));
  PropertyList props;
  component.GetProperties(props);
  QJsonObject defined;
  for (const QJsonValue& entry : json["Properties"].toArray()) {
    QJsonArray triple = entry.toArray();
    std::string name = S(triple.at(0).toString());
    QJsonArray valueJson{triple.at(1), triple.at(2)};
    const Value value = ValueFromJson(valueJson);
    bool published = false;
    for (const PropertyInfo& p : props) {
      if (p.Name != name) continue;
      published = true;
      // The stream must hold what the property holds: a reference for a reference, an identifier for an
      // enumeration, and so on.
      const bool isReference = triple.at(1).toString() == "Reference";
      const Value current = p.Get(component);
      if (isReference != std::holds_alternative<ComponentRef>(current) ||
          (!isReference && value.index() != current.index()))
        detail::InvalidPropertyValue();
      if (isReference) {
        fixups_.push_back({&component, p, std::get<Ident>(value).Name});
      } else {
        KeepRootValue(component, p);
        p.Set(component, value);
      }
    }
    if (!published) defined[triple.at(0).toString()] = valueJson;
  }
  defined_ = &defined;
  defining_ = &component;
  component.DefineProperties(*this);
  defined_ = nullptr;
  defining_ = nullptr;
  Component* childOwner = component.GetChildOwner();
  for (const QJsonValue& child : json["Children"].toArray())
    ReadComponent(child.toObject(), childOwner ? childOwner : &component, &component);
}

void Reader::DefineProperty(const std::string& name, const std::function<void(const Value&)>& read,
                            const std::function<Value()>& write, bool) {
  if (!defined_ || !read) return;
  auto it = defined_->find(Q(name));
  if (it == defined_->end()) return;
  if (write) KeepRootValue(*defining_, "defined " + name, [read, value = write()] { read(value); });
  read(ValueFromJson(it->toArray()));
}

void Reader::DefineBinaryProperty(const std::string& name, const std::function<void(const Binary&)>& read,
                                  const std::function<Binary()>& write, bool) {
  if (!defined_ || !read) return;
  auto it = defined_->find(Q(name));
  if (it == defined_->end()) return;
  if (write) KeepRootValue(*defining_, "defined " + name, [read, value = write()] { read(value); });
  read(std::get<Binary>(ValueFromJson(it->toArray())));
}

void Reader::Finish(Component& root) {
  for (const Fixup& f : fixups_) {
    Component* target = f.Name.empty() ? nullptr : FindByName(root, f.Name);
    KeepRootValue(*f.Target, f.Property);
    f.Property.Set(*f.Target, ComponentRef{target});
  }
  for (Component* c : created_) c->ClearReadingState();
  for (Component* c : created_) c->Loaded();
  Reset(nullptr);
}

}  // namespace tk
