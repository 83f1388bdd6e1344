// Meshes: one KvMesh per visible, non-intermediate mesh shape, with one surface of
// triangles per shading group, then its materials, skin and normals.
#include <algorithm>
#include <cstring>

#include <maya/MDagPath.h>
#include <maya/MFloatArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>
#include <maya/MItDag.h>
#include <maya/MItMeshPolygon.h>
#include <maya/MObjectArray.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MPointArray.h>
#include <maya/MStringArray.h>

#include "kv/Array.h"
#include "kv/ExportLog.h"
#include "kv/ExportStages.h"
#include "kv/Mesh.h"
#include "kv/Name.h"
#include "kv/Scene.h"
#include "kv/String.h"

namespace {

// What the triangles of one mesh need while its surfaces are filled.
struct TriangleSource {
  KvMesh* mesh;
  // The first UV set, or null when the mesh has none.
  const MString* uvSet;
  // Set by the first non-triangle polygon, so that the warning is logged once.
  bool warnedNotTriangulated;
};

// The name of the node that feeds the shading group's "surfaceShader".
KvString MaterialNameOf(const MObject& shadingGroup) {
  MFnDependencyNode group(shadingGroup);
  MPlug surfaceShader = group.findPlug("surfaceShader");
  MPlugArray sources;
  surfaceShader.connectedTo(sources, true, false);
  if (sources.length() == 0) return KvString("No name material.");
  MFnDependencyNode shader(sources[0].node());
  return KvString(shader.name().asChar());
}

// Adds the polygon the iterator stands on to `surface` when it is a triangle.
//
// Texture-coordinate indices: a corner whose UV the host cannot give (a mesh
// without a UV set, an empty first set, a face without UVs in it) gets index 0,
// and so does any index at or beyond the mesh's texture-coordinate count. A mesh
// with texture coordinates therefore only names ones it holds, and a mesh without
// any names 0, which nothing reads. A triangle naming a vertex the mesh does not
// hold is left out, so every written triangle stays inside the mesh.
void AddTriangle(MItMeshPolygon& polygon, KvSurface* surface, TriangleSource& source) {
  if (polygon.polygonVertexCount() != 3) {
    if (!source.warnedNotTriangulated) {
      LogPrintf("WARNING: mesh is not triangulated - failed to import mesh!");
      source.warnedNotTriangulated = true;
    }
    return;
  }
  KvTriangle triangle{};
  for (int corner = 0; corner < 3; ++corner) {
    const int vertex = polygon.vertexIndex(corner);
    if (vertex < 0 || static_cast<uint32_t>(vertex) >= source.mesh->GetNumVertices()) return;
    triangle.vertices[corner] = static_cast<uint32_t>(vertex);
    int uv = 0;
    // A negative index, taken unsigned, is past the count too.
    if (source.uvSet != nullptr && polygon.getUVIndex(corner, uv, source.uvSet) &&
        static_cast<uint32_t>(uv) < source.mesh->GetNumTexCoords()) {
      triangle.texCoords[corner] = static_cast<uint32_t>(uv);
    }
  }
  surface->AddTriangle(triangle);
}

// A surface of `capacity` triangles using `materialName`'s material (none for null).
KvSurface* NewSurface(KvMesh* mesh, uint32_t capacity, const KvString* materialName, KvScene* scene) {
  auto* surface = new KvSurface(mesh);
  surface->SetNumTriangles(capacity);
  if (materialName != nullptr) surface->SetMaterial(scene->FindMaterial(KvName(*materialName)));
  return surface;
}

// One surface holding every polygon of the mesh, whatever its shading group.
void AddWholeMeshSurface(const MDagPath& meshPath, uint32_t polygonCount, const KvString* materialName,
                         KvScene* scene, TriangleSource& source) {
  KvSurface* surface = NewSurface(source.mesh, polygonCount, materialName, scene);
  for (MItMeshPolygon polygon(meshPath); !polygon.isDone(); polygon.next()) AddTriangle(polygon, surface, source);
  source.mesh->AddSurface(surface);
}

// One surface per shading group that holds polygons, in the groups' order.
// Polygons of no group (index -1, or an index past the list) belong to no surface:
// they are not exported.
void AddSurfacePerShadingGroup(const MDagPath& meshPath, const MObjectArray& groups, const MIntArray& groupOfPolygon,
                               KvScene* scene, TriangleSource& source) {
  const uint32_t groupCount = groups.length();
  KvArray<KvString> materialNames(groupCount);
  for (uint32_t g = 0; g < groupCount; ++g) {
    materialNames.PushBack(MaterialNameOf(groups[g]));
    ImportMaterial(MString(materialNames[g].View()), scene);
  }
  KvArray<KvArray<uint32_t>> polygonsOfGroup;
  polygonsOfGroup.Resize(groupCount);
  for (uint32_t p = 0; p < groupOfPolygon.length(); ++p) {
    const int group = groupOfPolygon[p];
    if (group >= 0 && static_cast<uint32_t>(group) < groupCount) {
      polygonsOfGroup[static_cast<uint32_t>(group)].PushBack(p);
    }
  }
  MItMeshPolygon polygon(meshPath);
  for (uint32_t g = 0; g < groupCount; ++g) {
    const KvArray<uint32_t>& polygons = polygonsOfGroup[g];
    if (polygons.Empty()) continue;
    KvSurface* surface = NewSurface(source.mesh, polygons.Size(), &materialNames[g], scene);
    for (uint32_t index : polygons) {
      int previous = 0;
      polygon.setIndex(static_cast<int>(index), previous);
      AddTriangle(polygon, surface, source);
    }
    source.mesh->AddSurface(surface);
  }
}

// Vertices in world space, mirrored in X: one per host point (the host gives one
// per vertex). The host's points are let go before the skin's weights are read.
void AddVertices(const MFnMesh& hostMesh, KvMesh* mesh) {
  MPointArray points;
  hostMesh.getPoints(points, MSpace::kWorld);
  mesh->SetNumVertices(points.length());
  for (uint32_t i = 0; i < points.length(); ++i) {
    KvVertex vertex;
    vertex.position = KvVec3{static_cast<float>(-points[i].x), static_cast<float>(points[i].y),
                             static_cast<float>(points[i].z)};
    vertex.color = KvColor(1.0f, 1.0f, 1.0f, 1.0f);
    mesh->AddVertex(vertex);
  }
}

// Surfaces by shading group.
void AddSurfaces(const MDagPath& meshPath, const MFnMesh& hostMesh, int polygonCount, const MString* firstUVSet,
                 KvMesh* mesh, KvScene* scene) {
  MObjectArray shadingGroups;
  MIntArray groupOfPolygon;
  hostMesh.getConnectedShaders(0, shadingGroups, groupOfPolygon);
  TriangleSource source{mesh, firstUVSet, false};
  const uint32_t triangleCapacity = polygonCount > 0 ? static_cast<uint32_t>(polygonCount) : 0;
  if (shadingGroups.length() == 0) {
    LogPrintf("0 materials applied to mesh.");
    AddWholeMeshSurface(meshPath, triangleCapacity, nullptr, scene, source);
  } else if (shadingGroups.length() == 1) {
    const KvString materialName = MaterialNameOf(shadingGroups[0]);
    ImportMaterial(MString(materialName.View()), scene);
    AddWholeMeshSurface(meshPath, triangleCapacity, &materialName, scene, source);
  } else {
    LogPrintf("%d materials applied to mesh.", static_cast<int>(shadingGroups.length()));
    AddSurfacePerShadingGroup(meshPath, shadingGroups, groupOfPolygon, scene, source);
  }
}

}  // namespace

bool ImportMeshes(KvScene* scene) {
  LogPrintf("Importing meshes...");
  MStatus status;
  MItDag meshIterator(MItDag::kDepthFirst, MFn::kInvalid, &status);
  if (!status) {
    ReportApiError("Failed to create meshIterator!");
    return false;
  }
  const SkinClusters clusters = FindSkinClusters();
  for (; !meshIterator.isDone(); meshIterator.next()) {
    MDagPath path;
    if (!meshIterator.getPath(path)) continue;
    MFnDagNode node(path, &status);
    if (!status) continue;
    const bool isMesh = std::strcmp(meshIterator.item().apiTypeStr(), "kMesh") == 0;
    if (!isMesh || path.hasFn(MFn::kTransform) || node.isIntermediateObject()) continue;
    KvMesh* mesh = ImportMesh(path, scene, &clusters);
    if (mesh == nullptr) continue;
    mesh->ComputeNormals();
    scene->AddMesh(mesh);
  }
  LogPrintf("Finished importing meshes.");
  return true;
}

KvMesh* ImportMesh(MDagPath meshPath, KvScene* scene, const SkinClusters* clusters) {
  MFnMesh hostMesh(meshPath);
  MFnDagNode transformNode(meshPath.transform());
  if (!IsNodeVisible(transformNode)) return nullptr;

  const int vertexCount = hostMesh.numVertices();
  const int polygonCount = hostMesh.numPolygons();
  LogPrintf("Importing mesh: %s with %d vertices and %d polygons...", transformNode.name().asChar(), vertexCount,
            polygonCount);
  auto* mesh = new KvMesh;
  mesh->SetName(KvName(transformNode.name().asChar()));

  // Texture coordinates of the first UV set, v flipped.
  MStringArray uvSets;
  hostMesh.getUVSetNames(uvSets);
  if (uvSets.length() > 1) LogPrintf("Multiple uv sets found!  Only the first set will be used.");
  const MString* firstUVSet = uvSets.length() > 0 ? &uvSets[0] : nullptr;
  if (firstUVSet != nullptr) {
    // One texture coordinate per UV the host gives (none for an empty set).
    MFloatArray u;
    MFloatArray v;
    hostMesh.getUVs(u, v, firstUVSet);
    const uint32_t count = std::min(u.length(), v.length());
    mesh->SetNumTexCoords(count);
    for (uint32_t i = 0; i < count; ++i) mesh->AddTexCoord(KvTexCoord{u[i], static_cast<float>(1.0 - v[i])});
  }

  AddVertices(hostMesh, mesh);
  AddSurfaces(meshPath, hostMesh, polygonCount, firstUVSet, mesh, scene);

  ImportMeshSkin(meshPath, mesh, scene, clusters);
  return mesh;
}
