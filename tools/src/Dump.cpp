#include "Dump.h"

#include <openssl/evp.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <set>
#include <type_traits>
#include <unordered_map>
#include <vector>

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
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text - 1, value);
  *result.ptr = '\0';
  return std::strtod(text, nullptr);
}

Json Vec(const KvVec3& v) { return Json::array({Number(v.x), Number(v.y), Number(v.z)}); }
Json Quat(const KvQuat& q) { return Json::array({Number(q.w), Number(q.x), Number(q.y), Number(q.z)}); }
Json Color(const KvColor& c) {
  return Json::array({Number(c.red), Number(c.green), Number(c.blue), Number(c.alpha)});
}
Json Matrix(const KvMatrix& m) {
  Json values = Json::array();
  for (uint32_t i = 0; i < 16; ++i) values.push_back(Number(m[i]));
  return Json{{"flags", m.Flags()}, {"values", values}};
}

std::string Text(const KvString& text) { return std::string(text.View(), text.Length()); }
std::string Text(const KvName& name) { return name.GetAsCString(); }

Json Floats(const float* values, uint32_t count) {
  Json items = Json::array();
  for (uint32_t i = 0; i < count; ++i) items.push_back(Number(values[i]));
  return items;
}

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

// Turns a loaded object graph into JSON: every object in full at its first
// occurrence (with its archive index), {"ref": index} afterwards, null as null.
class GraphWriter {
 public:
  explicit GraphWriter(KvArchive& archive) {
    const KvArray<KvObject*>& objects = archive.GetTables()->objects;
    for (uint32_t i = 0; i < objects.Size(); ++i) {
      if (objects[i] != nullptr) indexes_.emplace(objects[i], i);
    }
  }

  template <typename T>
  Json Reference(T* object) {
    if (object == nullptr) return nullptr;
    const auto found = indexes_.find(object);
    const int64_t index = found != indexes_.end() ? static_cast<int64_t>(found->second) : -1;
    if (!written_.insert(object).second) return Json{{"ref", index}};
    Json json{{"index", index}, {"class", object->ClassOf()->GetName().GetAsCString()}};
    if (auto* named = KvCast<KvNamedObject>(object)) json["name"] = named->GetName().GetAsCString();
    Fields(object, json);
    return json;
  }

 private:
  void Fields(KvObject* object, Json& json) {
    if (auto* scene = KvCast<KvScene>(object)) return SceneFields(*scene, json);
    if (auto* texture = KvCast<KvTexture>(object)) return TextureFields(*texture, json);
    if (auto* material = KvCast<KvMaterial>(object)) return MaterialFields(*material, json);
    if (auto* skeleton = KvCast<KvSkeleton>(object)) return SkeletonFields(*skeleton, json);
    if (auto* joint = KvCast<KvJoint>(object)) return JointFields(*joint, json);
    if (auto* mesh = KvCast<KvMesh>(object)) return MeshFields(*mesh, json);
    if (auto* surface = KvCast<KvSurface>(object)) return SurfaceFields(*surface, json);
    if (auto* controller = KvCast<KvMorphController>(object)) return ControllerFields(*controller, json);
    if (auto* light = KvCast<KvLight>(object)) return LightFields(*light, json);
    if (auto* camera = KvCast<KvCamera>(object)) return CameraFields(*camera, json);
    if (auto* graph = KvCast<KvFaceGraph>(object)) return FaceGraphFields(*graph, json);
    if (auto* node = KvCast<KvFaceGraphNode>(object)) return NodeFields(*node, json);
    if (auto* link = KvCast<KvFaceGraphNodeLink>(object)) return LinkFields(*link, json);
    if (auto* property = KvCast<KvFaceGraphNodeUserProperty>(object)) return PropertyFields(*property, json);
    if (auto* bone = KvCast<KvBone>(object)) return BoneFields(*bone, json);
    if (auto* curve = KvCast<KvAnimCurve>(object)) return CurveFields(*curve, json);
    if (auto* anim = KvCast<KvAnim>(object)) return AnimFields(*anim, json);
    if (auto* group = KvCast<KvAnimGroup>(object)) return GroupFields(*group, json);
    if (auto* set = KvCast<KvAnimSet>(object)) return SetFields(*set, json);
    if (auto* map = KvCast<KvPhonemeMap>(object)) return PhonemeMapFields(*map, json);
    if (auto* actor = KvCast<KvActor>(object)) return ActorFields(*actor, json);
  }

  // A record stored inside its owner rather than through the object table: it has
  // no index.
  template <typename T>
  Json Record(const T& record, void (GraphWriter::*fields)(const T&, Json&)) {
    Json json{{"class", record.ClassOf()->GetName().GetAsCString()}};
    if constexpr (std::is_base_of_v<KvNamedObject, T>) json["name"] = Text(record.GetName());
    (this->*fields)(record, json);
    return json;
  }

  template <typename T>
  Json Records(const KvArray<T>& records, void (GraphWriter::*fields)(const T&, Json&)) {
    Json items = Json::array();
    for (uint32_t i = 0; i < records.Size(); ++i) items.push_back(Record(records[i], fields));
    return items;
  }

  template <typename T>
  Json List(KvList<T*>& list) {
    Json items = Json::array();
    for (T* object : list) items.push_back(Reference(object));
    return items;
  }

  void SceneFields(KvScene& scene, Json& json) {
    json["textures"] = List(scene.Textures());
    json["materials"] = List(scene.Materials());
    json["skeletons"] = List(scene.Skeletons());
    json["meshes"] = List(scene.Meshes());
    json["lights"] = List(scene.Lights());
    json["cameras"] = List(scene.Cameras());
  }

  void TextureFields(KvTexture& texture, Json& json) {
    static const char* const kKeys[KvTexture::kDescriptionCount] = {
        "width", "height", "depth", "bytesPerPixel", "format", "type", "origin", "dataSize"};
    // What the file says, not DevIL's view of the recreated image.
    uint32_t values[KvTexture::kDescriptionCount];
    texture.GetArchivedDescription(values);
    for (uint32_t i = 0; i < KvTexture::kDescriptionCount; ++i) json[kKeys[i]] = values[i];
    KvArray<uint8_t> pixels;
    texture.GetStoredPixels(pixels);
    json["pixels"] = Json{{"bytes", pixels.Size()}, {"sha256", Sha256(pixels.Data(), pixels.Size())}};
  }

  void MaterialFields(KvMaterial& material, Json& json) {
    json["diffuse"] = Color(material.GetDiffuseColor());
    json["ambient"] = Color(material.GetAmbientColor());
    json["specular"] = Color(material.GetSpecularColor());
    json["emissive"] = Color(material.GetEmissiveColor());
    json["diffuseTexture"] = Reference(material.GetDiffuseTexture());
    json["specularPower"] = Number(material.GetSpecularPower());
    json["factor"] = Number(material.GetFactor());
  }

  void SkeletonFields(KvSkeleton& skeleton, Json& json) {
    Json joints = Json::array();
    for (uint32_t i = 0; i < skeleton.GetNumJoints(); ++i) joints.push_back(Reference(skeleton.GetJoint(i)));
    json["joints"] = joints;
  }

  void JointFields(KvJoint& joint, Json& json) {
    json["translation"] = Vec(joint.GetTranslation());
    json["rotation"] = Quat(joint.GetRotation());
    json["scale"] = Vec(joint.GetScale());
    json["bindTranslation"] = Vec(joint.GetBindTranslation());
    json["bindRotation"] = Quat(joint.GetBindRotation());
    json["bindScale"] = Vec(joint.GetBindScale());
    json["parent"] = Reference(joint.GetParent());
  }

  void MeshFields(KvMesh& mesh, Json& json) {
    json["vertexCapacity"] = mesh.GetVertexCapacity();
    Json vertices = Json::array();
    for (uint32_t i = 0; i < mesh.GetNumVertices(); ++i) {
      const KvVertex& v = *mesh.GetVertex(i);
      vertices.push_back(Json{{"position", Vec(v.position)},
                              {"normal", Vec(v.normal)},
                              {"color", Color(v.color)},
                              {"texCoord", Json::array({Number(v.texCoord.u), Number(v.texCoord.v)})},
                              {"firstInfluence", v.firstInfluence},
                              {"influenceCount", v.influenceCount}});
    }
    json["vertices"] = vertices;
    json["texCoordCapacity"] = mesh.GetTexCoordCapacity();
    Json texCoords = Json::array();
    for (uint32_t i = 0; i < mesh.GetNumTexCoords(); ++i) {
      const KvTexCoord& t = *mesh.GetTexCoord(i);
      texCoords.push_back(Json::array({Number(t.u), Number(t.v)}));
    }
    json["texCoords"] = texCoords;
    Json influences = Json::array();
    for (uint32_t i = 0; i < mesh.GetNumInfluences(); ++i) {
      KvVertexInfluence& influence = mesh.GetInfluence(i);
      Json item{{"joint", Reference(influence.joint)},
                {"weight", Number(influence.weight)},
                {"positionOffset", Vec(influence.positionOffset)}};
      influences.push_back(item);
    }
    json["influences"] = influences;
    Json surfaces = Json::array();
    for (uint32_t i = 0; i < mesh.GetNumSurfaces(); ++i) surfaces.push_back(Reference(mesh.GetSurface(i)));
    json["surfaces"] = surfaces;
    json["skeleton"] = Reference(mesh.GetSkeleton());
    json["morphController"] = Reference(mesh.GetMorphController());
  }

  void SurfaceFields(KvSurface& surface, Json& json) {
    json["triangleCapacity"] = surface.GetTriangleCapacity();
    Json triangles = Json::array();
    for (uint32_t i = 0; i < surface.GetNumTriangles(); ++i) {
      const KvTriangle& t = *surface.GetTriangle(i);
      triangles.push_back(Json{{"vertices", {t.vertices[0], t.vertices[1], t.vertices[2]}},
                               {"texCoords", {t.texCoords[0], t.texCoords[1], t.texCoords[2]}}});
    }
    json["triangles"] = triangles;
    json["material"] = Reference(surface.GetMaterial());
  }

  void ControllerFields(KvMorphController& controller, Json& json) {
    Json targets = Json::array();
    for (uint32_t i = 0; i < controller.GetNumMorphTargets(); ++i) {
      const KvMorphTarget& target = controller.GetMorphTarget(i);
      Json vertices = Json::array();
      for (uint32_t k = 0; k < target.GetNumMorphVertices(); ++k) {
        const KvMorphVertex& v = target.GetMorphVertex(k);
        vertices.push_back(Json{{"positionDelta", Vec(v.positionDelta)},
                                {"normalDelta", Vec(v.normalDelta)},
                                {"vertexIndex", v.vertexIndex}});
      }
      // Targets are stored in place: they have no object index.
      targets.push_back(Json{{"class", "KvMorphTarget"}, {"name", target.GetName().GetAsCString()},
                             {"morphVertices", vertices}});
    }
    json["morphTargets"] = targets;
  }

  void LightFields(KvLight& light, Json& json) {
    json["type"] = light.GetType();
    json["position"] = Vec(light.GetPosition());
    json["direction"] = Vec(light.GetDirection());
    json["color"] = Color(light.GetColor());
    json["secondColor"] = Color(light.GetSecondColor());
    json["intensity"] = Color(light.GetIntensityColor());
    json["parameter1"] = Number(light.GetParameter(0));
    json["parameter2"] = Number(light.GetParameter(1));
    json["parameter3"] = Number(light.GetParameter(2));
    json["dropOff"] = Number(light.GetDropOff());
    json["parameter4"] = Number(light.GetParameter(3));
    json["parameter5"] = Number(light.GetParameter(4));
    json["coneAngle"] = Number(light.GetConeAngle());
    json["enabled"] = light.IsEnabled();
  }

  void CameraFields(KvCamera& camera, Json& json) {
    json["projectionType"] = camera.GetProjectionType();
    json["fieldOfView"] = Number(camera.GetFieldOfView());
    for (uint32_t i = 0; i < 7; ++i) json["parameter" + std::to_string(i + 1)] = Number(camera.GetParameter(i));
    json["position"] = Vec(camera.GetPosition());
    json["rotation"] = Vec(camera.GetRotation());
    json["viewMatrixValid"] = camera.IsViewMatrixValid();
    json["viewMatrix"] = Matrix(camera.GetViewMatrix());
    json["secondMatrixValid"] = camera.IsSecondMatrixValid();
    json["secondMatrix"] = Matrix(camera.GetSecondMatrix());
    json["projectionMatrixValid"] = camera.IsProjectionMatrixValid();
    json["projectionMatrix"] = Matrix(camera.GetProjectionMatrix());
  }

  // ---- Face graphs ----

  void FaceGraphFields(const KvFaceGraph& graph, Json& json) {
    Json nodes = Json::array();
    for (uint32_t i = 0; i < graph.GetNumNodes(); ++i) nodes.push_back(Reference(graph.GetNode(i)));
    json["nodes"] = nodes;
    // As rebuilt by link-up: one group per node class, its nodes in graph order.
    Json groups = Json::array();
    for (const KvFaceGraphTypeGroup& group : graph.GetTypeGroups()) {
      Json members = Json::array();
      for (KvFaceGraphNode* node : group.nodes) members.push_back(Reference(node));
      groups.push_back(Json{{"nodeClass", group.nodeClass != nullptr ? group.nodeClass->GetName().GetAsCString() : ""},
                            {"nodes", members}});
    }
    json["typeGroups"] = groups;
  }

  void NodeFields(const KvFaceGraphNode& node, Json& json) {
    json["minValue"] = Number(node.GetMinValue());
    json["maxValue"] = Number(node.GetMaxValue());
    json["inputOperation"] = node.GetInputOperation();
    json["inputLinks"] = Records(node.GetInputLinks(), &GraphWriter::LinkFields);
    json["userProperties"] = Records(node.GetUserProperties(), &GraphWriter::PropertyFields);
    if (node.IsKindOf(KvBonePoseNode::StaticClass())) {
      json["bones"] = Records(static_cast<const KvBonePoseNode&>(node).bones, &GraphWriter::BoneFields);
    }
  }

  void LinkFields(const KvFaceGraphNodeLink& link, Json& json) {
    json["inputName"] = Text(link.inputName);
    json["linkFunction"] = Text(link.linkFnName);
    json["linkFunctionType"] = link.linkFnType;
    json["parameters"] = Floats(link.parameters.Data(), link.parameters.Size());
    // The names come from the function table, when it knows the function and the
    // link carries as many values as it has parameters.
    const KvLinkFn* function = FindLinkFunction(link.linkFnName);
    if (function != nullptr && function->GetNumParams() == link.parameters.Size()) {
      Json names = Json::array();
      for (uint32_t i = 0; i < function->GetNumParams(); ++i) names.push_back(Text(function->GetParamName(i)));
      json["parameterNames"] = names;
    }
  }

  void PropertyFields(const KvFaceGraphNodeUserProperty& property, Json& json) {
    json["kind"] = property.GetKind();
    json["values"] = Json::array({property.GetValue(0), property.GetValue(1)});
    Json strings = Json::array();
    for (const KvString& text : property.GetStrings()) strings.push_back(Text(text));
    json["strings"] = strings;
  }

  void BoneFields(const KvBone& bone, Json& json) {
    json["position"] = Floats(bone.position, 3);
    json["rotation"] = Floats(bone.rotation, 4);
    json["scale"] = Floats(bone.scale, 3);
  }

  // ---- Animation ----

  void CurveFields(const KvAnimCurve& curve, Json& json) {
    json["interpolation"] = curve.interpolation;
    json["keyCount"] = curve.GetNumKeys();
    Json keys = Json::array();
    for (const KvAnimKey& key : curve.GetKeys()) {
      keys.push_back(Json{{"time", Number(key.time)},
                          {"value", Number(key.value)},
                          {"slopeIn", Number(key.slopeIn)},
                          {"slopeOut", Number(key.slopeOut)}});
    }
    json["keys"] = keys;
  }

  void AnimFields(const KvAnim& anim, Json& json) {
    json["startTime"] = Number(anim.startTime);
    json["endTime"] = Number(anim.endTime);
    json["keyCount"] = anim.GetTotalKeys();
    json["curves"] = Records(anim.curves, &GraphWriter::CurveFields);
    json["timingParameters"] = Floats(anim.timingParameters, 2);
    Json weights = Json::array();
    for (const KvAnimBoneWeight& weight : anim.boneWeights) {
      weights.push_back(Json{{"bone", Text(weight.boneName)}, {"weight", Number(weight.weight)}});
    }
    json["boneWeights"] = weights;
    json["textFields"] = Json::array({Text(anim.textFields[0]), Text(anim.textFields[1])});
    json["signedField"] = anim.signedField;
  }

  void GroupFields(const KvAnimGroup& group, Json& json) {
    json["anims"] = Records(group.anims, &GraphWriter::AnimFields);
  }

  void SetFields(const KvAnimSet& set, Json& json) {
    json["secondName"] = Text(set.secondName);
    json["group"] = Record(set.group, &GraphWriter::GroupFields);
  }

  // ---- Phoneme maps and actors ----

  void PhonemeMapFields(const KvPhonemeMap& map, Json& json) {
    Json entries = Json::array();
    for (const KvPhonemeMapEntry& entry : map.entries) {
      entries.push_back(
          Json{{"phoneme", entry.phoneme}, {"target", Text(entry.targetName)}, {"amount", Number(entry.amount)}});
    }
    json["entries"] = entries;
    Json names = Json::array();
    for (const KvName& name : map.targetNames) names.push_back(Text(name));
    json["targetNames"] = names;
  }

  static Json CompiledGraph(const KvCompiledFaceGraph& compiled) {
    Json nodes = Json::array();
    for (const KvCompiledNode& node : compiled.nodes) {
      Json links = Json::array();
      for (const KvCompiledLink& link : node.links) {
        links.push_back(Json{{"inputIndex", link.inputIndex},
                             {"linkFunctionType", link.linkFnType},
                             {"parameters", Floats(link.parameters.Data(), link.parameters.Size())}});
      }
      Json bones = Json::array();
      for (uint32_t bone : node.boneIndices) bones.push_back(bone);
      nodes.push_back(Json{{"name", Text(node.name)},
                           {"nodeClass", Text(node.className)},
                           {"minValue", Number(node.minValue)},
                           {"maxValue", Number(node.maxValue)},
                           {"inputOperation", node.inputOperation},
                           {"links", links},
                           {"boneIndices", bones}});
    }
    return Json{{"nodeCount", compiled.GetNumNodes()}, {"nodes", nodes}};
  }

  void ActorFields(const KvActor& actor, Json& json) {
    json["masterBoneList"] = Records(actor.GetMasterBoneList().bones, &GraphWriter::BoneFields);
    json["compiledFaceGraph"] = CompiledGraph(actor.GetCompiledFaceGraph());
    json["defaultGroup"] = Record(actor.GetDefaultGroup(), &GraphWriter::GroupFields);
    json["animGroups"] = Records(actor.GetAnimGroups(), &GraphWriter::GroupFields);
    json["phonemeMap"] = Record(actor.GetPhonemeMap(), &GraphWriter::PhonemeMapFields);
  }

  std::unordered_map<const KvObject*, uint32_t> indexes_;
  std::set<const KvObject*> written_;
};

Json HeaderOf(KvArchive& archive) {
  return Json{{"byteOrder", archive.GetByteOrder() == 0 ? "little" : "big"},
              {"archiveVersion", archive.GetArchiveVersion()},
              {"licenseeName", archive.GetLicenseeName()},
              {"licenseeProjectName", archive.GetLicenseeProjectName()},
              {"licenseeVersion", archive.GetLicenseeVersion()}};
}

Json TablesOf(KvArchive& archive, Json& document) {
  KvArchiveTables& tables = *archive.GetTables();
  Json classes = Json::object();
  for (uint32_t b = 0; b < KvClassVersionTable::kBucketCount; ++b) {
    for (const auto& entry : tables.classVersions.Bucket(b)) classes[entry.key.View()] = entry.value;
  }
  document["classVersions"] = classes;
  Json names = Json::array();
  for (const KvArchiveNameEntry& entry : tables.names) {
    names.push_back(std::string(entry.text.View(), entry.text.Length()));
  }
  document["names"] = names;
  document["objectCount"] = tables.objectCount;
  return document;
}

}  // namespace

int DumpToJson(const std::string& path, Json& document, std::string& error) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    error = "is a directory, not an archive";
    return kExitBadArchive;
  }
  KvArchive archive(KvArchiveStoreFile::Create(path.c_str()), KvArchive::kModeLoad, 0);
  archive.Open();
  if (!archive.IsValid()) {
    error = KvDescribeArchiveError(archive).View();
    if (archive.GetError() == KvArchiveError::kCannotOpen) {
      // Say why, in the system's words.
      errno = 0;
      std::FILE* file = std::fopen(path.c_str(), "rb");
      if (file != nullptr) std::fclose(file);
      error = std::string("cannot be opened: ") + (errno != 0 ? std::strerror(errno) : "unknown reason");
    }
    return kExitBadArchive;
  }
  // Objects reached only through non-owning references are dumped where they are
  // referred to, and destroyed after the root.
  KvArray<KvObject*> unowned;
  KvObject* root = archive.LoadRoot(nullptr, unowned);
  if (root == nullptr) {
    if (archive.GetUnknownClassCount() > 0) {
      error = "the root object is of a class this program does not know";
    } else {
      error = KvDescribeArchiveError(archive).View();
    }
    return kExitBadArchive;
  }
  int status = kExitOk;
  if (archive.GetUnknownClassCount() > 0) {
    error = std::to_string(archive.GetUnknownClassCount()) +
            " object(s) of classes this program does not know; the bytes after them cannot be read";
    status = kExitBadArchive;
  } else if (archive.BytesLeft() > 0) {
    error = std::to_string(archive.BytesLeft()) + " unexpected byte(s) after the object stream at byte " +
            std::to_string(archive.Position());
    status = kExitBadArchive;
  } else {
    document = Json::object();
    document["header"] = HeaderOf(archive);
    TablesOf(archive, document);
    GraphWriter writer(archive);
    document["root"] = writer.Reference(root);
  }
  delete root;
  for (KvObject* object : unowned) delete object;
  archive.Close();
  return status;
}

int RunDump(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
  Json document;
  std::string error;
  if (DumpToJson(path, document, error) != kExitOk) {
    err << "kvr: " << path << ": " << error << "\n";
    return kExitBadArchive;
  }
  if (json) {
    // Names and texts are bytes; any that are not UTF-8 come out as U+FFFD.
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
  } else {
    out << "File: " << path << "\n";
    WriteTextReport(document, out);
  }
  return kExitOk;
}
