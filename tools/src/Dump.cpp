#include "Dump.h"

#include <openssl/evp.h>

#include <charconv>
#include <cmath>
#include <initializer_list>
#include <ostream>
#include <type_traits>
#include <unordered_set>

#include "ArchiveFile.h"
#include "JsonOutput.h"
#include "kv/Actor.h"
#include "kv/Anim.h"
#include "kv/Archive.h"
#include "kv/Camera.h"
#include "kv/Light.h"
#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Morph.h"
#include "kv/FaceGraph.h"
#include "kv/LinkFunctions.h"
#include "kv/PhonemeMap.h"
#include "kv/Scene.h"
#include "kv/Skeleton.h"
#include "kv/Texture.h"

using Json = nlohmann::ordered_json;

namespace {

// ---- Values --------------------------------------------------------------------------

// The float's shortest decimal form, as a double: 0.1f reads 0.1, not 0.10000000149.
double Number(float value) {
  if (!std::isfinite(value)) return value;
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  double number = 0.0;
  std::from_chars(text, end, number);
  return number;
}

std::string Text(const KvString& text) { return std::string(text.View(), text.Length()); }
std::string Text(const KvName& name) { return name.GetAsCString(); }

std::string Sha256(const uint8_t* bytes, size_t size) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes, size, digest, &length, EVP_sha256(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 15]);
  }
  return hex;
}

// ---- Objects --------------------------------------------------------------------------

// Writes a loaded object graph as JSON to `Out` (a JsonStream or a JsonBuilder):
// every object in full at its first occurrence (with its archive index), {"ref":
// index} afterwards, null as null. A summary leaves out the elements of the long
// per-element arrays (vertices, texture coordinates, influences, triangles, morph
// vertices) and writes {"count": N} instead; the joints met among the influences
// stay, so that what comes in full and what by reference is the same either way.
template <typename Out>
class GraphWriter {
 public:
  GraphWriter(const LoadedArchive& archive, Out& out, bool summary)
      : archive_(archive), out_(out), summary_(summary) {}

  void Reference(KvObject* object) {
    if (object == nullptr) return out_.Null();
    const int64_t index = archive_.IndexOf(object);
    out_.BeginObject();
    if (!written_.insert(object).second) {
      Field("ref", index);
    } else {
      Field("index", index);
      Field("class", object->ClassOf()->GetName().GetAsCString());
      if (auto* named = KvCast<KvNamedObject>(object)) Field("name", named->GetName().GetAsCString());
      Fields(object);
    }
    out_.EndObject();
  }

 private:
  // ---- Values ----

  template <typename T>
  void Field(const char* key, const T& value) {
    out_.Key(key);
    Put(value);
  }

  // One value, by its type: integers keep theirs (signed or not), floats come in
  // their shortest form, vectors, quaternions, colours and texture coordinates as
  // arrays, objects as references, texts as strings.
  template <typename T>
  void Put(const T& value) {
    if constexpr (std::is_same_v<T, bool>) {
      out_.Bool(value);
    } else if constexpr (std::is_same_v<T, float>) {
      out_.Double(Number(value));
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
      out_.Integer(value);
    } else if constexpr (std::is_integral_v<T>) {
      out_.Unsigned(value);
    } else if constexpr (std::is_same_v<T, KvVec3>) {
      Floats({value.x, value.y, value.z});
    } else if constexpr (std::is_same_v<T, KvQuat>) {
      Floats({value.w, value.x, value.y, value.z});
    } else if constexpr (std::is_same_v<T, KvColor>) {
      Floats({value.red, value.green, value.blue, value.alpha});
    } else if constexpr (std::is_same_v<T, KvTexCoord>) {
      Floats({value.u, value.v});
    } else if constexpr (std::is_pointer_v<T> && std::is_base_of_v<KvObject, std::remove_pointer_t<T>>) {
      Reference(value);
    } else {
      out_.String(value);
    }
  }

  void Floats(const float* values, uint32_t count) {
    out_.BeginArray();
    for (uint32_t i = 0; i < count; ++i) Put(values[i]);
    out_.EndArray();
  }
  void Floats(std::initializer_list<float> values) {
    Floats(values.begin(), static_cast<uint32_t>(values.size()));
  }

  void Matrix(const char* key, const KvMatrix& m) {
    out_.Key(key);
    out_.BeginObject();
    Field("flags", m.Flags());
    out_.Key("values");
    out_.BeginArray();
    for (uint32_t i = 0; i < 16; ++i) Put(m[i]);
    out_.EndArray();
    out_.EndObject();
  }

  // The member `key`: an array of what `each` writes for every element of `items`.
  template <typename Items, typename F>
  void Array(const char* key, Items&& items, F&& each) {
    out_.Key(key);
    out_.BeginArray();
    for (auto& item : items) each(item);
    out_.EndArray();
  }

  // The member `key`: an array of `count` elements, each written by `element(i)`; in
  // a summary, {"count": count}.
  template <typename F>
  void Elements(const char* key, uint32_t count, F&& element) {
    out_.Key(key);
    if (summary_) {
      out_.BeginObject();
      Field("count", count);
      out_.EndObject();
      return;
    }
    out_.BeginArray();
    for (uint32_t i = 0; i < count; ++i) element(i);
    out_.EndArray();
  }

  // ---- Objects ----

  void Fields(KvObject* object) {
    if (auto* scene = KvCast<KvScene>(object)) return SceneFields(*scene);
    if (auto* texture = KvCast<KvTexture>(object)) return TextureFields(*texture);
    if (auto* material = KvCast<KvMaterial>(object)) return MaterialFields(*material);
    if (auto* skeleton = KvCast<KvSkeleton>(object)) return SkeletonFields(*skeleton);
    if (auto* joint = KvCast<KvJoint>(object)) return JointFields(*joint);
    if (auto* mesh = KvCast<KvMesh>(object)) return MeshFields(*mesh);
    if (auto* surface = KvCast<KvSurface>(object)) return SurfaceFields(*surface);
    if (auto* controller = KvCast<KvMorphController>(object)) return ControllerFields(*controller);
    if (auto* light = KvCast<KvLight>(object)) return LightFields(*light);
    if (auto* camera = KvCast<KvCamera>(object)) return CameraFields(*camera);
    if (auto* graph = KvCast<KvFaceGraph>(object)) return FaceGraphFields(*graph);
    if (auto* node = KvCast<KvFaceGraphNode>(object)) return NodeFields(*node);
    if (auto* link = KvCast<KvFaceGraphNodeLink>(object)) return LinkFields(*link);
    if (auto* property = KvCast<KvFaceGraphNodeUserProperty>(object)) return PropertyFields(*property);
    if (auto* bone = KvCast<KvBone>(object)) return BoneFields(*bone);
    if (auto* curve = KvCast<KvAnimCurve>(object)) return CurveFields(*curve);
    if (auto* anim = KvCast<KvAnim>(object)) return AnimFields(*anim);
    if (auto* group = KvCast<KvAnimGroup>(object)) return GroupFields(*group);
    if (auto* set = KvCast<KvAnimSet>(object)) return SetFields(*set);
    if (auto* map = KvCast<KvPhonemeMap>(object)) return PhonemeMapFields(*map);
    if (auto* actor = KvCast<KvActor>(object)) return ActorFields(*actor);
  }

  // A record stored inside its owner rather than through the object table: it has
  // no index.
  template <typename T>
  void Record(const T& record, void (GraphWriter::*fields)(const T&)) {
    out_.BeginObject();
    Field("class", record.ClassOf()->GetName().GetAsCString());
    if constexpr (std::is_base_of_v<KvNamedObject, T>) Field("name", Text(record.GetName()));
    (this->*fields)(record);
    out_.EndObject();
  }

  template <typename T>
  void Records(const char* key, const KvArray<T>& records, void (GraphWriter::*fields)(const T&)) {
    Array(key, records, [&](const T& record) { Record(record, fields); });
  }

  // Texts, names and object references, one after the other.
  template <typename Items>
  void Values(const char* key, Items&& items) {
    Array(key, items, [this](const auto& item) {
      if constexpr (std::is_pointer_v<std::decay_t<decltype(item)>>) {
        Reference(item);
      } else {
        out_.String(Text(item));
      }
    });
  }

  void SceneFields(KvScene& scene) {
    Values("textures", scene.Textures());
    Values("materials", scene.Materials());
    Values("skeletons", scene.Skeletons());
    Values("meshes", scene.Meshes());
    Values("lights", scene.Lights());
    Values("cameras", scene.Cameras());
  }

  void TextureFields(KvTexture& texture) {
    static const char* const kKeys[KvTexture::kDescriptionCount] = {
        "width", "height", "depth", "bytesPerPixel", "format", "type", "origin", "dataSize"};
    // What the file says, not DevIL's view of the recreated image.
    uint32_t values[KvTexture::kDescriptionCount];
    texture.GetArchivedDescription(values);
    for (uint32_t i = 0; i < KvTexture::kDescriptionCount; ++i) Field(kKeys[i], values[i]);
    KvArray<uint8_t> pixels;
    texture.GetStoredPixels(pixels);
    out_.Key("pixels");
    out_.BeginObject();
    Field("bytes", pixels.Size());
    Field("sha256", Sha256(pixels.Data(), pixels.Size()));
    out_.EndObject();
  }

  void MaterialFields(KvMaterial& material) {
    Field("diffuse", material.GetDiffuseColor());
    Field("ambient", material.GetAmbientColor());
    Field("specular", material.GetSpecularColor());
    Field("emissive", material.GetEmissiveColor());
    Field("diffuseTexture", material.GetDiffuseTexture());
    Field("specularPower", material.GetSpecularPower());
    Field("factor", material.GetFactor());
  }

  void SkeletonFields(KvSkeleton& skeleton) {
    out_.Key("joints");
    out_.BeginArray();
    for (uint32_t i = 0; i < skeleton.GetNumJoints(); ++i) Reference(skeleton.GetJoint(i));
    out_.EndArray();
  }

  void JointFields(KvJoint& joint) {
    Field("translation", joint.GetTranslation());
    Field("rotation", joint.GetRotation());
    Field("scale", joint.GetScale());
    Field("bindTranslation", joint.GetBindTranslation());
    Field("bindRotation", joint.GetBindRotation());
    Field("bindScale", joint.GetBindScale());
    Field("parent", joint.GetParent());
  }

  void MeshFields(KvMesh& mesh) {
    Field("vertexCapacity", mesh.GetVertexCapacity());
    Elements("vertices", mesh.GetNumVertices(), [&](uint32_t i) {
      const KvVertex& v = *mesh.GetVertex(i);
      out_.BeginObject();
      Field("position", v.position);
      Field("normal", v.normal);
      Field("color", v.color);
      Field("texCoord", v.texCoord);
      Field("firstInfluence", v.firstInfluence);
      Field("influenceCount", v.influenceCount);
      out_.EndObject();
    });
    Field("texCoordCapacity", mesh.GetTexCoordCapacity());
    Elements("texCoords", mesh.GetNumTexCoords(), [&](uint32_t i) { Put(*mesh.GetTexCoord(i)); });
    if (summary_) {
      InfluenceJoints(mesh);
    } else {
      Elements("influences", mesh.GetNumInfluences(), [&](uint32_t i) {
        const KvVertexInfluence& influence = mesh.GetInfluence(i);
        out_.BeginObject();
        Field("joint", influence.joint);
        Field("weight", influence.weight);
        Field("positionOffset", influence.positionOffset);
        out_.EndObject();
      });
    }
    out_.Key("surfaces");
    out_.BeginArray();
    for (uint32_t i = 0; i < mesh.GetNumSurfaces(); ++i) Reference(mesh.GetSurface(i));
    out_.EndArray();
    Field("skeleton", mesh.GetSkeleton());
    Field("morphController", mesh.GetMorphController());
  }

  // The summary of the influences: their count, and the joints first met among them,
  // in full.
  void InfluenceJoints(KvMesh& mesh) {
    out_.Key("influences");
    out_.BeginObject();
    Field("count", mesh.GetNumInfluences());
    out_.Key("joints");
    out_.BeginArray();
    for (uint32_t i = 0; i < mesh.GetNumInfluences(); ++i) {
      KvJoint* joint = mesh.GetInfluence(i).joint;
      if (joint != nullptr && written_.count(joint) == 0) Reference(joint);
    }
    out_.EndArray();
    out_.EndObject();
  }

  void SurfaceFields(KvSurface& surface) {
    Field("triangleCapacity", surface.GetTriangleCapacity());
    Elements("triangles", surface.GetNumTriangles(), [&](uint32_t i) {
      const KvTriangle& t = *surface.GetTriangle(i);
      out_.BeginObject();
      Array("vertices", t.vertices, [this](uint32_t index) { out_.Unsigned(index); });
      Array("texCoords", t.texCoords, [this](uint32_t index) { out_.Unsigned(index); });
      out_.EndObject();
    });
    Field("material", surface.GetMaterial());
  }

  void ControllerFields(KvMorphController& controller) {
    out_.Key("morphTargets");
    out_.BeginArray();
    for (uint32_t i = 0; i < controller.GetNumMorphTargets(); ++i) {
      const KvMorphTarget& target = controller.GetMorphTarget(i);
      // Targets are stored in place: they have no object index.
      out_.BeginObject();
      Field("class", "KvMorphTarget");
      Field("name", target.GetName().GetAsCString());
      Elements("morphVertices", target.GetNumMorphVertices(), [&](uint32_t k) {
        const KvMorphVertex& v = target.GetMorphVertex(k);
        out_.BeginObject();
        Field("positionDelta", v.positionDelta);
        Field("normalDelta", v.normalDelta);
        Field("vertexIndex", v.vertexIndex);
        out_.EndObject();
      });
      out_.EndObject();
    }
    out_.EndArray();
  }

  void LightFields(KvLight& light) {
    Field("type", light.GetType());
    Field("position", light.GetPosition());
    Field("direction", light.GetDirection());
    Field("color", light.GetColor());
    Field("secondColor", light.GetSecondColor());
    Field("intensity", light.GetIntensityColor());
    Field("parameter1", light.GetParameter(0));
    Field("parameter2", light.GetParameter(1));
    Field("parameter3", light.GetParameter(2));
    Field("dropOff", light.GetDropOff());
    Field("parameter4", light.GetParameter(3));
    Field("parameter5", light.GetParameter(4));
    Field("coneAngle", light.GetConeAngle());
    Field("enabled", light.IsEnabled());
  }

  void CameraFields(KvCamera& camera) {
    Field("projectionType", camera.GetProjectionType());
    Field("fieldOfView", camera.GetFieldOfView());
    for (uint32_t i = 0; i < 7; ++i) Field(("parameter" + std::to_string(i + 1)).c_str(), camera.GetParameter(i));
    Field("position", camera.GetPosition());
    Field("rotation", camera.GetRotation());
    Field("viewMatrixValid", camera.IsViewMatrixValid());
    Matrix("viewMatrix", camera.GetViewMatrix());
    Field("secondMatrixValid", camera.IsSecondMatrixValid());
    Matrix("secondMatrix", camera.GetSecondMatrix());
    Field("projectionMatrixValid", camera.IsProjectionMatrixValid());
    Matrix("projectionMatrix", camera.GetProjectionMatrix());
  }

  // ---- Face graphs ----

  void FaceGraphFields(const KvFaceGraph& graph) {
    out_.Key("nodes");
    out_.BeginArray();
    for (uint32_t i = 0; i < graph.GetNumNodes(); ++i) Reference(graph.GetNode(i));
    out_.EndArray();
    // As rebuilt by link-up: one group per node class, its nodes in graph order.
    Array("typeGroups", graph.GetTypeGroups(), [this](const KvFaceGraphTypeGroup& group) {
      out_.BeginObject();
      Field("nodeClass", group.nodeClass != nullptr ? group.nodeClass->GetName().GetAsCString() : "");
      Values("nodes", group.nodes);
      out_.EndObject();
    });
  }

  void NodeFields(const KvFaceGraphNode& node) {
    Field("minValue", node.GetMinValue());
    Field("maxValue", node.GetMaxValue());
    Field("inputOperation", node.GetInputOperation());
    Records("inputLinks", node.GetInputLinks(), &GraphWriter::LinkFields);
    Records("userProperties", node.GetUserProperties(), &GraphWriter::PropertyFields);
    if (node.IsKindOf(KvBonePoseNode::StaticClass())) {
      Records("bones", static_cast<const KvBonePoseNode&>(node).bones, &GraphWriter::BoneFields);
    }
  }

  void LinkFields(const KvFaceGraphNodeLink& link) {
    Field("inputName", Text(link.inputName));
    Field("linkFunction", Text(link.linkFnName));
    Field("linkFunctionType", link.linkFnType);
    out_.Key("parameters");
    Floats(link.parameters.Data(), link.parameters.Size());
    // The names come from the function table, when it knows the function and the
    // link carries as many values as it has parameters.
    const KvLinkFn* function = FindLinkFunction(link.linkFnName);
    if (function != nullptr && function->GetNumParams() == link.parameters.Size()) {
      out_.Key("parameterNames");
      out_.BeginArray();
      for (uint32_t i = 0; i < function->GetNumParams(); ++i) out_.String(Text(function->GetParamName(i)));
      out_.EndArray();
    }
  }

  void PropertyFields(const KvFaceGraphNodeUserProperty& property) {
    Field("kind", property.GetKind());
    out_.Key("values");
    out_.BeginArray();
    out_.Unsigned(property.GetValue(0));
    out_.Unsigned(property.GetValue(1));
    out_.EndArray();
    Values("strings", property.GetStrings());
  }

  void BoneFields(const KvBone& bone) {
    out_.Key("position");
    Floats(bone.position, 3);
    out_.Key("rotation");
    Floats(bone.rotation, 4);
    out_.Key("scale");
    Floats(bone.scale, 3);
  }

  // ---- Animation ----

  void CurveFields(const KvAnimCurve& curve) {
    Field("interpolation", curve.interpolation);
    Field("keyCount", curve.GetNumKeys());
    Array("keys", curve.GetKeys(), [this](const KvAnimKey& key) {
      out_.BeginObject();
      Field("time", key.time);
      Field("value", key.value);
      Field("slopeIn", key.slopeIn);
      Field("slopeOut", key.slopeOut);
      out_.EndObject();
    });
  }

  void AnimFields(const KvAnim& anim) {
    Field("startTime", anim.startTime);
    Field("endTime", anim.endTime);
    Field("keyCount", anim.GetTotalKeys());
    Records("curves", anim.curves, &GraphWriter::CurveFields);
    out_.Key("timingParameters");
    Floats(anim.timingParameters, 2);
    Array("boneWeights", anim.boneWeights, [this](const KvAnimBoneWeight& weight) {
      out_.BeginObject();
      Field("bone", Text(weight.boneName));
      Field("weight", weight.weight);
      out_.EndObject();
    });
    Values("textFields", anim.textFields);
    Field("signedField", anim.signedField);
  }

  void GroupFields(const KvAnimGroup& group) { Records("anims", group.anims, &GraphWriter::AnimFields); }

  void SetFields(const KvAnimSet& set) {
    Field("secondName", Text(set.secondName));
    out_.Key("group");
    Record(set.group, &GraphWriter::GroupFields);
  }

  // ---- Phoneme maps and actors ----

  void PhonemeMapFields(const KvPhonemeMap& map) {
    Array("entries", map.entries, [this](const KvPhonemeMapEntry& entry) {
      out_.BeginObject();
      Field("phoneme", entry.phoneme);
      Field("target", Text(entry.targetName));
      Field("amount", entry.amount);
      out_.EndObject();
    });
    Values("targetNames", map.targetNames);
  }

  void CompiledGraph(const KvCompiledFaceGraph& compiled) {
    out_.BeginObject();
    Field("nodeCount", compiled.GetNumNodes());
    Array("nodes", compiled.nodes, [this](const KvCompiledNode& node) {
      out_.BeginObject();
      Field("name", Text(node.name));
      Field("nodeClass", Text(node.className));
      Field("minValue", node.minValue);
      Field("maxValue", node.maxValue);
      Field("inputOperation", node.inputOperation);
      Array("links", node.links, [this](const KvCompiledLink& link) {
        out_.BeginObject();
        Field("inputIndex", link.inputIndex);
        Field("linkFunctionType", link.linkFnType);
        out_.Key("parameters");
        Floats(link.parameters.Data(), link.parameters.Size());
        out_.EndObject();
      });
      Array("boneIndices", node.boneIndices, [this](uint32_t bone) { out_.Unsigned(bone); });
      out_.EndObject();
    });
    out_.EndObject();
  }

  void ActorFields(const KvActor& actor) {
    Records("masterBoneList", actor.GetMasterBoneList().bones, &GraphWriter::BoneFields);
    out_.Key("compiledFaceGraph");
    CompiledGraph(actor.GetCompiledFaceGraph());
    out_.Key("defaultGroup");
    Record(actor.GetDefaultGroup(), &GraphWriter::GroupFields);
    Records("animGroups", actor.GetAnimGroups(), &GraphWriter::GroupFields);
    out_.Key("phonemeMap");
    Record(actor.GetPhonemeMap(), &GraphWriter::PhonemeMapFields);
  }

  const LoadedArchive& archive_;
  Out& out_;
  const bool summary_;
  std::unordered_set<const KvObject*> written_;
};

// The whole document: header, tables, then the object graph from the root.
template <typename Out>
void WriteDocument(LoadedArchive& loaded, Out& out, bool summary) {
  KvArchive& archive = loaded.Archive();
  out.BeginObject();
  out.Key("header");
  out.BeginObject();
  out.Key("byteOrder");
  out.String(archive.GetByteOrder() == 0 ? "little" : "big");
  out.Key("archiveVersion");
  out.Unsigned(archive.GetArchiveVersion());
  out.Key("licenseeName");
  out.String(archive.GetLicenseeName());
  out.Key("licenseeProjectName");
  out.String(archive.GetLicenseeProjectName());
  out.Key("licenseeVersion");
  out.Unsigned(archive.GetLicenseeVersion());
  out.EndObject();

  KvArchiveTables& tables = *archive.GetTables();
  // Keyed by the class name up to its first NUL byte: a name met twice that way keeps
  // its first place and takes the later version.
  Json classes = Json::object();
  for (uint32_t b = 0; b < KvClassVersionTable::kBucketCount; ++b) {
    for (const auto& entry : tables.classVersions.Bucket(b)) classes[entry.key.View()] = entry.value;
  }
  out.Key("classVersions");
  out.BeginObject();
  for (const auto& item : classes.items()) {
    out.Key(item.key());
    out.Unsigned(item.value().get<uint64_t>());
  }
  out.EndObject();
  out.Key("names");
  out.BeginArray();
  for (const KvArchiveNameEntry& entry : tables.names) out.String(Text(entry.text));
  out.EndArray();
  out.Key("objectCount");
  out.Unsigned(tables.objectCount);

  out.Key("root");
  GraphWriter<Out>(loaded, out, summary).Reference(loaded.Root());
  out.EndObject();
}

}  // namespace

int DumpToJson(const std::string& path, Json& document, std::string& error) {
  LoadedArchive loaded(path);
  if (!loaded.Loaded()) {
    error = loaded.Error();
    return kExitBadArchive;
  }
  JsonBuilder builder(document);
  WriteDocument(loaded, builder, false);
  return kExitOk;
}

int RunDump(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
  LoadedArchive loaded(path);
  if (!loaded.Loaded()) {
    err << "kvr: " << path << ": " << loaded.Error() << "\n";
    return kExitBadArchive;
  }
  if (json) {
    // Written as it is made: no document of every vertex in memory.
    JsonStream stream(out);
    WriteDocument(loaded, stream, false);
    stream.Flush();
    out << "\n";
  } else {
    // The report counts vertices and triangles but shows none: a summary will do.
    Json document;
    JsonBuilder builder(document);
    WriteDocument(loaded, builder, true);
    out << "File: " << path << "\n";
    WriteTextReport(document, out);
  }
  return kExitOk;
}
