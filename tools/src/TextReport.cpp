// The readable form of kvr dump, rendered from the JSON document so that both forms
// always show the same data.
#include <charconv>
#include <map>
#include <ostream>
#include <string>

#include "Dump.h"

using Json = nlohmann::ordered_json;

namespace {

std::string Num(const Json& value) {
  if (!value.is_number()) return value.dump();
  if (value.is_number_integer() || value.is_number_unsigned()) return value.dump();
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value.get<double>());
  return std::string(text, result.ptr);
}

std::string Tuple(const Json& values) {
  std::string text = "(";
  for (size_t i = 0; i < values.size(); ++i) text += (i > 0 ? ", " : "") + Num(values[i]);
  return text + ")";
}

std::string Quoted(const Json& object) {
  return object.contains("name") ? " \"" + object["name"].get<std::string>() + "\"" : "";
}

std::string Quote(const Json& text) { return "\"" + text.get<std::string>() + "\""; }

// The items of an array, each rendered by `item`, separated by commas.
template <typename F>
std::string Joined(const Json& values, F item) {
  std::string text;
  for (const Json& value : values) text += (text.empty() ? "" : ", ") + item(value);
  return text.empty() ? "(none)" : text;
}

std::string Count(const Json& values, const char* what) { return std::to_string(values.size()) + " " + what; }

// How many elements a per-element array holds: kvr dump renders from a document in
// which those arrays stand as {"count": N}.
size_t Length(const Json& values) { return values.is_object() ? values.at("count").get<size_t>() : values.size(); }

class TextWriter {
 public:
  TextWriter(const Json& root, std::ostream& out) : out_(out) { Collect(root); }

  void Object(const Json& object, int depth) {
    if (object.is_null()) {
      Line(depth, "(none)");
      return;
    }
    if (object.contains("ref")) {
      Line(depth, Label(object) + " (shown above)");
      return;
    }
    const std::string cls = object["class"];
    if (cls == "KvScene") return Scene(object, depth);
    if (cls == "KvTexture") return Texture(object, depth);
    if (cls == "KvMaterial") return Material(object, depth);
    if (cls == "KvSkeleton") return Skeleton(object, depth);
    if (cls == "KvMesh") return Mesh(object, depth);
    if (cls == "KvLight") return Light(object, depth);
    if (cls == "KvCamera") return Camera(object, depth);
    if (cls == "KvFaceGraph") return FaceGraph(object, depth);
    if (object.contains("inputLinks")) return Node(object, depth);
    if (cls == "KvFaceGraphNodeLink") return Line(depth, LinkText(object));
    if (cls == "KvFaceGraphNodeUserProperty") return Line(depth, PropertyText(object));
    if (cls == "KvBone") return Line(depth, BoneText(object));
    if (cls == "KvAnimCurve") return Curve(object, depth);
    if (cls == "KvAnim") return Anim(object, depth);
    if (cls == "KvAnimGroup") return Group(object, depth);
    if (cls == "KvAnimSet") return Set(object, depth);
    if (cls == "KvPhonemeMap") return PhonemeMap(object, depth);
    if (cls == "KvActor") return Actor(object, depth);
    Line(depth, Label(object));
  }

 private:
  // Every object in full, by index, so that references can show names.
  void Collect(const Json& value) {
    if (value.is_object()) {
      if (value.contains("index") && value.contains("class")) objects_[value["index"].get<int64_t>()] = &value;
      for (const auto& item : value.items()) Collect(item.value());
    } else if (value.is_array()) {
      for (const auto& item : value) Collect(item);
    }
  }

  const Json& Resolve(const Json& object) const {
    if (object.is_object() && object.contains("ref")) {
      const auto found = objects_.find(object["ref"].get<int64_t>());
      if (found != objects_.end()) return *found->second;
    }
    return object;
  }

  std::string Label(const Json& reference) const {
    const Json& object = Resolve(reference);
    if (object.is_null()) return "(none)";
    const std::string what = object.value("class", "?") + Quoted(object);
    // Records stored inside their owner have no index.
    if (!reference.contains("ref") && !object.contains("index")) return what;
    const int64_t index = reference.contains("ref") ? reference["ref"].get<int64_t>() : object["index"].get<int64_t>();
    return "#" + std::to_string(index) + " " + what;
  }

  void Line(int depth, const std::string& text) { out_ << std::string(2 * depth, ' ') << text << "\n"; }

  // A reference inside another object: the object in full at its first occurrence,
  // otherwise one line naming it.
  void Nested(const std::string& what, const Json& reference, int depth) {
    if (reference.is_null() || reference.contains("ref")) {
      Line(depth, what + ": " + Label(reference));
      return;
    }
    Line(depth, what + ":");
    Object(reference, depth + 1);
  }

  void Scene(const Json& scene, int depth) {
    Line(depth, Label(scene));
    for (const char* list : {"textures", "materials", "skeletons", "meshes", "lights", "cameras"}) {
      Line(depth + 1, std::string(list) + " (" + std::to_string(scene[list].size()) + "):");
      for (const Json& object : scene[list]) Object(object, depth + 2);
    }
  }

  void Texture(const Json& t, int depth) {
    Line(depth, Label(t) + ": " + Num(t["width"]) + " x " + Num(t["height"]) + ", " + Num(t["bytesPerPixel"]) +
                    " bytes per pixel, " + Num(t["dataSize"]) + " bytes of pixels (sha256 " +
                    t["pixels"]["sha256"].get<std::string>() + ")");
  }

  void Material(const Json& m, int depth) {
    Line(depth, Label(m) + ": power " + Num(m["specularPower"]) + ", factor " + Num(m["factor"]));
    Line(depth + 1, "diffuse " + Tuple(m["diffuse"]) + ", ambient " + Tuple(m["ambient"]));
    Line(depth + 1, "specular " + Tuple(m["specular"]) + ", emissive " + Tuple(m["emissive"]));
    Nested("texture", m["diffuseTexture"], depth + 1);
  }

  void Skeleton(const Json& s, int depth) {
    Line(depth, Label(s) + ": " + std::to_string(s["joints"].size()) + " joints");
    // Joints are stored parents first: a joint sits one level below its parent.
    std::map<int64_t, int> level;
    for (const Json& reference : s["joints"]) {
      const Json& joint = Resolve(reference);
      if (joint.is_null()) {
        Line(depth + 1, "(none)");
        continue;
      }
      int indent = 0;
      const Json& parent = joint["parent"];
      if (!parent.is_null()) {
        const int64_t parentIndex =
            parent.contains("ref") ? parent["ref"].get<int64_t>() : parent["index"].get<int64_t>();
        const auto found = level.find(parentIndex);
        if (found != level.end()) indent = found->second + 1;
      }
      const int64_t index = reference.contains("ref") ? reference["ref"].get<int64_t>() : joint["index"].get<int64_t>();
      level[index] = indent;
      std::string text = joint.value("name", "") + " (#" + std::to_string(index) + ")";
      if (reference.contains("ref")) text += " (shown above)";
      if (!parent.is_null() && indent == 0) text += " [parent " + Label(parent) + " is outside this skeleton]";
      Line(depth + 1 + indent, text);
    }
  }

  void Mesh(const Json& m, int depth) {
    size_t triangles = 0;
    for (const Json& surface : m["surfaces"]) {
      const Json& s = Resolve(surface);
      if (s.is_object() && s.contains("triangles")) triangles += Length(s["triangles"]);
    }
    const Json& controller = Resolve(m["morphController"]);
    const size_t targets = controller.is_object() && controller.contains("morphTargets")
                               ? controller["morphTargets"].size()
                               : 0;
    Line(depth, Label(m) + ": " + std::to_string(Length(m["vertices"])) + " vertices, " +
                    std::to_string(Length(m["texCoords"])) + " texture coordinates, " + std::to_string(triangles) +
                    " triangles, " + std::to_string(m["surfaces"].size()) + " surfaces, " +
                    std::to_string(Length(m["influences"])) + " influences, " + std::to_string(targets) +
                    " morph targets");
    const Json& skeleton = Resolve(m["skeleton"]);
    std::string root;
    if (skeleton.is_object() && skeleton.contains("joints") && !skeleton["joints"].empty()) {
      const Json& first = Resolve(skeleton["joints"][0]);
      if (first.is_object()) root = " (root joint \"" + first.value("name", "") + "\")";
    }
    if (m["skeleton"].is_object() && !m["skeleton"].contains("ref")) {
      Nested("skeleton", m["skeleton"], depth + 1);
    } else {
      Line(depth + 1, "skeleton: " + Label(m["skeleton"]) + root);
    }
    std::string names;
    for (const Json& surface : m["surfaces"]) {
      const Json& s = Resolve(surface);
      if (!s.is_object() || !s.contains("material")) continue;
      const Json& material = Resolve(s["material"]);
      names += names.empty() ? "" : ", ";
      names += material.is_null() ? "(none)" : material.value("name", "?");
    }
    Line(depth + 1, "materials: " + (names.empty() ? std::string("(none)") : names));
    // Materials seen here for the first time are shown in full.
    for (const Json& surface : m["surfaces"]) {
      if (surface.is_object() && !surface.contains("ref") && surface["material"].is_object() &&
          !surface["material"].contains("ref")) {
        Object(surface["material"], depth + 2);
      }
    }
    if (controller.is_object()) {
      for (const Json& target : controller["morphTargets"]) {
        Line(depth + 1, "morph target \"" + target["name"].get<std::string>() + "\": " +
                            std::to_string(Length(target["morphVertices"])) + " morph vertices");
      }
    }
  }

  void Light(const Json& l, int depth) {
    static const std::map<uint32_t, std::string> kTypes = {{1, "point"}, {2, "spot"}, {3, "directional"}};
    const uint32_t type = l["type"];
    const auto found = kTypes.find(type);
    Line(depth, Label(l) + ": " + (found != kTypes.end() ? found->second : "type " + std::to_string(type)) +
                    (l["enabled"].get<bool>() ? "" : ", disabled"));
    Line(depth + 1, "position " + Tuple(l["position"]) + ", direction " + Tuple(l["direction"]));
    Line(depth + 1, "colour " + Tuple(l["color"]) + ", intensity " + Tuple(l["intensity"]) + ", second colour " +
                        Tuple(l["secondColor"]));
    Line(depth + 1, "cone angle " + Num(l["coneAngle"]) + ", drop-off " + Num(l["dropOff"]));
  }

  void Camera(const Json& c, int depth) {
    const double radians = c["fieldOfView"].get<double>();
    char degrees[32];
    const auto end = std::to_chars(degrees, degrees + sizeof degrees, static_cast<float>(radians * 57.295776));
    Line(depth, Label(c) + ": position " + Tuple(c["position"]) + ", rotation " + Tuple(c["rotation"]) +
                    ", field of view " + Num(c["fieldOfView"]) + " rad (" + std::string(degrees, end.ptr) + " deg)");
  }

  // ---- Face graphs ----

  void FaceGraph(const Json& g, int depth) {
    Line(depth, Label(g) + ": " + Count(g["nodes"], "nodes") + ", " + Count(g["typeGroups"], "type groups"));
    Line(depth + 1, "nodes (" + std::to_string(g["nodes"].size()) + "):");
    for (const Json& node : g["nodes"]) Object(node, depth + 2);
    Line(depth + 1, "type groups (" + std::to_string(g["typeGroups"].size()) + "):");
    for (const Json& group : g["typeGroups"]) {
      Line(depth + 2, group["nodeClass"].get<std::string>() + ": " + Joined(group["nodes"], [this](const Json& node) {
                        const Json& n = Resolve(node);
                        return n.is_object() && n.contains("name") ? Quote(n["name"]) : Label(node);
                      }));
    }
  }

  void Node(const Json& n, int depth) {
    std::string text = Label(n) + ": range [" + Num(n["minValue"]) + ", " + Num(n["maxValue"]) +
                       "], input operation " + Num(n["inputOperation"]) + ", " + Count(n["inputLinks"], "input links") +
                       ", " + Count(n["userProperties"], "user properties");
    if (n.contains("bones")) text += ", " + Count(n["bones"], "bones");
    Line(depth, text);
    for (const Json& link : n["inputLinks"]) Line(depth + 1, LinkText(link));
    for (const Json& property : n["userProperties"]) Line(depth + 1, PropertyText(property));
    if (n.contains("bones")) {
      for (const Json& bone : n["bones"]) Line(depth + 1, BoneText(bone));
    }
  }

  static std::string LinkText(const Json& link) {
    const std::string input = link["inputName"].get<std::string>();
    std::string text = "input " + (input.empty() ? std::string("(none)") : Quote(link["inputName"])) + " through " +
                       Quote(link["linkFunction"]) + " (type " + Num(link["linkFunctionType"]) + ")";
    const Json& values = link["parameters"];
    if (values.empty()) return text;
    if (!link.contains("parameterNames")) return text + ": parameters " + Tuple(values);
    const Json& names = link["parameterNames"];
    text += ":";
    for (size_t i = 0; i < values.size() && i < names.size(); ++i) {
      text += (i > 0 ? ", " : " ") + names[i].get<std::string>() + " " + Num(values[i]);
    }
    return text;
  }

  static std::string PropertyText(const Json& p) {
    return "property" + Quoted(p) + ": kind " + Num(p["kind"]) + ", values " + Tuple(p["values"]) + ", strings " +
           Joined(p["strings"], Quote);
  }

  static std::string BoneText(const Json& b) {
    return "bone" + Quoted(b) + ": position " + Tuple(b["position"]) + ", rotation " + Tuple(b["rotation"]) +
           ", scale " + Tuple(b["scale"]);
  }

  // ---- Animation ----

  void Curve(const Json& c, int depth) {
    Line(depth, "curve" + Quoted(c) + ": interpolation " + Num(c["interpolation"]) + ", " + Num(c["keyCount"]) +
                    " keys");
    for (const Json& key : c["keys"]) {
      Line(depth + 1, "key at " + Num(key["time"]) + ": value " + Num(key["value"]) + ", slopes in " +
                          Num(key["slopeIn"]) + " out " + Num(key["slopeOut"]));
    }
  }

  void Anim(const Json& a, int depth) {
    Line(depth, Label(a) + ": time " + Num(a["startTime"]) + " to " + Num(a["endTime"]) + ", " +
                    Count(a["curves"], "curves") + ", " + Num(a["keyCount"]) + " keys, timing parameters " +
                    Tuple(a["timingParameters"]) + ", signed field " + Num(a["signedField"]));
    for (const Json& curve : a["curves"]) Curve(curve, depth + 1);
    Line(depth + 1, "bone weights: " + Joined(a["boneWeights"], [](const Json& w) {
                      return Quote(w["bone"]) + " " + Num(w["weight"]);
                    }));
    Line(depth + 1, "text fields: " + Quote(a["textFields"][0]) + ", " + Quote(a["textFields"][1]));
  }

  void Group(const Json& g, int depth) {
    Line(depth, Label(g) + ": " + Count(g["anims"], "animations"));
    for (const Json& anim : g["anims"]) Anim(anim, depth + 1);
  }

  void Set(const Json& s, int depth) {
    Line(depth, Label(s) + ": second name " + Quote(s["secondName"]));
    Group(s["group"], depth + 1);
  }

  // ---- Phoneme maps and actors ----

  void PhonemeMap(const Json& m, int depth) {
    Line(depth, Label(m) + ": " + Count(m["entries"], "entries") + ", " + Count(m["targetNames"], "target names"));
    for (const Json& entry : m["entries"]) {
      Line(depth + 1, "phoneme " + Num(entry["phoneme"]) + ": " + Quote(entry["target"]) + " amount " +
                          Num(entry["amount"]));
    }
    Line(depth + 1, "target names: " + Joined(m["targetNames"], Quote));
  }

  void Actor(const Json& a, int depth) {
    const Json& bones = a["masterBoneList"];
    const Json& compiled = a["compiledFaceGraph"];
    Line(depth, Label(a) + ": " + Count(bones, "master bones") + ", compiled face graph of " +
                    Num(compiled["nodeCount"]) + " nodes, " + Count(a["animGroups"], "groups besides the default"));
    Line(depth + 1, "master bone list (" + std::to_string(bones.size()) + "):");
    for (const Json& bone : bones) Line(depth + 2, BoneText(bone));
    const Json& nodes = compiled["nodes"];
    Line(depth + 1, "compiled face graph (" + Num(compiled["nodeCount"]) + " nodes):");
    for (const Json& node : nodes) {
      std::string text = Quote(node["name"]) + " " + node["nodeClass"].get<std::string>() + ": range [" +
                         Num(node["minValue"]) + ", " + Num(node["maxValue"]) + "], input operation " +
                         Num(node["inputOperation"]);
      text += ", inputs " + Joined(node["links"], [&nodes](const Json& link) {
        const int64_t input = link["inputIndex"].get<int64_t>();
        const std::string from = input >= 0 && static_cast<size_t>(input) < nodes.size()
                                     ? Quote(nodes[static_cast<size_t>(input)]["name"])
                                     : "(none)";
        const Json& parameters = link["parameters"];
        return from + " type " + Num(link["linkFunctionType"]) + (parameters.empty() ? "" : " " + Tuple(parameters));
      });
      if (!node["boneIndices"].empty()) {
        text += ", bones " + Joined(node["boneIndices"], [&bones](const Json& index) {
          const uint64_t i = index.get<uint64_t>();
          if (i < bones.size() && bones[i].contains("name")) return Quote(bones[i]["name"]);
          std::string text = "bone ";
          return text.append(Num(index));
        });
      }
      Line(depth + 2, text);
    }
    Line(depth + 1, "default group:");
    Group(a["defaultGroup"], depth + 2);
    Line(depth + 1, "groups (" + std::to_string(a["animGroups"].size()) + "):");
    for (const Json& group : a["animGroups"]) Group(group, depth + 2);
    Line(depth + 1, "phoneme map:");
    PhonemeMap(a["phonemeMap"], depth + 2);
  }

  std::ostream& out_;
  std::map<int64_t, const Json*> objects_;
};

}  // namespace

void WriteTextReport(const Json& document, std::ostream& out) {
  const Json& header = document["header"];
  out << "Header:\n";
  out << "  byte order: " << header["byteOrder"].get<std::string>() << "-endian\n";
  out << "  archive version: " << header["archiveVersion"] << "\n";
  out << "  licensee: \"" << header["licenseeName"].get<std::string>() << "\", project \""
      << header["licenseeProjectName"].get<std::string>() << "\", version " << header["licenseeVersion"] << "\n";
  out << "Class versions (" << document["classVersions"].size() << "):\n";
  for (const auto& item : document["classVersions"].items()) out << "  " << item.key() << " " << item.value() << "\n";
  out << "Name table: " << document["names"].size() << " names\n";
  out << "Objects: " << document["objectCount"] << "\n";
  out << "Root:\n";
  TextWriter writer(document["root"], out);
  writer.Object(document["root"], 1);
}
