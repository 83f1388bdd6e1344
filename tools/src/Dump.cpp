#include "Dump.h"

#include <openssl/evp.h>

#include <charconv>
#include <cmath>
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

  // Numbers keep their type (signed, unsigned); floats go through Float instead.
  template <typename T>
  void Put(const T& value) {
    if constexpr (std::is_same_v<T, bool>) {
      out_.Bool(value);
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
      out_.Integer(value);
    } else if constexpr (std::is_integral_v<T>) {
      out_.Unsigned(value);
    } else {
      out_.String(value);
    }
  }

  void Float(float value) { out_.Double(Number(value)); }

  void Floats(const float* values, uint32_t count) {
    out_.BeginArray();
    for (uint32_t i = 0; i < count; ++i) Float(values[i]);
    out_.EndArray();
  }

  void Vec(const KvVec3& v) {
    const float values[] = {v.x, v.y, v.z};
    Floats(values, 3);
  }
  void Quat(const KvQuat& q) {
    const float values[] = {q.w, q.x, q.y, q.z};
    Floats(values, 4);
  }
  void Color(const KvColor& c) {
    const float values[] = {c.red, c.green, c.blue, c.alpha};
    Floats(values, 4);
  }
  void TexCoord(const KvTexCoord& t) {
    const float values[] = {t.u, t.v};
    Floats(values, 2);
  }
  void Matrix(const KvMatrix& m) {
    out_.BeginObject();
    Field("flags", m.Flags());
    out_.Key("values");
    out_.BeginArray();
    for (uint32_t i = 0; i < 16; ++i) Float(m[i]);
    out_.EndArray();
    out_.EndObject();
  }

  template <typename T>
  void Texts(const T& texts) {
    out_.BeginArray();
    for (const auto& text : texts) out_.String(Text(text));
    out_.EndArray();
  }

  // The member `key`: `count` elements, each written by `element(i)`; in a summary,
  // {"count": count}.
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
    out_.Key(key);
    out_.BeginArray();
    for (uint32_t i = 0; i < records.Size(); ++i) Record(records[i], fields);
    out_.EndArray();
  }

  template <typename T>
  void List(const char* key, KvList<T*>& list) {
    out_.Key(key);
    out_.BeginArray();
    for (T* object : list) Reference(object);
    out_.EndArray();
  }

  void SceneFields(KvScene& scene) {
    List("textures", scene.Textures());
    List("materials", scene.Materials());
    List("skeletons", scene.Skeletons());
    List("meshes", scene.Meshes());
    List("lights", scene.Lights());
    List("cameras", scene.Cameras());
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
    out_.Key("diffuse");
    Color(material.GetDiffuseColor());
    out_.Key("ambient");
    Color(material.GetAmbientColor());
    out_.Key("specular");
    Color(material.GetSpecularColor());
    out_.Key("emissive");
    Color(material.GetEmissiveColor());
    out_.Key("diffuseTexture");
    Reference(material.GetDiffuseTexture());
    out_.Key("specularPower");
    Float(material.GetSpecularPower());
    out_.Key("factor");
    Float(material.GetFactor());
  }

  void SkeletonFields(KvSkeleton& skeleton) {
    out_.Key("joints");
    out_.BeginArray();
    for (uint32_t i = 0; i < skeleton.GetNumJoints(); ++i) Reference(skeleton.GetJoint(i));
    out_.EndArray();
  }

  void JointFields(KvJoint& joint) {
    out_.Key("translation");
    Vec(joint.GetTranslation());
    out_.Key("rotation");
    Quat(joint.GetRotation());
    out_.Key("scale");
    Vec(joint.GetScale());
    out_.Key("bindTranslation");
    Vec(joint.GetBindTranslation());
    out_.Key("bindRotation");
    Quat(joint.GetBindRotation());
    out_.Key("bindScale");
    Vec(joint.GetBindScale());
    out_.Key("parent");
    Reference(joint.GetParent());
  }

  void MeshFields(KvMesh& mesh) {
    Field("vertexCapacity", mesh.GetVertexCapacity());
    Elements("vertices", mesh.GetNumVertices(), [&](uint32_t i) {
      const KvVertex& v = *mesh.GetVertex(i);
      out_.BeginObject();
      out_.Key("position");
      Vec(v.position);
      out_.Key("normal");
      Vec(v.normal);
      out_.Key("color");
      Color(v.color);
      out_.Key("texCoord");
      TexCoord(v.texCoord);
      Field("firstInfluence", v.firstInfluence);
      Field("influenceCount", v.influenceCount);
      out_.EndObject();
    });
    Field("texCoordCapacity", mesh.GetTexCoordCapacity());
    Elements("texCoords", mesh.GetNumTexCoords(), [&](uint32_t i) { TexCoord(*mesh.GetTexCoord(i)); });
    Influences(mesh);
    out_.Key("surfaces");
    out_.BeginArray();
    for (uint32_t i = 0; i < mesh.GetNumSurfaces(); ++i) Reference(mesh.GetSurface(i));
    out_.EndArray();
    out_.Key("skeleton");
    Reference(mesh.GetSkeleton());
    out_.Key("morphController");
    Reference(mesh.GetMorphController());
  }

  void Influences(KvMesh& mesh) {
    const uint32_t count = mesh.GetNumInfluences();
    if (summary_) {
      out_.Key("influences");
      out_.BeginObject();
      Field("count", count);
      out_.Key("joints");
      out_.BeginArray();
      for (uint32_t i = 0; i < count; ++i) {
        KvJoint* joint = mesh.GetInfluence(i).joint;
        if (joint != nullptr && written_.count(joint) == 0) Reference(joint);
      }
      out_.EndArray();
      out_.EndObject();
      return;
    }
    Elements("influences", count, [&](uint32_t i) {
      KvVertexInfluence& influence = mesh.GetInfluence(i);
      out_.BeginObject();
      out_.Key("joint");
      Reference(influence.joint);
      out_.Key("weight");
      Float(influence.weight);
      out_.Key("positionOffset");
      Vec(influence.positionOffset);
      out_.EndObject();
    });
  }

  void SurfaceFields(KvSurface& surface) {
    Field("triangleCapacity", surface.GetTriangleCapacity());
    Elements("triangles", surface.GetNumTriangles(), [&](uint32_t i) {
      const KvTriangle& t = *surface.GetTriangle(i);
      out_.BeginObject();
      out_.Key("vertices");
      out_.BeginArray();
      for (uint32_t corner = 0; corner < 3; ++corner) out_.Unsigned(t.vertices[corner]);
      out_.EndArray();
      out_.Key("texCoords");
      out_.BeginArray();
      for (uint32_t corner = 0; corner < 3; ++corner) out_.Unsigned(t.texCoords[corner]);
      out_.EndArray();
      out_.EndObject();
    });
    out_.Key("material");
    Reference(surface.GetMaterial());
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
        out_.Key("positionDelta");
        Vec(v.positionDelta);
        out_.Key("normalDelta");
        Vec(v.normalDelta);
        Field("vertexIndex", v.vertexIndex);
        out_.EndObject();
      });
      out_.EndObject();
    }
    out_.EndArray();
  }

  void LightFields(KvLight& light) {
    Field("type", light.GetType());
    out_.Key("position");
    Vec(light.GetPosition());
    out_.Key("direction");
    Vec(light.GetDirection());
    out_.Key("color");
    Color(light.GetColor());
    out_.Key("secondColor");
    Color(light.GetSecondColor());
    out_.Key("intensity");
    Color(light.GetIntensityColor());
    const std::pair<const char*, float> values[] = {
        {"parameter1", light.GetParameter(0)}, {"parameter2", light.GetParameter(1)},
        {"parameter3", light.GetParameter(2)}, {"dropOff", light.GetDropOff()},
        {"parameter4", light.GetParameter(3)}, {"parameter5", light.GetParameter(4)},
        {"coneAngle", light.GetConeAngle()}};
    for (const auto& [key, value] : values) {
      out_.Key(key);
      Float(value);
    }
    Field("enabled", light.IsEnabled());
  }

  void CameraFields(KvCamera& camera) {
    Field("projectionType", camera.GetProjectionType());
    out_.Key("fieldOfView");
    Float(camera.GetFieldOfView());
    for (uint32_t i = 0; i < 7; ++i) {
      out_.Key("parameter" + std::to_string(i + 1));
      Float(camera.GetParameter(i));
    }
    out_.Key("position");
    Vec(camera.GetPosition());
    out_.Key("rotation");
    Vec(camera.GetRotation());
    Field("viewMatrixValid", camera.IsViewMatrixValid());
    out_.Key("viewMatrix");
    Matrix(camera.GetViewMatrix());
    Field("secondMatrixValid", camera.IsSecondMatrixValid());
    out_.Key("secondMatrix");
    Matrix(camera.GetSecondMatrix());
    Field("projectionMatrixValid", camera.IsProjectionMatrixValid());
    out_.Key("projectionMatrix");
    Matrix(camera.GetProjectionMatrix());
  }

  // ---- Face graphs ----

  void FaceGraphFields(const KvFaceGraph& graph) {
    out_.Key("nodes");
    out_.BeginArray();
    for (uint32_t i = 0; i < graph.GetNumNodes(); ++i) Reference(graph.GetNode(i));
    out_.EndArray();
    // As rebuilt by link-up: one group per node class, its nodes in graph order.
    out_.Key("typeGroups");
    out_.BeginArray();
    for (const KvFaceGraphTypeGroup& group : graph.GetTypeGroups()) {
      out_.BeginObject();
      Field("nodeClass", group.nodeClass != nullptr ? group.nodeClass->GetName().GetAsCString() : "");
      out_.Key("nodes");
      out_.BeginArray();
      for (KvFaceGraphNode* node : group.nodes) Reference(node);
      out_.EndArray();
      out_.EndObject();
    }
    out_.EndArray();
  }

  void NodeFields(const KvFaceGraphNode& node) {
    out_.Key("minValue");
    Float(node.GetMinValue());
    out_.Key("maxValue");
    Float(node.GetMaxValue());
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
    out_.Key("strings");
    Texts(property.GetStrings());
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
    out_.Key("keys");
    out_.BeginArray();
    for (const KvAnimKey& key : curve.GetKeys()) {
      const std::pair<const char*, float> values[] = {
          {"time", key.time}, {"value", key.value}, {"slopeIn", key.slopeIn}, {"slopeOut", key.slopeOut}};
      out_.BeginObject();
      for (const auto& [name, value] : values) {
        out_.Key(name);
        Float(value);
      }
      out_.EndObject();
    }
    out_.EndArray();
  }

  void AnimFields(const KvAnim& anim) {
    out_.Key("startTime");
    Float(anim.startTime);
    out_.Key("endTime");
    Float(anim.endTime);
    Field("keyCount", anim.GetTotalKeys());
    Records("curves", anim.curves, &GraphWriter::CurveFields);
    out_.Key("timingParameters");
    Floats(anim.timingParameters, 2);
    out_.Key("boneWeights");
    out_.BeginArray();
    for (const KvAnimBoneWeight& weight : anim.boneWeights) {
      out_.BeginObject();
      Field("bone", Text(weight.boneName));
      out_.Key("weight");
      Float(weight.weight);
      out_.EndObject();
    }
    out_.EndArray();
    out_.Key("textFields");
    Texts(anim.textFields);
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
    out_.Key("entries");
    out_.BeginArray();
    for (const KvPhonemeMapEntry& entry : map.entries) {
      out_.BeginObject();
      Field("phoneme", entry.phoneme);
      Field("target", Text(entry.targetName));
      out_.Key("amount");
      Float(entry.amount);
      out_.EndObject();
    }
    out_.EndArray();
    out_.Key("targetNames");
    Texts(map.targetNames);
  }

  void CompiledGraph(const KvCompiledFaceGraph& compiled) {
    out_.BeginObject();
    Field("nodeCount", compiled.GetNumNodes());
    out_.Key("nodes");
    out_.BeginArray();
    for (const KvCompiledNode& node : compiled.nodes) {
      out_.BeginObject();
      Field("name", Text(node.name));
      Field("nodeClass", Text(node.className));
      out_.Key("minValue");
      Float(node.minValue);
      out_.Key("maxValue");
      Float(node.maxValue);
      Field("inputOperation", node.inputOperation);
      out_.Key("links");
      out_.BeginArray();
      for (const KvCompiledLink& link : node.links) {
        out_.BeginObject();
        Field("inputIndex", link.inputIndex);
        Field("linkFunctionType", link.linkFnType);
        out_.Key("parameters");
        Floats(link.parameters.Data(), link.parameters.Size());
        out_.EndObject();
      }
      out_.EndArray();
      out_.Key("boneIndices");
      out_.BeginArray();
      for (uint32_t bone : node.boneIndices) out_.Unsigned(bone);
      out_.EndArray();
      out_.EndObject();
    }
    out_.EndArray();
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
