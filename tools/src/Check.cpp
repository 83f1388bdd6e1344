#include "Check.h"

#include <charconv>
#include <cmath>
#include <map>
#include <ostream>
#include <set>

#include <nlohmann/json.hpp>

#include "ArchiveFile.h"
#include "Dump.h"
#include "kv/Camera.h"
#include "kv/Light.h"
#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Morph.h"
#include "kv/Scene.h"
#include "kv/Skeleton.h"
#include "kv/Texture.h"

namespace {

// Finding codes. Scripts match on them: never rename one.
// A file that does not load:
constexpr char kArchiveUnreadable[] = "ARCHIVE_UNREADABLE";
constexpr char kNotAnArchive[] = "NOT_AN_ARCHIVE";
constexpr char kUnsupportedVersion[] = "UNSUPPORTED_VERSION";
constexpr char kArchiveTruncated[] = "ARCHIVE_TRUNCATED";
constexpr char kArchiveCorrupt[] = "ARCHIVE_CORRUPT";
constexpr char kUnknownClass[] = "UNKNOWN_CLASS";
constexpr char kTrailingBytes[] = "TRAILING_BYTES";
constexpr char kNotAScene[] = "NOT_A_SCENE";
// Rules the loader itself enforces (it refuses the file, so they come with a byte
// offset rather than an object):
constexpr char kTriangleVertexOutOfRange[] = "TRIANGLE_VERTEX_OUT_OF_RANGE";
constexpr char kTriangleTexCoordOutOfRange[] = "TRIANGLE_TEXCOORD_OUT_OF_RANGE";
constexpr char kInfluenceRunOutOfRange[] = "INFLUENCE_RUN_OUT_OF_RANGE";
constexpr char kTextureSizeMismatch[] = "TEXTURE_SIZE_MISMATCH";
constexpr char kTextureFormatMismatch[] = "TEXTURE_FORMAT_MISMATCH";
// Rules checked on the loaded scene:
constexpr char kInfluenceWeightInvalid[] = "INFLUENCE_WEIGHT_INVALID";
constexpr char kWeightsNotNormalized[] = "INFLUENCE_WEIGHTS_NOT_NORMALIZED";
constexpr char kInfluenceJointNotInSkeleton[] = "INFLUENCE_JOINT_NOT_IN_SKELETON";
constexpr char kMorphVertexOutOfRange[] = "MORPH_VERTEX_OUT_OF_RANGE";
constexpr char kNonFinitePosition[] = "NON_FINITE_POSITION";
constexpr char kNonFiniteNormal[] = "NON_FINITE_NORMAL";
constexpr char kNonFiniteMatrix[] = "NON_FINITE_MATRIX";
constexpr char kNonFiniteValue[] = "NON_FINITE_VALUE";
constexpr char kTextureWithoutPixels[] = "TEXTURE_WITHOUT_PIXELS";
constexpr char kUnreferencedMaterial[] = "UNREFERENCED_MATERIAL";
constexpr char kUnreferencedTexture[] = "UNREFERENCED_TEXTURE";

// The loader's words for the rules above that it enforces.
struct LoaderRule {
  const char* detail;
  const char* code;
};
constexpr LoaderRule kLoaderRules[] = {
    {"a triangle names a vertex the mesh does not have", kTriangleVertexOutOfRange},
    {"a triangle names a texture coordinate the mesh does not have", kTriangleTexCoordOutOfRange},
    {"a mesh vertex's influences run past the influence list", kInfluenceRunOutOfRange},
    {"a texture's data size does not match its dimensions", kTextureSizeMismatch},
    {"a texture without pixels claims pixel bytes", kTextureSizeMismatch},
    {"a texture's format, type and bytes per pixel disagree", kTextureFormatMismatch},
};

// A vertex's weights may be off 1 by this much (floats summed from Maya's doubles).
constexpr double kWeightSumTolerance = 1e-3;

bool Finite(float v) { return std::isfinite(v); }
bool Finite(const KvVec3& v) { return Finite(v.x) && Finite(v.y) && Finite(v.z); }
bool Finite(const KvQuat& q) { return Finite(q.w) && Finite(q.x) && Finite(q.y) && Finite(q.z); }
bool Finite(const KvColor& c) { return Finite(c.red) && Finite(c.green) && Finite(c.blue) && Finite(c.alpha); }
bool Finite(const KvMatrix& m) {
  for (uint32_t i = 0; i < 16; ++i) {
    if (!Finite(m[i])) return false;
  }
  return true;
}

std::string Number(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}
std::string Text(const KvVec3& v) { return "(" + Number(v.x) + ", " + Number(v.y) + ", " + Number(v.z) + ")"; }
std::string Name(const KvNamedObject& object) { return std::string("\"") + object.GetName().GetAsCString() + "\""; }

// The offenders against one rule within one object: the first is described, the
// others only counted, so a broken mesh of a million vertices gives one line.
class Offenders {
 public:
  template <typename Describe>
  void Add(Describe describe) {
    if (count_++ == 0) first_ = describe();
  }
  bool Any() const { return count_ > 0; }
  std::string Message() const {
    return count_ > 1 ? first_ + " (and " + std::to_string(count_ - 1) + " more)" : first_;
  }

 private:
  uint64_t count_ = 0;
  std::string first_;
};

class SceneChecker {
 public:
  SceneChecker(const LoadedArchive& archive, std::vector<Finding>& findings) : archive_(archive), findings_(findings) {}

  void Check(KvScene& scene) {
    for (KvTexture* texture : scene.Textures()) {
      if (texture != nullptr && !texture->HasImage()) {
        Report(kTextureWithoutPixels, Severity::kWarning, texture,
               "holds no pixels; surfaces using it show their diffuse colour");
      }
    }
    for (KvMaterial* material : scene.Materials()) {
      if (material != nullptr) CheckMaterial(*material);
    }
    for (KvSkeleton* skeleton : scene.Skeletons()) {
      if (skeleton != nullptr) CheckSkeleton(*skeleton);
    }
    for (KvMesh* mesh : scene.Meshes()) {
      if (mesh != nullptr) CheckMesh(*mesh);
    }
    for (KvLight* light : scene.Lights()) {
      if (light != nullptr) CheckLight(*light);
    }
    for (KvCamera* camera : scene.Cameras()) {
      if (camera != nullptr) CheckCamera(*camera);
    }
    for (KvMaterial* material : scene.Materials()) {
      if (material != nullptr && usedMaterials_.count(material) == 0) {
        Report(kUnreferencedMaterial, Severity::kWarning, material, "no surface uses this material");
      }
    }
    for (KvTexture* texture : scene.Textures()) {
      if (texture != nullptr && usedTextures_.count(texture) == 0) {
        Report(kUnreferencedTexture, Severity::kWarning, texture, "no material uses this texture");
      }
    }
  }

 private:
  void Report(const char* code, Severity severity, const KvObject* object, const std::string& message) {
    Finding finding;
    finding.code = code;
    finding.severity = severity;
    finding.message = message;
    finding.objectIndex = archive_.IndexOf(object);
    finding.className = object->ClassOf()->GetName().GetAsCString();
    if (object->IsKindOf(KvNamedObject::StaticClass())) {
      finding.objectName = static_cast<const KvNamedObject*>(object)->GetName().GetAsCString();
    }
    findings_.push_back(std::move(finding));
  }
  void Report(const char* code, const KvObject* object, const Offenders& offenders) {
    if (offenders.Any()) Report(code, Severity::kError, object, offenders.Message());
  }

  void CheckMaterial(KvMaterial& material) {
    if (material.GetDiffuseTexture() != nullptr) usedTextures_.insert(material.GetDiffuseTexture());
    Offenders values;
    const std::pair<const char*, const KvColor*> colors[] = {{"diffuse", &material.GetDiffuseColor()},
                                                             {"ambient", &material.GetAmbientColor()},
                                                             {"specular", &material.GetSpecularColor()},
                                                             {"emissive", &material.GetEmissiveColor()}};
    for (const auto& [what, color] : colors) {
      if (!Finite(*color)) values.Add([&] { return std::string("the ") + what + " colour is not finite"; });
    }
    if (!Finite(material.GetSpecularPower())) values.Add([] { return std::string("the specular power is not finite"); });
    Report(kNonFiniteValue, &material, values);
  }

  void CheckSkeleton(KvSkeleton& skeleton) {
    // Parents come before their children, so each world transform builds on one
    // already known.
    std::map<const KvJoint*, KvMatrix> world;
    for (uint32_t i = 0; i < skeleton.GetNumJoints(); ++i) {
      KvJoint* joint = skeleton.GetJoint(i);
      if (joint == nullptr) continue;
      const auto parent = world.find(joint->GetParent());
      const KvMatrix& local = joint->GetLocalTransform();
      const KvMatrix& transform = world[joint] = parent != world.end() ? local * parent->second : local;
      Offenders matrices;
      if (!Finite(transform)) matrices.Add([] { return std::string("its world transform is not finite"); });
      if (!Finite(joint->GetBindTranslation()) || !Finite(joint->GetBindRotation()) || !Finite(joint->GetBindScale())) {
        matrices.Add([] { return std::string("its bind pose is not finite"); });
      }
      Report(kNonFiniteMatrix, joint, matrices);
    }
  }

  void CheckMesh(KvMesh& mesh) {
    Offenders positions, normals, values;
    const uint32_t vertexCount = mesh.GetNumVertices();
    for (uint32_t i = 0; i < vertexCount; ++i) {
      const KvVertex& vertex = *mesh.GetVertex(i);
      if (!Finite(vertex.position)) positions.Add([&] { return "vertex " + std::to_string(i) + " is at " + Text(vertex.position); });
      if (!Finite(vertex.normal)) normals.Add([&] { return "vertex " + std::to_string(i) + " has the normal " + Text(vertex.normal); });
    }
    for (uint32_t i = 0; i < mesh.GetNumTexCoords(); ++i) {
      const KvTexCoord& t = *mesh.GetTexCoord(i);
      if (!Finite(t.u) || !Finite(t.v)) {
        values.Add([&] { return "texture coordinate " + std::to_string(i) + " is (" + Number(t.u) + ", " + Number(t.v) + ")"; });
      }
    }
    for (uint32_t s = 0; s < mesh.GetNumSurfaces(); ++s) {
      if (mesh.GetSurface(s) != nullptr && mesh.GetSurface(s)->GetMaterial() != nullptr) {
        usedMaterials_.insert(mesh.GetSurface(s)->GetMaterial());
      }
    }
    CheckInfluences(mesh, positions);
    CheckMorphTargets(mesh, positions, normals);
    Report(kNonFinitePosition, &mesh, positions);
    Report(kNonFiniteNormal, &mesh, normals);
    Report(kNonFiniteValue, &mesh, values);
  }

  void CheckInfluences(KvMesh& mesh, Offenders& positions) {
    const uint32_t influenceCount = mesh.GetNumInfluences();
    if (influenceCount == 0) return;  // not skinned
    const KvSkeleton* skeleton = mesh.GetSkeleton();
    std::set<const KvJoint*> skeletonJoints;
    for (uint32_t i = 0; skeleton != nullptr && i < skeleton->GetNumJoints(); ++i) {
      skeletonJoints.insert(skeleton->GetJoint(i));
    }
    Offenders weights, joints, sums;
    for (uint32_t k = 0; k < influenceCount; ++k) {
      const KvVertexInfluence& influence = mesh.GetInfluence(k);
      const std::string which = "influence " + std::to_string(k);
      if (!(Finite(influence.weight) && influence.weight > 0.0f)) {
        weights.Add([&] { return which + " has the weight " + Number(influence.weight); });
      }
      if (influence.joint == nullptr) {
        joints.Add([&] { return which + " names no joint"; });
      } else if (skeleton == nullptr) {
        joints.Add([&] { return which + " names the joint " + Name(*influence.joint) + " but the mesh has no skeleton"; });
      } else if (skeletonJoints.count(influence.joint) == 0) {
        joints.Add([&] { return which + " names the joint " + Name(*influence.joint) + ", which is not in the mesh's skeleton"; });
      }
      if (!Finite(influence.positionOffset)) {
        positions.Add([&] { return which + " places its vertex at " + Text(influence.positionOffset); });
      }
    }
    // The loader has made sure that every vertex's run lies inside the list.
    for (uint32_t i = 0; i < mesh.GetNumVertices(); ++i) {
      const KvVertex& vertex = *mesh.GetVertex(i);
      double sum = 0.0;
      for (uint32_t k = 0; k < vertex.influenceCount; ++k) sum += mesh.GetInfluence(vertex.firstInfluence + k).weight;
      if (!(std::fabs(sum - 1.0) <= kWeightSumTolerance)) {
        sums.Add([&] { return "the weights of vertex " + std::to_string(i) + " sum to " + Number(static_cast<float>(sum)) + ", not 1"; });
      }
    }
    Report(kInfluenceWeightInvalid, &mesh, weights);
    Report(kInfluenceJointNotInSkeleton, &mesh, joints);
    Report(kWeightsNotNormalized, &mesh, sums);
  }

  void CheckMorphTargets(KvMesh& mesh, Offenders& positions, Offenders& normals) {
    const KvMorphController* controller = mesh.GetMorphController();
    if (controller == nullptr) return;
    Offenders range;
    for (uint32_t t = 0; t < controller->GetNumMorphTargets(); ++t) {
      const KvMorphTarget& target = controller->GetMorphTarget(t);
      for (uint32_t e = 0; e < target.GetNumMorphVertices(); ++e) {
        const KvMorphVertex& entry = target.GetMorphVertex(e);
        const std::string which = "morph target " + Name(target) + ", entry " + std::to_string(e);
        if (entry.vertexIndex >= mesh.GetNumVertices()) {
          range.Add([&] {
            return which + " moves vertex " + std::to_string(entry.vertexIndex) + " of a mesh of " +
                   std::to_string(mesh.GetNumVertices());
          });
        }
        if (!Finite(entry.positionDelta)) positions.Add([&] { return which + " moves by " + Text(entry.positionDelta); });
        if (!Finite(entry.normalDelta)) normals.Add([&] { return which + " turns the normal by " + Text(entry.normalDelta); });
      }
    }
    Report(kMorphVertexOutOfRange, &mesh, range);
  }

  void CheckLight(KvLight& light) {
    Offenders positions, values;
    if (!Finite(light.GetPosition())) positions.Add([&] { return "the light is at " + Text(light.GetPosition()); });
    if (!Finite(light.GetDirection()) || !Finite(light.GetColor()) || !Finite(light.GetIntensityColor()) ||
        !Finite(light.GetDropOff()) || !Finite(light.GetConeAngle())) {
      values.Add([] { return std::string("its direction, colours, drop-off or cone angle are not finite"); });
    }
    Report(kNonFinitePosition, &light, positions);
    Report(kNonFiniteValue, &light, values);
  }

  void CheckCamera(KvCamera& camera) {
    Offenders positions, values, matrices;
    if (!Finite(camera.GetPosition())) positions.Add([&] { return "the camera is at " + Text(camera.GetPosition()); });
    if (!Finite(camera.GetRotation()) || !Finite(camera.GetFieldOfView())) {
      values.Add([] { return std::string("its rotation or field of view is not finite"); });
    }
    if (!Finite(camera.GetViewMatrix()) || !Finite(camera.GetSecondMatrix()) || !Finite(camera.GetProjectionMatrix())) {
      matrices.Add([] { return std::string("one of its stored matrices is not finite"); });
    }
    Report(kNonFinitePosition, &camera, positions);
    Report(kNonFiniteValue, &camera, values);
    Report(kNonFiniteMatrix, &camera, matrices);
  }

  const LoadedArchive& archive_;
  std::vector<Finding>& findings_;
  std::set<const KvMaterial*> usedMaterials_;
  std::set<const KvTexture*> usedTextures_;
};

// The finding for a file that does not load.
Finding LoadFinding(const LoadedArchive& loaded) {
  Finding finding;
  finding.message = loaded.Detail().empty() ? loaded.Error() : loaded.Detail();
  finding.offset = loaded.Offset();
  switch (loaded.GetFailure()) {
    case LoadedArchive::Failure::kCannotOpen:
      finding.code = kArchiveUnreadable;
      finding.offset = -1;
      break;
    case LoadedArchive::Failure::kNotAnArchive:
      finding.code = kNotAnArchive;
      finding.offset = -1;
      break;
    case LoadedArchive::Failure::kUnsupportedVersion:
      finding.code = kUnsupportedVersion;
      finding.offset = -1;
      break;
    case LoadedArchive::Failure::kTruncated:
      finding.code = kArchiveTruncated;
      break;
    case LoadedArchive::Failure::kUnknownClass:
      finding.code = kUnknownClass;
      break;
    case LoadedArchive::Failure::kTrailingBytes:
      finding.code = kTrailingBytes;
      break;
    default:
      finding.code = kArchiveCorrupt;
      for (const LoaderRule& rule : kLoaderRules) {
        if (loaded.Detail() == rule.detail) finding.code = rule.code;
      }
      break;
  }
  return finding;
}

using Json = nlohmann::ordered_json;

const char* SeverityName(Severity severity) { return severity == Severity::kError ? "error" : "warning"; }

std::string Plural(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

void WriteText(const ArchiveCheck& check, std::ostream& out) {
  for (const Finding& f : check.findings) {
    out << check.path << ": ";
    if (!f.className.empty()) {
      out << f.className;
      if (!f.objectName.empty()) out << " \"" << f.objectName << "\"";
      if (f.objectIndex >= 0) out << " (object " << f.objectIndex << ")";
      out << ": ";
    } else if (f.offset >= 0) {
      out << "byte " << f.offset << ": ";
    }
    out << SeverityName(f.severity) << ": " << f.message << " [" << f.code << "]\n";
  }
  const size_t errors = check.Count(Severity::kError), warnings = check.Count(Severity::kWarning);
  out << check.path << ": "
      << (errors + warnings == 0 ? std::string("no problems found")
                                 : Plural(errors, "error", "errors") + ", " + Plural(warnings, "warning", "warnings"))
      << "\n";
}

Json ToJson(const ArchiveCheck& check) {
  Json findings = Json::array();
  for (const Finding& f : check.findings) {
    Json object = nullptr;
    if (!f.className.empty()) {
      object = Json{{"index", f.objectIndex}, {"class", f.className}, {"name", f.objectName}};
    }
    findings.push_back(Json{{"code", f.code},
                            {"severity", SeverityName(f.severity)},
                            {"message", f.message},
                            {"object", object},
                            {"offset", f.offset >= 0 ? Json(f.offset) : Json(nullptr)}});
  }
  return Json{{"path", check.path},
              {"errors", check.Count(Severity::kError)},
              {"warnings", check.Count(Severity::kWarning)},
              {"findings", findings}};
}

}  // namespace

size_t ArchiveCheck::Count(Severity severity) const {
  size_t count = 0;
  for (const Finding& finding : findings) count += finding.severity == severity ? 1 : 0;
  return count;
}

ArchiveCheck CheckArchive(const std::string& path) {
  ArchiveCheck check;
  check.path = path;
  LoadedArchive loaded(path);
  if (!loaded.Loaded()) {
    check.findings.push_back(LoadFinding(loaded));
    return check;
  }
  auto* scene = KvCast<KvScene>(loaded.Root());
  if (scene == nullptr) {
    Finding finding;
    finding.code = kNotAScene;
    finding.className = loaded.Root()->ClassOf()->GetName().GetAsCString();
    finding.objectIndex = loaded.IndexOf(loaded.Root());
    finding.message = "the root object is a " + finding.className + ", not a KvScene: this is not a rendering archive";
    check.findings.push_back(finding);
    return check;
  }
  SceneChecker(loaded, check.findings).Check(*scene);
  return check;
}

int RunCheck(const std::vector<std::string>& paths, bool json, std::ostream& out) {
  size_t errors = 0, warnings = 0;
  Json archives = Json::array();
  for (const std::string& path : paths) {
    const ArchiveCheck check = CheckArchive(path);
    errors += check.Count(Severity::kError);
    warnings += check.Count(Severity::kWarning);
    if (json) {
      archives.push_back(ToJson(check));
    } else {
      WriteText(check, out);
    }
  }
  if (json) {
    const Json document{{"errors", errors}, {"warnings", warnings}, {"archives", archives}};
    // Names are bytes; any that are not UTF-8 come out as U+FFFD.
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
  }
  return errors == 0 ? kExitOk : kExitBadArchive;
}
