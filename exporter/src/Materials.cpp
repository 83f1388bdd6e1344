// Materials and textures: one KvMaterial per Lambert, Phong or Blinn shader a mesh
// uses, and one KvTexture per file texture on a material's colour. Both are shared
// through the scene by name.
#include <cstring>

#include <maya/MColor.h>
#include <maya/MFnBlinnShader.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnLambertShader.h>
#include <maya/MFnPhongShader.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>

#include "kv/ExportLog.h"
#include "kv/ExportStages.h"
#include "kv/Material.h"
#include "kv/Name.h"
#include "kv/Scene.h"
#include "kv/String.h"
#include "kv/Texture.h"

namespace {

// The colour channels each shader type reads, in order.
constexpr const char* kLambertChannels[] = {"ambientColor", "color", "incandescence", "transparency"};
constexpr const char* kReflectChannels[] = {"ambientColor", "color", "specularColor", "incandescence",
                                            "transparency"};

template <size_t N>
KvMaterial* NewMaterial(MFnDependencyNode& shader, const MString& name, const char* const (&channels)[N],
                        KvScene* scene) {
  auto* material = new KvMaterial(KvName(name.asChar()));
  for (const char* channel : channels) ImportMaterialChannel(shader, MString(channel), material, scene);
  return material;
}

// The material of `node` when it is a Lambert, Phong or Blinn shader named `name`;
// null for any other node. The type is told by its exact type string, so shader
// types other than the three never match.
KvMaterial* MaterialOfShader(const MObject& node, const MString& name, KvScene* scene) {
  const char* type = node.apiTypeStr();
  if (std::strcmp(type, "kLambert") == 0) {
    MFnLambertShader shader(node);
    if (!(shader.name() == name)) return nullptr;
    LogPrintf("Importing [Lambert] material %s...", name.asChar());
    return NewMaterial(shader, name, kLambertChannels, scene);
  }
  if (std::strcmp(type, "kPhong") == 0) {
    MFnPhongShader shader(node);
    if (!(shader.name() == name)) return nullptr;
    LogPrintf("Importing [Phong] material %s...", name.asChar());
    KvMaterial* material = NewMaterial(shader, name, kReflectChannels, scene);
    material->SetSpecularPower(shader.cosPower());
    return material;
  }
  if (std::strcmp(type, "kBlinn") == 0) {
    MFnBlinnShader shader(node);
    if (!(shader.name() == name)) return nullptr;
    LogPrintf("Importing [Blinn] material %s...", name.asChar());
    // The one power field carries the Blinn eccentricity as it is, unscaled.
    KvMaterial* material = NewMaterial(shader, name, kReflectChannels, scene);
    material->SetSpecularPower(shader.eccentricity());
    return material;
  }
  return nullptr;
}

// The channel's colour from its "R", "G", "B" and "A" component plugs; a component
// the shader lacks (Maya shaders have no alpha plugs) keeps MColor's default.
KvColor ChannelColor(MFnDependencyNode& shader, const MString& channel) {
  MColor color;
  const char* const suffixes[] = {"R", "G", "B", "A"};
  for (unsigned int i = 0; i < 4; ++i) {
    MStatus status;
    MPlug component = shader.findPlug(channel + suffixes[i], &status);
    if (!status) continue;
    float value = color[i];
    if (component.getValue(value, MDGContext::fsNormal)) color[i] = value;
  }
  return KvColor(color.r, color.g, color.b, color.a);
}

// The first file texture connected into the channel's plug; a null object if none.
MObject ChannelTexture(MFnDependencyNode& shader, const MString& channel) {
  MStatus status;
  MPlug plug = shader.findPlug(channel, &status);
  if (!status) return MObject::kNullObj;
  MPlugArray sources;
  plug.connectedTo(sources, true, false);
  for (unsigned int i = 0; i < sources.length(); ++i) {
    MObject node = sources[i].node();
    if (std::strcmp(node.apiTypeStr(), "kFileTexture") == 0) return node;
  }
  return MObject::kNullObj;
}

void LogIgnoredTexture(const char* kind, const MObject& texture) {
  if (texture.isNull()) return;
  MFnDependencyNode textureNode(texture);
  LogPrintf("Only diffuse textures are supported.  %s texture %s ignored.", kind, textureNode.name().asChar());
}

}  // namespace

void ImportMaterial(MString materialName, KvScene* scene) {
  if (scene->FindMaterial(KvName(materialName.asChar())) != nullptr) return;
  MStatus status;
  MItDependencyNodes nodes(MFn::kInvalid, &status);
  if (!status) {
    LogPrintf("Couldn't get dependency node iterator!");
    return;
  }
  for (; !nodes.isDone(); nodes.next()) {
    KvMaterial* material = MaterialOfShader(nodes.item(), materialName, scene);
    if (material != nullptr) {
      scene->AddMaterial(material);
      return;
    }
  }
}

void ImportMaterialChannel(MFnDependencyNode& shader, MString channel, KvMaterial* material, KvScene* scene) {
  if (material == nullptr) return;
  const KvColor color = ChannelColor(shader, channel);
  const MObject texture = ChannelTexture(shader, channel);
  if (channel == "ambientColor") {
    material->SetAmbientColor(color);
    LogIgnoredTexture("Ambient", texture);
  } else if (channel == "color") {
    material->SetDiffuseColor(color);
    if (!texture.isNull()) {
      MFnDependencyNode textureNode(texture);
      MString fileName;
      textureNode.findPlug("ftn").getValue(fileName, MDGContext::fsNormal);
      ImportTexture(fileName, scene);
      material->SetDiffuseTexture(scene->FindTexture(KvName(fileName.asChar())));
    }
  } else if (channel == "specularColor") {
    material->SetSpecularColor(color);
    LogIgnoredTexture("Specular", texture);
  } else if (channel == "incandescence") {
    material->SetEmissiveColor(color);
    LogIgnoredTexture("Incandescence", texture);
  } else if (channel == "transparency") {
    // Read like every channel, but the material has no field for it.
    LogIgnoredTexture("Transparency", texture);
  }
}

void ImportTexture(MString fileName, KvScene* scene) {
  if (scene->FindTexture(KvName(fileName.asChar())) != nullptr) return;
  LogPrintf("Importing texture %s...", fileName.asChar());
  auto* texture = new KvTexture(KvName(fileName.asChar()));
  if (!texture->LoadImage(KvString(fileName.asChar()))) LogPrintf("Could not load texture!");
  // A texture whose file cannot be loaded is still exported, by name, without pixels.
  scene->AddTexture(texture);
}
