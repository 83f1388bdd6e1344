// setAttr: turns the value tokens of a statement into stored values, element
// by element over an index range, for every value type Maya files use.

#include <cmath>
#include <cstdlib>

#include <maya/MQuaternion.h>

#include "Core.h"
#include "MathUtil.h"

namespace kvhost {

namespace {

constexpr double kDegree = M_PI / 180.0;

// The values of one statement: tokens, or numbers alone.
class Reader {
public:
  Reader(std::span<const Arg> args, Scene::Impl& impl, const std::string& where)
      : fArgs(args), fSize(args.size()), fImpl(impl), fWhere(where) {}
  Reader(std::span<const double> numbers, Scene::Impl& impl, const std::string& where)
      : fNumbers(numbers), fSize(numbers.size()), fImpl(impl), fWhere(where) {}

  bool done() const { return fPos >= fSize; }
  size_t remaining() const { return fSize - fPos; }
  size_t position() const { return fPos; }
  bool number(double& out) {
    if (done()) return fail("too few values");
    if (fNumbers.data()) {
      out = fNumbers[fPos++];
      return true;
    }
    const Arg& a = fArgs[fPos++];
    if (a.kind == Arg::Number) {
      out = a.number;
      return true;
    }
    const std::string& t = a.text;
    if (t == "yes" || t == "on" || t == "true") {
      out = 1.0;
      return true;
    }
    if (t == "no" || t == "off" || t == "false") {
      out = 0.0;
      return true;
    }
    char* end = nullptr;
    out = std::strtod(t.c_str(), &end);
    if (!t.empty() && end && *end == '\0') return true;
    return fail("expected a number, found '" + t + "'");
  }
  bool count(int& out) {
    double d = 0;
    if (!number(d)) return false;
    if (d < 0 || d != std::floor(d) || d > 1e9) return fail("bad count");
    out = static_cast<int>(d);
    if (static_cast<size_t>(out) > remaining() + 0) {
      // Counts never exceed the values that follow them (each item takes at least one token).
      return fail("count " + std::to_string(out) + " exceeds the values given");
    }
    return true;
  }
  bool text(std::string& out) {
    if (done()) return fail("too few values");
    const Arg* a = fNumbers.data() ? nullptr : &fArgs[fPos];
    if (!a || a->kind == Arg::Number) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.17g", a ? a->number : fNumbers[fPos]);
      out = buf;
    } else {
      out = a->text;
    }
    ++fPos;
    return true;
  }
  bool peekWord(std::string& out) const {
    if (done() || fNumbers.data() || fArgs[fPos].kind == Arg::Number) return false;
    out = fArgs[fPos].text;
    return true;
  }
  bool fail(const std::string& what) { return fImpl.fail("setAttr " + fWhere + ": " + what); }
  // Values that run out inside an index range are refused, so that a cut or
  // miscounted statement is reported and changes nothing (rather than setting
  // the elements they reach). A range given no values sets nothing.
  bool rangeFilled(int first, int next, int last) {
    if (next > last || next == first) return true;
    return fail("values for " + std::to_string(next - first) + " of the " +
                std::to_string(static_cast<long long>(last) - first + 1) + " elements of the range");
  }

private:
  std::span<const Arg> fArgs;
  std::span<const double> fNumbers;
  size_t fSize = 0;
  size_t fPos = 0;
  Scene::Impl& fImpl;
  std::string fWhere;
};

// Angles arrive in the scene's angle unit and are kept in radians.
double toInternal(NumType t, double v, double angleScale) { return t == NumType::Angle ? v * angleScale : v; }

bool parseComponent(const std::string& item, ComponentRange& r) {
  size_t open = item.find('[');
  size_t close = item.rfind(']');
  if (open == std::string::npos || close == std::string::npos || close < open) return false;
  r.kind = item.substr(0, open);
  std::string inside = item.substr(open + 1, close - open - 1);
  if (inside == "*") {
    r.all = true;
    return true;
  }
  char* end = nullptr;
  long a = std::strtol(inside.c_str(), &end, 10);
  if (end == inside.c_str() || a < 0 || a > kMaxLogicalIndex) return false;
  long b = a;
  if (*end == ':') {
    const char* s = end + 1;
    b = std::strtol(s, &end, 10);
    if (end == s || b < a || b > kMaxLogicalIndex) return false;
  }
  if (*end != '\0') return false;
  r.first = static_cast<int>(a);
  r.last = static_cast<int>(b);
  return true;
}

MMatrix composeXform(const XformRecord& x) {
  MQuaternion ra(x.rotateAxis[0], x.rotateAxis[1], x.rotateAxis[2], x.rotateAxis[3]);
  MQuaternion jo(x.jointOrient[0], x.jointOrient[1], x.jointOrient[2], x.jointOrient[3]);
  double r[3] = {x.rotate.x, x.rotate.y, x.rotate.z};
  MMatrix is;
  if (x.segmentScaleCompensate)
    for (int i = 0; i < 3; ++i) is[i][i] = x.inverseScale[i] != 0.0 ? 1.0 / x.inverseScale[i] : 1.0;
  return translationMatrix(-x.scalePivot) * scaleMatrix(x.scale) * shearMatrix(x.shear) *
         translationMatrix(x.scalePivot) * translationMatrix(x.scalePivotTranslate) *
         translationMatrix(-x.rotatePivot) * ra.asMatrix() * eulerMatrix(r, x.rotateOrder) * jo.asMatrix() *
         translationMatrix(x.rotatePivot) * translationMatrix(x.rotatePivotTranslate) * is *
         translationMatrix(x.translate);
}

bool readVector(Reader& rd, MVector& v) { return rd.number(v.x) && rd.number(v.y) && rd.number(v.z); }

bool readMatrix(Reader& rd, Value& out) {
  auto data = std::make_shared<MatrixData>();
  std::string word;
  if (rd.peekWord(word) && word == "xform") {
    rd.text(word);
    XformRecord& x = data->xform;
    double ro = 0, ssc = 1;
    if (!readVector(rd, x.scale) || !readVector(rd, x.rotate) || !rd.number(ro) || !readVector(rd, x.translate) ||
        !readVector(rd, x.shear) || !readVector(rd, x.scalePivot) || !readVector(rd, x.scalePivotTranslate) ||
        !readVector(rd, x.rotatePivot) || !readVector(rd, x.rotatePivotTranslate))
      return false;
    for (double& q : x.rotateAxis)
      if (!rd.number(q)) return false;
    for (double& q : x.jointOrient)
      if (!rd.number(q)) return false;
    if (!readVector(rd, x.inverseScale) || !rd.number(ssc)) return false;
    x.rotateOrder = toInt(ro);
    x.segmentScaleCompensate = ssc != 0.0;
    data->isXform = true;
    data->matrix = composeXform(x);
  } else {
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c)
        if (!rd.number(data->matrix[r][c])) return false;
  }
  out.kind = Value::DataValue;
  out.data = data;
  return true;
}

// One polyFaces run: "f N e.. [h N e..] [mu set N uv..] [mc set N c..]" per
// face, appended to the node's stored faces; a run that fails to parse is
// taken back whole.
bool readPolyFaces(Reader& rd, int firstFace, int lastFace, Node& node) {
  Node::StoredFaces& stored = node.faces;
  stored.restore();
  const size_t faces = stored.faces.size(), edges = stored.edges.size(), holes = stored.holes.size();
  std::vector<size_t> uvs;
  for (const auto& set : stored.uvs) uvs.push_back(set.ids.size());
  auto undo = [&] {
    stored.faces.resize(faces);
    stored.edges.resize(edges);
    stored.holes.resize(holes);
    stored.uvs.resize(uvs.size());
    for (size_t k = 0; k < uvs.size(); ++k) stored.uvs[k].ids.resize(uvs[k]);
    return false;
  };
  int face = firstFace - 1;
  size_t loopFirst = 0, loopSize = 0;  // the face's latest loop, in corners
  std::string tag;
  while (!rd.done()) {
    if (!rd.text(tag)) return undo();
    int code = tag == "f" ? 1 : tag == "h" ? 2 : tag == "mu" ? 3 : tag == "mc" ? 4 : tag == "mf" ? 5 : tag == "mh" ? 6 : tag == "fc" ? 7 : 0;
    if (code == 0) return rd.fail("unknown polyFaces entry '" + tag + "'"), undo();
    if (code == 1) {
      if (++face > lastFace) return rd.fail("more faces than the index range holds"), undo();
      stored.faces.push_back({face, static_cast<int64_t>(stored.edges.size())});
    } else if (face < firstFace) {
      return rd.fail("polyFaces data before the first 'f'"), undo();
    }
    int set = 0, n = 0;
    if ((code == 3 || code == 4 || code == 7) && !rd.count(set)) return undo();
    if (!rd.count(n)) return undo();
    std::vector<int>* ids = nullptr;
    if (code <= 2) {
      loopFirst = stored.edges.size();
      loopSize = static_cast<size_t>(n);
      if (code == 2 && static_cast<int64_t>(loopFirst) > stored.faces.back().first)
        stored.holes.push_back(static_cast<int64_t>(loopFirst));
    } else if (code == 3) {
      auto it = std::find_if(stored.uvs.begin(), stored.uvs.end(), [&](const auto& uv) { return uv.set == set; });
      if (it == stored.uvs.end()) {
        it = stored.uvs.insert(stored.uvs.end(), {set, {}});
        it->ids.reserve(stored.edges.capacity());  // a UV for every corner the faces have room for
      }
      ids = &it->ids;
      ids->resize(std::max(ids->size(), stored.edges.size()), -1);
    }
    for (int i = 0; i < n; ++i) {
      double d = 0.0;
      if (!rd.number(d)) return undo();
      if (code <= 2) stored.edges.push_back(toInt(d));
      else if (ids && static_cast<size_t>(i) < loopSize) (*ids)[loopFirst + static_cast<size_t>(i)] = toInt(d);
    }
  }
  return true;
}

bool readTyped(Reader& rd, const std::string& type, Value& out) {
  out = Value();
  out.kind = Value::DataValue;
  if (type == "string") {
    std::string s;
    if (!rd.text(s)) return false;
    out.data = std::make_shared<StringData>(s);
  } else if (type == "stringArray" || type == "componentList") {
    int n = 0;
    if (!rd.count(n)) return false;
    std::vector<std::string> items(static_cast<size_t>(n));
    for (auto& s : items)
      if (!rd.text(s)) return false;
    if (type == "stringArray") {
      auto d = std::make_shared<StringArrayData>();
      d->values = std::move(items);
      out.data = d;
    } else {
      auto d = std::make_shared<ComponentListData>();
      for (const auto& s : items) {
        ComponentRange r;
        if (!parseComponent(s, r)) return rd.fail("bad component '" + s + "'");
        d->ranges.push_back(r);
      }
      out.data = d;
    }
  } else if (type == "Int32Array" || type == "doubleArray" || type == "floatArray") {
    int n = 0;
    if (!rd.count(n)) return false;
    auto d = std::make_shared<NumberArrayData>(type == "Int32Array" ? DataType::IntArray : DataType::DoubleArray);
    d->values.resize(static_cast<size_t>(n));
    for (double& v : d->values)
      if (!rd.number(v)) return false;
    out.data = d;
  } else if (type == "pointArray" || type == "vectorArray") {
    int n = 0;
    if (!rd.count(n)) return false;
    bool point = type == "pointArray";
    auto d = std::make_shared<PointArrayData>(point ? DataType::PointArray : DataType::VectorArray);
    d->values.resize(static_cast<size_t>(n));
    for (MPoint& p : d->values) {
      if (!rd.number(p.x) || !rd.number(p.y) || !rd.number(p.z)) return false;
      if (point && !rd.number(p.w)) return false;
    }
    out.data = d;
  } else if (type == "matrix") {
    return readMatrix(rd, out);
  } else {
    // Types the host keeps but does not interpret (attributeAlias, dataPolyComponent, nurbsCurve, ...).
    auto d = std::make_shared<StringArrayData>();
    std::string s;
    while (!rd.done() && rd.text(s)) d->values.push_back(s);
    out.data = d;
  }
  return true;
}

int tupleWidth(const std::string& type) {
  if (type.empty()) return 0;
  char last = type.back();
  if (last >= '2' && last <= '4') {
    std::string base = type.substr(0, type.size() - 1);
    if (base == "double" || base == "float" || base == "long" || base == "short" || base == "int") return last - '0';
  }
  return 0;
}

// ------------------------------------------------------------------ packed elements

// Elements read from one statement, kept aside until all of it has parsed.
struct Staged {
  std::vector<int> indices;      // ascending
  std::vector<double> numbers;
  std::vector<int> entryIndex;   // Lists
  std::vector<size_t> entryStart{0};
};

enum class Packing { Stored, Failed, NotPacked };

// The slot of the multi that the plug's last index (or index range) runs over.
PlugKey arrayKeyOf(const PlugKey& key, size_t multiAt) {
  PlugKey k = key;
  k.attr = key.attr->chain[multiAt];
  k.idx.resize(multiAt + 1);
  k.idx[multiAt] = -1;
  return k;
}

// Whether the multi at `arrayKey` takes elements from `first` on packed: it
// holds none yet, or holds them packed the same way, all before `first`. With
// `lastEntry`, `first` may also be its last element, which then gains entries
// past `*lastEntry` (Lists).
bool packable(Scene::Impl& impl, const PlugKey& arrayKey, const PackedElems& shape, long long first,
              long long* lastEntry) {
  const Slot* s = impl.findSlot(arrayKey, false);
  if (!s || !s->sub) return true;
  const SlotSub& sub = *s->sub;
  const PackedElems* p = sub.packed.get();
  if (!p) return sub.indices.empty();
  if (p->shape != shape.shape || p->kind != shape.kind || p->width != shape.width || p->child != shape.child)
    return false;
  if (sub.indices.empty() || first > sub.indices.back()) return true;
  if (!lastEntry || first != sub.indices.back()) return false;
  *lastEntry = p->entryIndex.back();
  return true;
}

// Appends staged elements (all past the stored ones) to the multi at `arrayKey`.
void commitPacked(Scene::Impl& impl, const PlugKey& arrayKey, const PackedElems& shape, Staged& staged) {
  if (staged.indices.empty()) return;
  Slot* s = impl.findSlot(arrayKey, true);
  if (!s->sub) s->sub = std::make_unique<SlotSub>();
  SlotSub& sub = *s->sub;
  if (!sub.packed) sub.packed = std::make_unique<PackedElems>(shape);
  PackedElems& p = *sub.packed;
  size_t from = 0;
  if (p.shape == PackedElems::Lists && !sub.indices.empty() && sub.indices.back() == staged.indices.front()) {
    // The last element gains entries.
    p.entryIndex.insert(p.entryIndex.end(), staged.entryIndex.begin(), staged.entryIndex.begin() + static_cast<std::ptrdiff_t>(staged.entryStart[1]));
    p.numbers.insert(p.numbers.end(), staged.numbers.begin(), staged.numbers.begin() + static_cast<std::ptrdiff_t>(staged.entryStart[1]));
    p.entryStart.back() = p.entryIndex.size();
    from = 1;
  }
  const size_t base = p.shape == PackedElems::Lists ? p.entryIndex.size() - staged.entryStart[from] : 0;
  sub.indices.append(staged.indices.data() + from, staged.indices.data() + staged.indices.size());
  if (p.shape == PackedElems::Values) {
    // Ints while every number is one; -0 keeps its sign only as a double.
    auto isInt = [](double d) {
      return d >= INT32_MIN && d <= INT32_MAX && static_cast<double>(static_cast<int32_t>(d)) == d && !std::signbit(d);
    };
    if (p.ints && !std::all_of(staged.numbers.begin(), staged.numbers.end(), isInt)) {
      p.numbers.assign(p.intNumbers.begin(), p.intNumbers.end());
      std::vector<int32_t>().swap(p.intNumbers);
      p.ints = false;
    }
    if (p.ints) p.intNumbers.insert(p.intNumbers.end(), staged.numbers.begin(), staged.numbers.end());
    else p.numbers.insert(p.numbers.end(), staged.numbers.begin(), staged.numbers.end());
    return;
  }
  const size_t entries = staged.entryStart[from];
  p.entryIndex.insert(p.entryIndex.end(), staged.entryIndex.begin() + static_cast<std::ptrdiff_t>(entries), staged.entryIndex.end());
  p.numbers.insert(p.numbers.end(), staged.numbers.begin() + static_cast<std::ptrdiff_t>(entries), staged.numbers.end());
  for (size_t e = from + 1; e < staged.entryStart.size(); ++e) p.entryStart.push_back(base + staged.entryStart[e]);
}

// Ends the staged element `element` of a Lists multi: its entries sorted by
// index, a later entry for the same index replacing an earlier one, as writing
// them one by one would.
void endList(Staged& st, int element) {
  const size_t begin = st.entryStart.back(), end = st.entryIndex.size();
  if (begin == end) return;  // an element without entries is not created
  bool ascending = true;
  for (size_t e = begin + 1; e < end && ascending; ++e) ascending = st.entryIndex[e - 1] < st.entryIndex[e];
  if (!ascending) {
    std::vector<std::pair<int, double>> entries;
    for (size_t e = begin; e < end; ++e) entries.emplace_back(st.entryIndex[e], st.numbers[e]);
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    st.entryIndex.resize(begin);
    st.numbers.resize(begin);
    for (size_t e = 0; e < entries.size(); ++e) {
      if (e + 1 < entries.size() && entries[e + 1].first == entries[e].first) continue;
      st.entryIndex.push_back(entries[e].first);
      st.numbers.push_back(entries[e].second);
    }
  }
  st.indices.push_back(element);
  st.entryStart.push_back(st.entryIndex.size());
}

// Numbers for a multi of numbers or tuples (".vt[0:7]"), or for the inner
// multi of a multi of compounds (".wl[0:7].w" with counted index-value pairs,
// ".wl[3].w[0:1]"), written in ascending order: appended to packed elements.
// NotPacked leaves the statement to the slots.
Packing storePacked(Scene::Impl& impl, const Scene::Impl::ParsedPlug& plug, Reader& rd, const std::string& type,
                    double angleScale) {
  const PlugKey& key = plug.key;
  const Attribute* attr = key.attr;
  if (attr->tupleComponent || !attr->multi) return Packing::NotPacked;
  const size_t at = key.idx.size() - 1;
  const double scale = attr->num == NumType::Angle ? angleScale : 1.0;
  auto failed = [&](const char* what) {
    rd.fail(what);
    return Packing::Failed;
  };
  Staged st;
  auto lists = attr->parent ? packedShapeOf(attr->parent) : std::nullopt;
  if (lists && lists->shape == PackedElems::Lists && type.empty() && at >= 1) {
    // wl[v].w: the compound multi's index comes one before the last.
    const PlugKey arrayKey = arrayKeyOf(key, at - 1);
    const bool compact = key.idx[at] < 0;
    if (plug.rangeAt >= 0 && plug.rangeAt != static_cast<int>(compact ? at - 1 : at)) return Packing::NotPacked;
    const int firstElement = compact && plug.rangeAt >= 0 ? plug.rangeFirst : key.idx[at - 1];
    if (compact) {
      if (!packable(impl, arrayKey, *lists, firstElement, nullptr)) return Packing::NotPacked;
      const int last = plug.rangeAt >= 0 ? plug.rangeLast : firstElement;
      for (int e = firstElement; e <= last; ++e) {
        int n = 0;
        if (!rd.count(n)) return Packing::Failed;
        for (int i = 0; i < n; ++i) {
          double index = 0, v = 0;
          if (!rd.number(index) || !rd.number(v)) return Packing::Failed;
          if (!(index >= 0 && index <= kMaxLogicalIndex)) return failed("bad index");
          st.entryIndex.push_back(static_cast<int>(index));
          st.numbers.push_back(v * scale);
        }
        endList(st, e);
      }
    } else {
      const int first = plug.rangeAt >= 0 ? plug.rangeFirst : key.idx[at];
      const int last = plug.rangeAt >= 0 ? plug.rangeLast : first;
      long long lastEntry = -1;
      if (!packable(impl, arrayKey, *lists, firstElement, &lastEntry) || first <= lastEntry) return Packing::NotPacked;
      int j = first;
      for (; j <= last && !rd.done(); ++j) {
        double v = 0;
        if (!rd.number(v)) return Packing::Failed;
        st.entryIndex.push_back(j);
        st.numbers.push_back(v * scale);
      }
      if (!rd.rangeFilled(first, j, last)) return Packing::Failed;
      endList(st, firstElement);
    }
    if (!rd.done()) return failed("more values than the plug takes");
    commitPacked(impl, arrayKey, *lists, st);
    return Packing::Stored;
  }
  auto values = packedShapeOf(attr);
  if (!values || values->shape != PackedElems::Values || key.idx[at] < 0) return Packing::NotPacked;
  if (plug.rangeAt >= 0 && plug.rangeAt != static_cast<int>(at)) return Packing::NotPacked;
  if (!type.empty() && (attr->type != AttrType::Tuple || tupleWidth(type) != attr->tupleSize)) return Packing::NotPacked;
  const PlugKey arrayKey = arrayKeyOf(key, at);
  const int first = plug.rangeAt >= 0 ? plug.rangeFirst : key.idx[at];
  const int last = plug.rangeAt >= 0 ? plug.rangeLast : first;
  if (!packable(impl, arrayKey, *values, first, nullptr)) return Packing::NotPacked;
  const size_t width = static_cast<size_t>(values->width);
  st.numbers.reserve(std::min(rd.remaining(), (static_cast<size_t>(last - first) + 1) * width));
  st.indices.reserve(st.numbers.capacity() / width);
  int e = first;
  for (; e <= last && !rd.done(); ++e) {
    for (size_t c = 0; c < width; ++c) {
      double v = 0;
      if (!rd.number(v)) return Packing::Failed;
      st.numbers.push_back(v * scale);
    }
    st.indices.push_back(e);
  }
  if (!rd.rangeFilled(first, e, last)) return Packing::Failed;
  if (!rd.done()) return failed("more values than the plug takes");
  commitPacked(impl, arrayKey, *values, st);
  return Packing::Stored;
}

}  // namespace

std::vector<int> ComponentListData::indices(const std::string& kind, int count) const {
  std::vector<char> seen(static_cast<size_t>(std::max(count, 0)), 0);
  for (const auto& r : ranges) {
    if (r.kind != kind) continue;
    int a = r.all ? 0 : r.first, b = r.all ? count - 1 : std::min(r.last, count - 1);
    for (int i = a; i <= b; ++i) seen[static_cast<size_t>(i)] = 1;
  }
  std::vector<int> out;
  for (int i = 0; i < count; ++i)
    if (seen[static_cast<size_t>(i)]) out.push_back(i);
  return out;
}

namespace {

bool apply(Scene::Impl& impl, Node& node, const Scene::Impl::ParsedPlug& plug, Reader& rd, const std::string& type) {
  // Every value is parsed before anything is stored, so a statement that
  // fails leaves the scene as it was.
  PlugKey key = plug.key;
  const Attribute* attr = key.attr;
  if (attr->computed) return rd.fail("the attribute is computed and cannot be set");
  const double angleScale = impl.angleInDegrees ? kDegree : 1.0;
  switch (storePacked(impl, plug, rd, type, angleScale)) {
    case Packing::Stored: impl.changed(node, attr); return true;
    case Packing::Failed: return false;
    case Packing::NotPacked: break;
  }
  int first = plug.rangeAt >= 0 ? plug.rangeFirst : 0;
  int last = plug.rangeAt >= 0 ? plug.rangeLast : 0;

  if (type == "polyFaces" || attr->data == DataType::PolyFaces) {
    if (attr->data != DataType::PolyFaces) return rd.fail("the attribute does not take -type polyFaces");
    int a = plug.rangeAt >= 0 ? first : std::max(0, key.idx.empty() ? 0 : key.idx.back());
    int b = plug.rangeAt >= 0 ? last : a;
    if (!readPolyFaces(rd, a, b, node)) return false;
    impl.changed(node, attr);
    return true;
  }

  // Compact sparse multi: ".wl[0:7].w" then, per element, "N index value ...".
  bool arrayPlug = attr->multi && (key.idx.empty() || key.idx.back() < 0);
  bool numericLeaf = attr->type == AttrType::Numeric || (attr->type == AttrType::Generic && type.empty());
  if (arrayPlug && numericLeaf && type.empty()) {
    struct Entry {
      int element, index;
      double value;
    };
    std::vector<Entry> entries;
    for (int e = first; e <= last; ++e) {
      int n = 0;
      if (!rd.count(n)) return false;
      for (int i = 0; i < n; ++i) {
        double index = 0, v = 0;
        if (!rd.number(index) || !rd.number(v)) return false;
        if (!(index >= 0 && index <= kMaxLogicalIndex)) return rd.fail("bad index");
        entries.push_back({e, static_cast<int>(index), toInternal(attr->num, v, angleScale)});
      }
    }
    if (!rd.done()) return rd.fail("more values than the plug takes");
    size_t leafPos = key.idx.size() - 1;
    for (const Entry& en : entries) {
      if (plug.rangeAt >= 0) key.idx[static_cast<size_t>(plug.rangeAt)] = en.element;
      key.idx[leafPos] = en.index;
      Slot* s = impl.findSlot(key, true);
      s->value.kind = Value::Number;
      s->value.n[0] = en.value;
    }
    impl.changed(node, attr);
    return true;
  }

  int width = tupleWidth(type);
  if (attr->type == AttrType::Compound) {
    if (!type.empty() && width == 0) return rd.fail("a compound attribute takes numbers, not -type " + type);
    for (const Attribute* c : attr->children)
      if (c->type != AttrType::Numeric) return rd.fail("'" + c->longName + "' is not numeric");
  } else if (!type.empty() && width == 0) {
    if (attr->type != AttrType::Typed && attr->type != AttrType::Generic)
      return rd.fail("the attribute does not take -type " + type);
  } else if (attr->type == AttrType::Message) {
    return rd.fail("a message attribute holds no value");
  } else if (attr->type == AttrType::Typed && attr->data != DataType::Matrix && attr->data != DataType::String) {
    return rd.fail("the attribute needs -type");
  } else if (width > 0 && attr->type == AttrType::Tuple && width != attr->tupleSize) {
    return rd.fail("-type " + type + " does not match the attribute's " + std::to_string(attr->tupleSize) +
                   " components");
  }

  std::vector<Value> staged;
  int e = first;
  for (; e <= last && !rd.done(); ++e) {
    Value v;
    if (attr->type == AttrType::Compound) {
      v.kind = Value::Tuple;
      for (size_t i = 0; i < attr->children.size() && i < 4; ++i) {
        if (!rd.number(v.n[i])) return false;
        v.n[i] = toInternal(attr->children[i]->num, v.n[i], angleScale);
      }
    } else if (!type.empty() && width == 0) {
      if (!readTyped(rd, type, v)) return false;
    } else if (attr->type == AttrType::Typed) {
      if (attr->data == DataType::Matrix) {
        if (!readMatrix(rd, v)) return false;
      } else if (!readTyped(rd, "string", v)) {
        return false;
      }
    } else {
      int n = attr->type == AttrType::Tuple ? attr->tupleSize : 1;
      if (attr->type == AttrType::Generic) {
        // Untyped values of an unknown attribute: split evenly over the range.
        size_t perElement = width > 0 ? static_cast<size_t>(width) : rd.remaining() / static_cast<size_t>(last - e + 1);
        if (perElement == 0) perElement = 1;
        n = static_cast<int>(std::min<size_t>(perElement, 4));
        if (perElement > 4) {
          auto d = std::make_shared<NumberArrayData>(DataType::DoubleArray);
          double x;
          for (size_t i = 0; i < perElement && rd.number(x); ++i) d->values.push_back(x);
          v.kind = Value::DataValue;
          v.data = d;
          n = 0;
        }
      }
      if (n > 0) {
        v.kind = n == 1 && attr->type != AttrType::Tuple ? Value::Number : Value::Tuple;
        for (int i = 0; i < n; ++i) {
          double d;
          if (!rd.number(d)) return false;
          v.n[i] = toInternal(attr->num, d, angleScale);
        }
      }
    }
    staged.push_back(std::move(v));
  }
  if (!rd.rangeFilled(first, e, last)) return false;
  if (!rd.done()) return rd.fail("more values than the plug takes");

  for (size_t i = 0; i < staged.size(); ++i) {
    if (plug.rangeAt >= 0) key.idx[static_cast<size_t>(plug.rangeAt)] = first + static_cast<int>(i);
    Value& v = staged[i];
    if (attr->type == AttrType::Compound) {
      for (size_t c = 0; c < attr->children.size() && c < 4; ++c) {
        PlugKey k = key;
        k.attr = attr->children[c];
        k.idx.push_back(-1);
        Slot* s = impl.findSlot(k, true);
        s->value = Value();
        s->value.kind = Value::Number;
        s->value.n[0] = v.n[c];
      }
      continue;
    }
    Slot* s = impl.findSlot(key, true);
    if (attr->tupleComponent) {
      if (s->value.kind != Value::Tuple) {
        s->value.kind = Value::Tuple;
        for (int c = 0; c < 4; ++c) s->value.n[c] = attr->parent->defaults[c];
      }
      s->value.n[attr->component] = v.n[0];
    } else {
      s->value = std::move(v);
    }
  }
  impl.changed(node, attr);
  return true;
}

}  // namespace

bool applySetAttr(Scene::Impl& impl, Node& node, const Scene::Impl::ParsedPlug& plug, std::span<const Arg> values,
                  const std::string& type) {
  Reader rd(values, impl, plugName(plug.key, false));
  return apply(impl, node, plug, rd, type);
}

bool applySetAttr(Scene::Impl& impl, Node& node, const Scene::Impl::ParsedPlug& plug, std::span<const double> numbers,
                  const std::string& type) {
  Reader rd(numbers, impl, plugName(plug.key, false));
  return apply(impl, node, plug, rd, type);
}

bool writeValue(const PlugKey& key, const Value& value) {
  Scene::Impl& impl = *key.node->scene;
  if (key.attr->computed) return impl.fail("'" + plugName(key, false) + "' is computed and cannot be set");
  Slot* s = impl.findSlot(key, true);
  if (!s) return impl.fail("'" + plugName(key, false) + "' cannot hold a value");
  if (key.attr->tupleComponent) {
    if (s->value.kind != Value::Tuple) {
      s->value.kind = Value::Tuple;
      for (int i = 0; i < 4; ++i) s->value.n[i] = key.attr->parent->defaults[i];
    }
    s->value.n[key.attr->component] = numberOf(value, key.attr);
  } else {
    s->value = value;
  }
  impl.changed(*key.node, key.attr);
  return true;
}

}  // namespace kvhost
