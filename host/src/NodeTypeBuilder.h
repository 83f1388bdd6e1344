#pragma once
// Declares node types and their attributes (long and short names, types,
// defaults) the way Maya's node reference lists them.

#include <initializer_list>
#include <memory>
#include <string>

#include "Core.h"

namespace kvhost {

struct Names {
  const char* longName;
  const char* shortName;
};

class TypeBuilder {
public:
  TypeBuilder(Scene::Impl& impl, const std::string& name, const std::string& base, std::initializer_list<MFn::Type> fns)
      : fType(std::make_unique<NodeType>()) {
    fType->name = name;
    if (!base.empty()) {
      const NodeType* parent = impl.types.at(base).get();
      fType->fns = parent->fns;
      fType->attrs = parent->attrs;
      fType->lookup = parent->lookup;
      fType->dag = parent->dag;
      fType->shape = parent->shape;
      fType->transform = parent->transform;
      fType->joint = parent->joint;
    }
    for (MFn::Type f : fns) fType->fns.push_back(f);
    fType->api = fType->fns.empty() ? MFn::kDependencyNode : fType->fns.back();
    fImpl = &impl;
  }
  ~TypeBuilder() {
    std::string name = fType->name;
    fImpl->types[name] = std::move(fType);
  }
  NodeType& type() { return *fType; }

  Attribute* attr(Names n, AttrType type, Attribute* parent = nullptr) {
    auto a = std::make_unique<Attribute>();
    a->longName = n.longName;
    a->shortName = n.shortName;
    a->type = type;
    a->parent = parent;
    Attribute* raw = a.get();
    fType->owned.push_back(std::move(a));
    if (parent) {
      raw->childIndex = static_cast<int>(parent->children.size());
      parent->children.push_back(raw);
    } else {
      raw->slot = static_cast<int>(fType->attrs.size());
      fType->attrs.push_back(raw);
    }
    raw->chain = chainOf(raw);
    fType->lookup[raw->longName] = raw;
    fType->lookup[raw->shortName] = raw;
    return raw;
  }
  Attribute* num(Names n, NumType t, double def = 0.0, Attribute* parent = nullptr) {
    Attribute* a = attr(n, AttrType::Numeric, parent);
    a->num = t;
    a->defaults[0] = def;
    return a;
  }
  Attribute* tuple(Names n, NumType t, std::initializer_list<Names> parts, std::initializer_list<double> defs = {},
                   Attribute* parent = nullptr) {
    Attribute* a = attr(n, AttrType::Tuple, parent);
    a->num = t;
    a->tupleSize = static_cast<int>(parts.size());
    int i = 0;
    for (double d : defs) a->defaults[i++] = d;
    i = 0;
    for (const Names& p : parts) {
      Attribute* c = attr(p, AttrType::Numeric, a);
      c->num = t;
      c->tupleComponent = true;
      c->component = i;
      c->defaults[0] = a->defaults[i];
      ++i;
    }
    return a;
  }
  Attribute* typed(Names n, DataType t, Attribute* parent = nullptr) {
    Attribute* a = attr(n, AttrType::Typed, parent);
    a->data = t;
    return a;
  }
  Attribute* compound(Names n, Attribute* parent = nullptr) { return attr(n, AttrType::Compound, parent); }
  Attribute* message(Names n, Attribute* parent = nullptr) { return attr(n, AttrType::Message, parent); }

private:
  std::unique_ptr<NodeType> fType;
  Scene::Impl* fImpl;
};

inline Attribute* multi(Attribute* a) {
  a->multi = true;
  return a;
}
inline Attribute* computed(Attribute* a) {
  a->computed = true;
  for (Attribute* c : a->children) c->computed = true;
  return a;
}
inline Attribute* moves(Attribute* a) {
  a->affectsMatrix = true;
  for (Attribute* c : a->children) c->affectsMatrix = true;
  return a;
}

}  // namespace kvhost
