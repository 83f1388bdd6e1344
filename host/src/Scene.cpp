// The host scene: nodes, attributes and stored values, plug paths,
// connections, DAG parenting, and the invalidation of evaluated values.

#include <algorithm>
#include <cctype>
#include <optional>
#include <cstdlib>
#include <sstream>

#include <maya/MGlobal.h>

#include "Core.h"

namespace kvhost {

// ------------------------------------------------------------------ slots

long IndexList::find(int index) const {
  if (fRun) return index >= fRunFirst && index - fRunFirst < static_cast<long>(fRunLength) ? index - fRunFirst : -1;
  // Elements written one after the other from 0 sit at their own index.
  if (index >= 0 && static_cast<size_t>(index) < fList.size() && fList[static_cast<size_t>(index)] == index)
    return index;
  auto it = std::lower_bound(fList.begin(), fList.end(), index);
  return it != fList.end() && *it == index ? it - fList.begin() : -1;
}

void IndexList::push_back(int index) {
  if (fRun && fRunLength == 0) fRunFirst = index;
  if (fRun && index == fRunFirst + static_cast<long>(fRunLength)) {
    ++fRunLength;
    return;
  }
  spill();
  fList.push_back(index);
}

void IndexList::insert(size_t at, int index) {
  spill();
  fList.insert(fList.begin() + static_cast<std::ptrdiff_t>(at), index);
}

void IndexList::spill() {
  if (!fRun) return;
  fList.resize(fRunLength);
  for (size_t i = 0; i < fRunLength; ++i) fList[i] = fRunFirst + static_cast<int>(i);
  fRun = false;
}

long SlotSub::find(int index) const { return indices.find(index); }

Value::Kind SlotSub::kind(size_t i) const {
  if (!packed) return elems[i].value.kind;
  return packed->shape == PackedElems::Values ? packed->kind : Value::None;
}

std::array<double, 4> SlotSub::numbers(size_t i) const {
  std::array<double, 4> out{};
  if (!packed) {
    std::copy_n(elems[i].value.n, 4, out.begin());
  } else if (packed->shape == PackedElems::Values) {
    const size_t at = i * static_cast<size_t>(packed->width);
    if (packed->ints) std::copy_n(&packed->intNumbers[at], packed->width, out.begin());
    else std::copy_n(&packed->numbers[at], packed->width, out.begin());
  }
  return out;
}

void SlotSub::unpack() {
  if (!packed) return;
  std::vector<Slot> slots(indices.size());
  for (size_t i = 0; i < indices.size(); ++i) {
    Slot& e = slots[i];
    if (packed->shape == PackedElems::Values) {
      e.value.kind = packed->kind;
      const auto n = numbers(i);
      std::copy(n.begin(), n.end(), e.value.n);
      continue;
    }
    const PackedElems* p = packed.get();
    e.sub = std::make_unique<SlotSub>();
    e.sub->elems.resize(p->childCount);
    Slot& inner = e.sub->elems[static_cast<size_t>(p->child)];
    inner.sub = std::make_unique<SlotSub>();
    for (size_t k = p->entryStart[i]; k < p->entryStart[i + 1]; ++k) {
      inner.sub->indices.push_back(p->entryIndex[k]);
      inner.sub->elems.emplace_back().value.kind = Value::Number;
      inner.sub->elems.back().value.n[0] = p->numbers[k];
    }
  }
  packed.reset();
  elems = std::move(slots);
}

Slot* Slot::element(int index, bool create) {
  if (!sub) {
    if (!create) return nullptr;
    sub = std::make_unique<SlotSub>();
  }
  sub->unpack();
  auto& ids = sub->indices;
  if (!ids.empty() && ids.back() < index) {
    if (!create) return nullptr;
    ids.push_back(index);
    sub->elems.emplace_back();
    return &sub->elems.back();
  }
  if (long at = ids.find(index); at >= 0) return &sub->elems[static_cast<size_t>(at)];
  if (!create) return nullptr;
  const size_t pos = static_cast<size_t>(std::lower_bound(ids.begin(), ids.end(), index) - ids.begin());
  ids.insert(pos, index);
  sub->elems.insert(sub->elems.begin() + static_cast<std::ptrdiff_t>(pos), Slot());
  return &sub->elems[pos];
}

Slot* Slot::child(int index, size_t childCount, bool create) {
  if (!sub || sub->elems.size() <= static_cast<size_t>(index)) {
    if (!create) return nullptr;
    if (!sub) sub = std::make_unique<SlotSub>();
    sub->elems.resize(std::max(childCount, static_cast<size_t>(index) + 1));
  }
  return &sub->elems[static_cast<size_t>(index)];
}

IndexTable::IndexTable(std::vector<int> ascending) : fLogical(std::move(ascending)) {
  // A table no bigger than a few times the indices themselves.
  if (fLogical.empty() || fLogical.back() > 4 * static_cast<long>(fLogical.size()) + 1024) return;
  fDirect.assign(static_cast<size_t>(fLogical.back()) + 1, -1);
  for (size_t i = 0; i < fLogical.size(); ++i) fDirect[static_cast<size_t>(fLogical[i])] = static_cast<int>(i);
}

// ------------------------------------------------------------------ attributes and nodes

std::vector<const Attribute*> chainOf(const Attribute* attr) {
  std::vector<const Attribute*> chain;
  for (const Attribute* a = attr; a; a = a->parent) chain.push_back(a);
  std::reverse(chain.begin(), chain.end());
  return chain;
}

std::string plugName(const PlugKey& key, bool longNames) {
  // Like Maya's partial names: ancestors appear only where they carry an index.
  std::string s = key.node ? key.node->name : std::string();
  if (!key.attr) return s;
  const auto& chain = key.attr->chain;
  for (size_t i = 0; i < chain.size(); ++i) {
    const Attribute* a = chain[i];
    if (i + 1 < chain.size() && !a->multi) continue;
    s += "." + (longNames ? a->longName : a->shortName);
    if (a->multi && i < key.idx.size() && key.idx[i] >= 0) s += "[" + std::to_string(key.idx[i]) + "]";
  }
  return s;
}

bool Node::hasFn(MFn::Type t) const {
  if (t == MFn::kBase) return true;
  return std::find(type->fns.begin(), type->fns.end(), t) != type->fns.end();
}

const Attribute* Node::findAttribute(const std::string& name) const {
  auto it = type->lookup.find(name);
  if (it != type->lookup.end()) return it->second;
  auto d = dynLookup.find(name);
  return d != dynLookup.end() ? d->second : nullptr;
}

// ------------------------------------------------------------------ scene

Scene::Impl::Impl() {
  registerNodeTypes(*this);
  world = std::make_shared<Node>();
  world->scene = this;
  world->type = types.at("world").get();
  world->typeName = "world";
  world->name = "world";
  world->slots.resize(world->type->attrs.size());
}

const NodeType* Scene::Impl::typeFor(const std::string& name) const {
  auto it = types.find(name);
  return it != types.end() ? it->second.get() : nullptr;
}

std::string Scene::Impl::uniqueName(const std::string& base) const {
  if (byName.find(base) == byName.end()) return base;
  size_t digits = base.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(base[digits - 1]))) --digits;
  std::string stem = base.substr(0, digits);
  long n = digits < base.size() ? std::atol(base.c_str() + digits) : 0;
  for (;;) {
    std::string candidate = stem + std::to_string(++n);
    if (byName.find(candidate) == byName.end()) return candidate;
  }
}

void Scene::Impl::setName(Node& node, const std::string& name) {
  auto range = byName.equal_range(node.name);
  for (auto it = range.first; it != range.second; ++it)
    if (it->second == &node) {
      byName.erase(it);
      break;
    }
  node.name = name;
  byName.emplace(name, &node);
}

std::shared_ptr<Node> Scene::Impl::makeNode(const std::string& typeName, const std::string& name, Node* parent) {
  const NodeType* type = typeFor(typeName);
  if (!type || typeName == "world" || typeName == "dependNode" || typeName == "dagNode" || typeName == "shape")
    type = nullptr;
  if (!type) type = typeFor(parent ? "dagNode" : "dependNode");
  auto node = std::make_shared<Node>();
  node->scene = this;
  node->type = type;
  node->typeName = typeName;
  node->order = nextOrder++;
  ++connectionsVersion;
  node->isDefault = inDefaults;
  node->slots.resize(type->attrs.size());
  std::string wanted = name.empty() ? typeName + "1" : name;
  bool clash = false;
  auto range = byName.equal_range(wanted);
  for (auto it = range.first; it != range.second; ++it) {
    Node* other = it->second;
    // DAG nodes may share a name under different parents.
    if (!type->dag || !other->isDag()) clash = true;
    else if (other->parents.empty() ? parent == nullptr : std::find(other->parents.begin(), other->parents.end(), parent) != other->parents.end())
      clash = true;
  }
  node->name = clash ? uniqueName(wanted) : wanted;
  byName.emplace(node->name, node.get());
  nodes.push_back(node);
  if (type->dag) {
    Node* p = parent ? parent : world.get();
    p->children.push_back(node.get());
    node->parents.push_back(p == world.get() ? nullptr : p);
    dagChanged();
  }
  return node;
}

Node* Scene::Impl::find(const std::string& nameOrPath) const {
  std::string key = nameOrPath;
  if (!key.empty() && key[0] == ':' && key.find('|') == std::string::npos) key = key.substr(1);
  if (key.find('|') == std::string::npos) {
    Node* best = nullptr;
    auto range = byName.equal_range(key);
    for (auto it = range.first; it != range.second; ++it)
      if (!best || it->second->order < best->order) best = it->second;
    return best;
  }
  std::vector<std::string> parts;
  std::stringstream ss(key);
  std::string part;
  while (std::getline(ss, part, '|'))
    if (!part.empty()) parts.push_back(part.front() == ':' ? part.substr(1) : part);
  if (parts.empty()) return world.get();
  bool absolute = key[0] == '|';
  auto matchFrom = [&](Node* start) -> Node* {
    Node* cur = start;
    for (size_t i = 1; i < parts.size(); ++i) {
      Node* next = nullptr;
      for (Node* c : cur->children)
        if (c->name == parts[i]) {
          next = c;
          break;
        }
      if (!next) return nullptr;
      cur = next;
    }
    return cur;
  };
  auto range = byName.equal_range(parts[0]);
  std::vector<Node*> starts;
  for (auto it = range.first; it != range.second; ++it) starts.push_back(it->second);
  std::sort(starts.begin(), starts.end(), [](Node* a, Node* b) { return a->order < b->order; });
  for (Node* s : starts) {
    if (!s->isDag()) continue;
    if (absolute && std::find(s->parents.begin(), s->parents.end(), nullptr) == s->parents.end()) continue;
    if (Node* found = matchFrom(s)) return found;
  }
  return nullptr;
}

bool Scene::Impl::reparent(Node& child, Node* parent, bool add) {
  if (!child.isDag()) return fail("'" + child.name + "' is not a DAG node");
  if (parent && !parent->isDag()) return fail("'" + parent->name + "' is not a DAG node");
  for (Node* p = parent; p;) {
    if (p == &child) return fail("cannot parent '" + child.name + "' under its own descendant");
    p = p->parents.empty() ? nullptr : p->parents.front();
  }
  Node* holder = parent ? parent : world.get();
  Node* stored = parent;  // the world is stored as nullptr
  if (std::find(child.parents.begin(), child.parents.end(), stored) != child.parents.end()) {
    if (!add) {
      // Already the only parent: nothing to do.
      if (child.parents.size() == 1) return true;
    } else {
      return fail("'" + child.name + "' is already a child of '" + holder->name + "'");
    }
  }
  invalidateMatrix(child);
  invalidateGeneral(child);
  if (!add) {
    for (Node* p : child.parents) {
      Node* h = p ? p : world.get();
      h->children.erase(std::remove(h->children.begin(), h->children.end(), &child), h->children.end());
    }
    child.parents.clear();
  }
  child.parents.push_back(stored);
  holder->children.push_back(&child);
  dagChanged();
  return true;
}

// ------------------------------------------------------------------ plug paths

bool Scene::Impl::splitNodePlug(const std::string& full, Node*& node, std::string& attrPath) {
  // The node part ends at the first '.' after the last '|'.
  size_t bar = full.rfind('|');
  size_t dot = full.find('.', bar == std::string::npos ? 0 : bar);
  if (dot == std::string::npos) return fail("'" + full + "' names no attribute");
  std::string nodeName = full.substr(0, dot);
  node = find(nodeName);
  if (!node) return fail("no node named '" + nodeName + "'");
  attrPath = full.substr(dot + 1);
  return true;
}

Attribute* Scene::Impl::addDynamic(Node& node, const std::string& name, Attribute* parent, bool multi) {
  auto a = std::make_unique<Attribute>();
  a->longName = a->shortName = name;
  a->type = AttrType::Generic;
  a->multi = multi;
  a->dynamic = true;
  a->parent = parent;
  Attribute* raw = a.get();
  if (parent) {
    raw->childIndex = static_cast<int>(parent->children.size());
    parent->children.push_back(raw);
  } else {
    raw->slot = static_cast<int>(node.slots.size());
    node.slots.emplace_back();
  }
  raw->chain = chainOf(raw);
  node.dynAttrs.push_back(std::move(a));
  node.dynLookup.emplace(name, raw);
  return raw;
}

bool Scene::Impl::parsePlug(Node& node, const std::string& pathIn, ParsedPlug& out, bool createMissing) {
  std::string path = pathIn;
  if (!path.empty() && path[0] == '.') path = path.substr(1);
  out = ParsedPlug();
  out.key.node = &node;
  const Attribute* cur = nullptr;
  std::vector<int> idx;
  size_t pos = 0;
  while (pos < path.size()) {
    size_t end = path.find_first_of(".[", pos);
    std::string name = path.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? path.size() : end;
    if (name.empty()) return fail("bad attribute path '" + pathIn + "'");
    const Attribute* next = nullptr;
    if (!cur) {
      next = node.findAttribute(name);
    } else {
      for (const Attribute* c : cur->children)
        if (c->longName == name || c->shortName == name) next = c;
    }
    bool hasIndex = pos < path.size() && path[pos] == '[';
    if (!next) {
      bool canCreate = createMissing && (!cur || cur->type == AttrType::Generic);
      if (!canCreate)
        return fail("'" + node.name + "' (" + node.typeName + ") has no attribute '" + name + "'");
      next = addDynamic(node, name, const_cast<Attribute*>(cur), hasIndex);
    }
    if (next->type == AttrType::Generic && hasIndex && !next->multi) const_cast<Attribute*>(next)->multi = true;
    // Fill in left-out indices of the ancestors (a left-out multi index means 0).
    const auto& chain = next->chain;
    size_t have = idx.size();
    idx.resize(chain.size(), -1);
    for (size_t i = have; i + 1 < chain.size(); ++i)
      if (chain[i]->multi && idx[i] < 0) idx[i] = 0;
    if (cur && have > 0 && cur->multi && idx[have - 1] < 0 && next->parent == cur) idx[have - 1] = 0;
    cur = next;
    if (hasIndex) {
      size_t close = path.find(']', pos);
      if (close == std::string::npos) return fail("unclosed '[' in '" + pathIn + "'");
      std::string inside = path.substr(pos + 1, close - pos - 1);
      pos = close + 1;
      if (!cur->multi) return fail("'" + cur->longName + "' of '" + node.name + "' is not a multi attribute");
      size_t colon = inside.find(':');
      char* endp = nullptr;
      long first = std::strtol(inside.c_str(), &endp, 10);
      if (endp == inside.c_str() || first < 0 || first > kMaxLogicalIndex)
        return fail("bad index '" + inside + "' in '" + pathIn + "'");
      long last = first;
      if (colon != std::string::npos) {
        last = std::strtol(inside.c_str() + colon + 1, &endp, 10);
        if (last < first || last > kMaxLogicalIndex) return fail("bad index range '" + inside + "' in '" + pathIn + "'");
        if (out.rangeAt >= 0) return fail("more than one index range in '" + pathIn + "'");
        out.rangeAt = static_cast<int>(chain.size()) - 1;
        out.rangeFirst = static_cast<int>(first);
        out.rangeLast = static_cast<int>(last);
      }
      idx.back() = static_cast<int>(first);
    }
    if (pos < path.size()) {
      if (path[pos] != '.') return fail("bad attribute path '" + pathIn + "'");
      ++pos;
    }
  }
  if (!cur) return fail("empty attribute path");
  out.key.attr = cur;
  out.key.idx = idx;
  return true;
}

// ------------------------------------------------------------------ connections

const Connection* Scene::Impl::incoming(const PlugKey& dst) const {
  if (!dst.node) return nullptr;
  auto range = dst.node->inIndex.equal_range(plugHash(dst));
  for (auto it = range.first; it != range.second; ++it)
    if (it->second->dst == dst) return it->second.get();
  return nullptr;
}

bool Scene::Impl::connect(const PlugKey& src, const PlugKey& dst, bool force) {
  if (dst.attr->computed) return fail("'" + plugName(dst, true) + "' is computed and cannot be a destination");
  if (const Connection* old = incoming(dst)) {
    if (old->src == src) return fail("'" + plugName(src, false) + "' is already connected to '" + plugName(dst, false) + "'");
    if (!force) return fail("'" + plugName(dst, false) + "' already has an incoming connection");
    PlugKey oldSrc = old->src;
    disconnect(oldSrc, dst);
  }
  ++connectionsVersion;
  auto c = std::make_shared<Connection>();
  c->src = src;
  c->dst = dst;
  src.node->out.push_back(c);
  dst.node->in.push_back(c);
  dst.node->inIndex.emplace(plugHash(dst), c);
  if (dst.attr->multi && dst.attr->chain.size() == 1 && dst.idx[0] >= 0) {
    int& next = dst.node->nextFree[dst.attr];
    next = std::max(next, dst.idx[0] + 1);
  }
  changed(*dst.node, dst.attr);
  return true;
}

bool Scene::Impl::disconnect(const PlugKey& src, const PlugKey& dst) {
  Node* d = dst.node;
  auto it = std::find_if(d->in.begin(), d->in.end(), [&](const auto& c) { return c->src == src && c->dst == dst; });
  if (it == d->in.end()) return fail("'" + plugName(src, false) + "' is not connected to '" + plugName(dst, false) + "'");
  ++connectionsVersion;
  auto conn = *it;
  d->in.erase(it);
  auto range = d->inIndex.equal_range(plugHash(dst));
  for (auto i = range.first; i != range.second; ++i)
    if (i->second == conn) {
      d->inIndex.erase(i);
      break;
    }
  auto& outs = src.node->out;
  outs.erase(std::remove(outs.begin(), outs.end(), conn), outs.end());
  changed(*d, dst.attr);
  return true;
}

// ------------------------------------------------------------------ values

Slot* Scene::Impl::findSlot(const PlugKey& key, bool create) {
  const auto& chain = key.attr->chain;
  size_t depth = chain.size();
  if (key.attr->tupleComponent) --depth;
  Node& n = *key.node;
  const Attribute* top = chain[0];
  if (top->slot < 0 || top->slot >= n.slotCount()) return nullptr;
  Slot* s = &n.slots[static_cast<size_t>(top->slot)];
  for (size_t i = 0; i < depth; ++i) {
    const Attribute* a = chain[i];
    if (i > 0) {
      s = s->child(a->childIndex, a->parent->children.size(), create);
      if (!s) return nullptr;
    }
    if (a->multi) {
      int index = i < key.idx.size() ? key.idx[i] : -1;
      if (index < 0) {
        if (i + 1 == depth) break;  // the array plug itself
        index = 0;
      }
      s = s->element(index, create);
      if (!s) return nullptr;
    }
  }
  return s;
}

const Slot* Scene::Impl::lookup(const PlugKey& key, Slot& scratch) {
  const auto& chain = key.attr->chain;
  size_t depth = chain.size();
  if (key.attr->tupleComponent) --depth;
  Node& n = *key.node;
  const Attribute* top = chain[0];
  if (top->slot < 0 || top->slot >= n.slotCount()) return nullptr;
  const Slot* s = &n.slots[static_cast<size_t>(top->slot)];
  for (size_t i = 0; i < depth; ++i) {
    const Attribute* a = chain[i];
    if (i > 0) {
      if (!s->sub || s->sub->elems.size() <= static_cast<size_t>(a->childIndex)) return nullptr;
      s = &s->sub->elems[static_cast<size_t>(a->childIndex)];
    }
    if (!a->multi) continue;
    int index = i < key.idx.size() ? key.idx[i] : -1;
    if (index < 0) {
      if (i + 1 == depth) break;  // the array plug itself
      index = 0;
    }
    if (!s->sub) return nullptr;
    const long at = s->sub->find(index);
    if (at < 0) return nullptr;
    const size_t pos = static_cast<size_t>(at);
    if (!s->sub->packed) {
      s = &s->sub->elems[pos];
      continue;
    }
    // The element, as unpacking would make it, in `scratch`.
    const PackedElems& p = *s->sub->packed;
    scratch = Slot();
    if (p.shape == PackedElems::Values) {
      scratch.value.kind = p.kind;
      const auto n = s->sub->numbers(pos);
      std::copy(n.begin(), n.end(), scratch.value.n);
    } else {
      scratch.sub = std::make_unique<SlotSub>();
      scratch.sub->elems.resize(p.childCount);
      Slot& inner = scratch.sub->elems[static_cast<size_t>(p.child)];
      inner.sub = std::make_unique<SlotSub>();
      s->sub->forEachEntry(pos, p.child, [&](int entry, double number) {
        inner.sub->indices.push_back(entry);
        inner.sub->elems.emplace_back().value.kind = Value::Number;
        inner.sub->elems.back().value.n[0] = number;
      });
    }
    s = &scratch;
  }
  return s;
}

void Scene::Impl::reserve(const PlugKey& key, size_t count) {
  const Attribute* a = key.attr;
  // Room the file has not named yet is only reserved: pages nothing writes to
  // are never made resident, and a growing array is not moved to fresh pages at
  // every doubling.
  if (a->data == DataType::PolyFaces) {
    Node::StoredFaces& stored = key.node->faces;
    stored.faces.reserve(stored.faces.size() + count);
    stored.edges.reserve(stored.edges.size() + std::min(count * kReservedCornersPerFace, kMaxReservedValues));
    return;
  }
  if (!a->multi || key.idx.empty() || key.idx.back() >= 0) return;
  auto shape = packedShapeOf(a);
  if (!shape) return;
  Slot* s = findSlot(key, false);  // creates nothing: a hint adds no element to any multi
  if (!s || (s->sub && !s->sub->indices.empty())) return;
  if (!s->sub) s->sub = std::make_unique<SlotSub>();
  s->sub->packed = std::make_unique<PackedElems>(*shape);
  PackedElems& p = *s->sub->packed;
  if (p.shape == PackedElems::Values) {
    (p.ints ? p.intNumbers.reserve(count * static_cast<size_t>(p.width))
            : p.numbers.reserve(count * static_cast<size_t>(p.width)));
  } else {
    p.entryStart.reserve(count + 1);
    const size_t entries = std::min(count * kReservedEntriesPerElement, kMaxReservedValues);
    p.entryIndex.reserve(entries);
    p.numbers.reserve(entries);
  }
}

std::optional<PackedElems> packedShapeOf(const Attribute* a) {
  if (!a->multi || a->tupleComponent) return std::nullopt;
  PackedElems p;
  if (a->type == AttrType::Tuple || a->type == AttrType::Numeric) {
    p.kind = a->type == AttrType::Tuple ? Value::Tuple : Value::Number;
    p.width = a->type == AttrType::Tuple ? a->tupleSize : 1;
    p.ints = a->num == NumType::Long || a->num == NumType::Short || a->num == NumType::Byte ||
             a->num == NumType::Char || a->num == NumType::Bool || a->num == NumType::Enum;
    return p;
  }
  if (a->type != AttrType::Compound || a->children.size() != 1) return std::nullopt;
  const Attribute* inner = a->children[0];
  if (!inner->multi || inner->type != AttrType::Numeric) return std::nullopt;
  p.shape = PackedElems::Lists;
  p.child = 0;
  p.childCount = 1;
  p.entryStart.push_back(0);
  return p;
}

void Scene::Impl::changed(Node& node, const Attribute* attr) {
  invalidateGeneral(node);
  if (attr && attr->affectsMatrix && node.isDag()) invalidateMatrix(node);
}

// A node whose flag is already clear has empty caches and invalid
// dependents, so the walk stops there: a change costs nothing until someone
// reads through the node again.
void Scene::Impl::invalidateGeneral(Node& start) {
  std::vector<Node*> stack{&start};
  while (!stack.empty()) {
    Node* n = stack.back();
    stack.pop_back();
    if (!n->genValid) continue;
    n->genValid = false;
    n->geomCache.clear();
    n->influences.clear();
    n->influenceAt = IndexTable();
    n->hasInfluences = false;
    n->shapeCache.reset();
    n->apiCache.reset();
    n->shapeCacheFailed = false;
    n->hasLocal = false;
    n->hasWorld = false;
    for (const auto& c : n->out) {
      Node* d = c->dst.node;
      if (c->dst.attr->affectsMatrix && d->isDag()) invalidateMatrix(*d);
      stack.push_back(d);
    }
  }
}

void Scene::Impl::invalidateMatrix(Node& start) {
  std::vector<Node*> stack{&start};
  while (!stack.empty()) {
    Node* n = stack.back();
    stack.pop_back();
    if (!n->matValid) continue;
    n->matValid = false;
    n->hasLocal = false;
    n->hasWorld = false;
    for (Node* c : n->children) stack.push_back(c);
    for (const auto& c : n->out) {
      const std::string& s = c->src.attr->shortName;
      if (s == "wm" || s == "wim" || s == "pm" || s == "pim") {
        Node* d = c->dst.node;
        invalidateGeneral(*d);
        if (c->dst.attr->affectsMatrix && d->isDag()) stack.push_back(d);
      }
    }
  }
}

double numberOf(const Value& v, const Attribute* attr, int component) {
  if (v.kind == Value::Number) return v.n[0];
  if (v.kind == Value::Tuple) return v.n[component];
  return attr ? attr->defaults[component] : 0.0;
}

Node* nodeOf(const MObject& object) {
  Node* n = object.isNull() ? nullptr : object.object()->asNode();
  return n && n->alive ? n : nullptr;
}

// ------------------------------------------------------------------ public face

Scene::Scene() : fImpl(std::make_unique<Impl>()) {}
Scene::~Scene() = default;

Scene::Impl::~Impl() {
  for (auto& n : nodes) n->paths.clear();
}

Scene& Scene::get() {
  static Scene scene;
  return scene;
}

bool Scene::knowsNodeType(const std::string& type) const {
  return fImpl->typeFor(type) && type != "world" && type != "dependNode" && type != "dagNode" && type != "shape";
}

void Scene::reset() {
  for (auto& n : fImpl->nodes) {
    n->alive = false;
    n->in.clear();
    n->out.clear();
    n->inIndex.clear();
    n->nextFree.clear();
    n->parents.clear();
    n->children.clear();
    n->paths.clear();
    n->geomCache.clear();
    n->shapeCache.reset();
    n->apiCache.reset();
  }
  fImpl->dagChanged();
  fImpl->nodes.clear();
  fImpl->byName.clear();
  ++fImpl->connectionsVersion;
  fImpl->world->children.clear();
  fImpl->world->out.clear();
  fImpl->world->in.clear();
  fImpl->world->inIndex.clear();
  fImpl->error.clear();
  fImpl->angleInDegrees = true;
  fImpl->triangulateMeshes = false;
  fImpl->mayaVersion = 0;
}

void Scene::ensureDefaultNodes() {
  Impl& s = *fImpl;
  if (s.find("lambert1") && s.find("initialShadingGroup") && s.find("persp")) return;
  s.inDefaults = true;
  auto makeCamera = [&](const char* name, double tx, double ty, double tz, double rx, double ry, bool ortho) {
    if (s.find(name)) return;
    MObject t = createNode("transform", name);
    std::string n = name;
    setAttr(n + ".t", {tx, ty, tz});
    setAttr(n + ".r", {rx, ry, 0.0});
    if (ortho) setAttr(n + ".v", {false});
    createNode("camera", n + "Shape", n);
    if (ortho) {
      setAttr(n + "Shape.o", {true});
      setAttr(n + "Shape.ow", {30.0});
      setAttr(n + "Shape.coi", {1000.1});
    }
  };
  // Maya's default perspective camera looks at the origin from above and to the side.
  makeCamera("persp", 28.0, 21.0, 28.0, -27.938352729602379, 44.999999999999972, false);
  makeCamera("top", 0.0, 1000.1, 0.0, -90.0, 0.0, true);
  makeCamera("front", 0.0, 0.0, 1000.1, 0.0, 0.0, true);
  makeCamera("side", 1000.1, 0.0, 0.0, 0.0, 90.0, true);
  if (!s.find("lambert1")) createNode("lambert", "lambert1");
  if (!s.find("initialShadingGroup")) {
    createNode("shadingEngine", "initialShadingGroup");
    connectAttr("lambert1.oc", "initialShadingGroup.ss");
  }
  if (!s.find("initialParticleSE")) {
    createNode("shadingEngine", "initialParticleSE");
    connectAttr("lambert1.oc", "initialParticleSE.ss");
  }
  // Scene-wide nodes that files select and connect to; the host keeps them as
  // generic nodes.
  for (const char* name :
       {"time1", "renderPartition", "renderGlobalsList1", "defaultLightList1", "defaultShaderList1",
        "postProcessList1", "defaultRenderUtilityList1", "defaultRenderingList1", "lightList1",
        "defaultTextureList1", "initialMaterialInfo", "defaultRenderGlobals", "defaultResolution",
        "defaultLightSet", "defaultObjectSet", "hardwareRenderGlobals", "lightLinker1", "layerManager",
        "defaultLayer", "renderLayerManager", "defaultRenderLayer", "strokeGlobals", "ikSystem"}) {
    if (s.find(name)) continue;
    std::string type = name;
    while (!type.empty() && std::isdigit(static_cast<unsigned char>(type.back()))) type.pop_back();
    createNode(type, name);
  }
  s.inDefaults = false;
  // Default nodes iterate first, whatever was created before them.
  std::stable_sort(s.nodes.begin(), s.nodes.end(),
                   [](const std::shared_ptr<Node>& a, const std::shared_ptr<Node>& b) { return a->isDefault && !b->isDefault; });
  auto& top = s.world->children;
  std::stable_sort(top.begin(), top.end(), [](Node* a, Node* b) { return a->isDefault && !b->isDefault; });
}

MObject Scene::createNode(const std::string& type, const std::string& name, const std::string& parent, bool shared) {
  Impl& s = *fImpl;
  if (type.empty()) {
    s.fail("createNode needs a node type");
    return MObject();
  }
  if (shared && !name.empty()) {
    if (Node* existing = s.find(name)) return MObject(existing->shared_from_this());
  }
  Node* p = nullptr;
  if (!parent.empty()) {
    p = s.find(parent);
    if (!p) {
      s.fail("no parent node named '" + parent + "'");
      return MObject();
    }
    if (!p->isDag()) {
      s.fail("'" + parent + "' is not a DAG node and cannot be a parent");
      return MObject();
    }
  }
  const NodeType* t = s.typeFor(type);
  if (t && !t->dag && p) {
    s.fail("a " + type + " node cannot have a parent");
    return MObject();
  }
  return MObject(s.makeNode(type, name, p));
}

MObject Scene::findNode(const std::string& nameOrPath) const {
  Node* n = fImpl->find(nameOrPath);
  return n ? MObject(n->shared_from_this()) : MObject();
}

bool Scene::setAttr(const std::string& plug, std::span<const Arg> values, const std::string& type) {
  Node* node = nullptr;
  std::string attrPath;
  if (!fImpl->splitNodePlug(plug, node, attrPath)) return false;
  return setAttr(MObject(node->shared_from_this()), attrPath, values, type);
}

namespace {

// setAttr of `values` (words or bare numbers) on the plug at `attrPath` of `node`.
template <class Value>
bool setValues(Scene::Impl& s, Node* node, const std::string& attrPath, std::span<const Value> values,
               const std::string& type) {
  if (!node) return s.fail("setAttr on a node that does not exist");
  Scene::Impl::ParsedPlug parsed;
  if (!s.parsePlug(*node, attrPath, parsed, true)) return false;
  if (values.empty()) return true;
  return applySetAttr(s, *node, parsed, values, type);
}

}  // namespace

bool Scene::setAttr(const MObject& nodeObj, const std::string& attrPath, std::span<const Arg> values,
                    const std::string& type) {
  return setValues(*fImpl, nodeOf(nodeObj), attrPath, values, type);
}

bool Scene::setNumbers(const MObject& nodeObj, const std::string& attrPath, std::span<const double> numbers,
                       const std::string& type) {
  return setValues(*fImpl, nodeOf(nodeObj), attrPath, numbers, type);
}

void Scene::reserve(const MObject& nodeObj, const std::string& attrPath, std::size_t count) {
  Node* node = nodeOf(nodeObj);
  Impl::ParsedPlug parsed;
  std::string error = fImpl->error;
  if (node && fImpl->parsePlug(*node, attrPath, parsed, false)) fImpl->reserve(parsed.key, count);
  fImpl->error = std::move(error);  // a hint that does not apply is no failure
}

bool Scene::addAttr(const MObject& nodeObj, const AttrSpec& spec) {
  Impl& s = *fImpl;
  Node* node = nodeOf(nodeObj);
  if (!node) return s.fail("addAttr on a node that does not exist");
  if (spec.longName.empty()) return s.fail("addAttr needs a long name");
  std::string shortName = spec.shortName.empty() ? spec.longName : spec.shortName;
  if (node->findAttribute(spec.longName) || node->findAttribute(shortName))
    return s.fail("'" + node->name + "' already has an attribute '" + spec.longName + "'");
  Attribute* parent = nullptr;
  if (!spec.parent.empty()) {
    auto it = node->dynLookup.find(spec.parent);
    if (it == node->dynLookup.end()) return s.fail("no compound attribute '" + spec.parent + "' on '" + node->name + "'");
    parent = it->second;
  }
  static const std::unordered_map<std::string, NumType> numeric = {
      {"bool", NumType::Bool},     {"long", NumType::Long},         {"short", NumType::Short},
      {"byte", NumType::Byte},     {"char", NumType::Char},         {"enum", NumType::Enum},
      {"float", NumType::Float},   {"double", NumType::Double},     {"doubleLinear", NumType::Distance},
      {"doubleAngle", NumType::Angle}, {"time", NumType::Time}};
  static const std::unordered_map<std::string, DataType> data = {
      {"string", DataType::String},          {"stringArray", DataType::StringArray},
      {"matrix", DataType::Matrix},          {"doubleArray", DataType::DoubleArray},
      {"Int32Array", DataType::IntArray},    {"floatArray", DataType::FloatArray},
      {"pointArray", DataType::PointArray},  {"vectorArray", DataType::VectorArray},
      {"componentList", DataType::ComponentList}, {"mesh", DataType::Mesh}};
  // The kind is settled before the node changes, so an unknown type adds nothing.
  AttrType type = AttrType::Generic;
  NumType num = NumType::Double;
  DataType dataType = DataType::Any;
  const std::string& at = spec.attributeType;
  if (!at.empty()) {
    if (auto it = numeric.find(at); it != numeric.end()) {
      type = AttrType::Numeric;
      num = it->second;
    } else if (at == "message") {
      type = AttrType::Message;
    } else if (at == "compound") {
      type = AttrType::Compound;
    } else if (at == "matrix" || at == "fltMatrix") {
      type = AttrType::Typed;
      dataType = DataType::Matrix;
    } else if (at.size() > 1 && std::isdigit(static_cast<unsigned char>(at.back()))) {
      // double2, float3, long3, ... : a tuple whose children follow with -p.
      auto it = numeric.find(at.substr(0, at.size() - 1));
      if (it == numeric.end()) return s.fail("unknown attribute type '" + at + "'");
      type = AttrType::Compound;
      num = it->second;
    } else {
      return s.fail("unknown attribute type '" + at + "'");
    }
  } else if (!spec.dataType.empty()) {
    auto it = data.find(spec.dataType);
    type = AttrType::Typed;
    dataType = it != data.end() ? it->second : DataType::Generic;
  }
  Attribute* a = s.addDynamic(*node, spec.longName, parent, spec.multi);
  a->shortName = shortName;
  node->dynLookup.emplace(shortName, a);
  a->type = type;
  a->num = num;
  a->data = dataType;
  if (type == AttrType::Numeric) a->defaults[0] = spec.defaultValue;
  return true;
}

bool Scene::connectAttr(const std::string& src, const std::string& dst, bool nextAvailable, bool force) {
  Impl& s = *fImpl;
  Node* sn = nullptr;
  Node* dn = nullptr;
  std::string sp, dp;
  if (!s.splitNodePlug(src, sn, sp) || !s.splitNodePlug(dst, dn, dp)) return false;
  Impl::ParsedPlug a, b;
  if (!s.parsePlug(*sn, sp, a, true) || !s.parsePlug(*dn, dp, b, true)) return false;
  // A source named as a whole multi ("shape.iog", as files write whole-object set
  // membership) is its element 0, the first instance, as in Maya.
  if (a.key.attr->multi && !a.key.idx.empty() && a.key.idx.back() < 0) a.key.idx.back() = 0;
  if (nextAvailable && b.key.attr->multi && b.key.idx.back() < 0) {
    int next = 0;
    if (b.key.attr->chain.size() == 1) {
      auto it = dn->nextFree.find(b.key.attr);
      if (it != dn->nextFree.end()) next = it->second;
    } else {
      for (const auto& c : dn->in)
        if (c->dst.attr == b.key.attr && std::equal(c->dst.idx.begin(), c->dst.idx.end() - 1, b.key.idx.begin()))
          next = std::max(next, c->dst.idx.back() + 1);
    }
    if (Slot* slot = s.findSlot(b.key, false); slot && slot->sub && !slot->sub->indices.empty())
      next = std::max(next, slot->sub->indices.back() + 1);
    b.key.idx.back() = next;
  }
  return s.connect(a.key, b.key, force);
}

bool Scene::disconnectAttr(const std::string& src, const std::string& dst) {
  Impl& s = *fImpl;
  Node* sn = nullptr;
  Node* dn = nullptr;
  std::string sp, dp;
  if (!s.splitNodePlug(src, sn, sp) || !s.splitNodePlug(dst, dn, dp)) return false;
  Impl::ParsedPlug a, b;
  if (!s.parsePlug(*sn, sp, a, false) || !s.parsePlug(*dn, dp, b, false)) return false;
  return s.disconnect(a.key, b.key);
}

bool Scene::parent(const std::string& child, const std::string& parentName, bool add) {
  Impl& s = *fImpl;
  Node* c = s.find(child);
  if (!c) return s.fail("no node named '" + child + "'");
  Node* p = nullptr;
  if (!parentName.empty()) {
    p = s.find(parentName);
    if (!p) return s.fail("no node named '" + parentName + "'");
  }
  return s.reparent(*c, p, add);
}

bool Scene::rename(const MObject& nodeObj, const std::string& newName) {
  Node* node = nodeOf(nodeObj);
  if (!node) return fImpl->fail("rename of a node that does not exist");
  if (newName.empty()) return fImpl->fail("empty node name");
  fImpl->setName(*node, fImpl->byName.count(newName) ? fImpl->uniqueName(newName) : newName);
  return true;
}

bool Scene::setCurrentUnit(const std::string& linear, const std::string& angle) {
  if (!linear.empty() && linear != "centimeter" && linear != "cm")
    return fImpl->fail("linear unit '" + linear + "' is not supported: the host works in centimeters");
  bool degrees = fImpl->angleInDegrees;
  if (angle == "degree" || angle == "deg") degrees = true;
  else if (angle == "radian" || angle == "rad") degrees = false;
  else if (!angle.empty()) return fImpl->fail("unknown angle unit '" + angle + "'");
  fImpl->angleInDegrees = degrees;
  return true;
}

const std::string& Scene::lastError() const { return fImpl->error; }
const std::vector<Message>& Scene::messages() const { return fImpl->messages; }
void Scene::clearMessages() { fImpl->messages.clear(); }
void Scene::addMessage(Message::Kind kind, const std::string& text) { fImpl->messages.push_back({kind, text}); }

void recordMessage(Message::Kind kind, const std::string& text) { Scene::get().addMessage(kind, text); }

}  // namespace kvhost
