#pragma once
// Construction history: the polygon nodes whose output the host computes the
// way Maya does (generators such as polyCube, modifiers such as
// polyTriangulate), each family in a file of its own. A family registers its
// node type with its attributes and an evaluation function; the evaluator
// reads the node's inputs and attributes through a PolyEval.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../Core.h"
#include "../NodeTypeBuilder.h"

namespace kvhost {

class PolyEval {
public:
  PolyEval(Node& node, std::vector<std::shared_ptr<const MeshGeom>> inputs, std::vector<int> indices = {})
      : fNode(node), fInputs(std::move(inputs)), fInputIndices(std::move(indices)) {}

  Node& node() const { return fNode; }
  // Input meshes in order (one for a modifier, several for polyUnite).
  const std::vector<std::shared_ptr<const MeshGeom>>& inputs() const { return fInputs; }
  const MeshGeom& input() const { return *fInputs.front(); }
  // Logical index of input i in a multi input (ip[k] of polyUnite).
  int inputIndex(size_t i) const { return i < fInputIndices.size() ? fInputIndices[i] : static_cast<int>(i); }

  // Attribute values, the node type's default when unset.
  double number(const char* attr, int component = 0) const;
  int integer(const char* attr) const;
  bool flag(const char* attr) const { return integer(attr) != 0; }
  MVector vector(const char* attr) const;
  MMatrix matrix(const char* attr, std::vector<int> index = {}) const;
  // Indices of `kind` ("f", "e", "vtx", "map") in a component-list attribute,
  // ascending, resolved against `count` ("[*]" is every index; indices past
  // the end are left out). Nothing when the attribute holds no list.
  std::optional<std::vector<int>> components(const char* attr, const char* kind, int count) const;

  // Maya version that saved the scene (a year such as 2018), or 0 if unknown;
  // a few UV layouts changed between versions.
  int mayaVersion() const;

  // False, with a message saying what would be made, when `count` elements
  // exceed what the host builds.
  bool within(double count, const char* what);
  // Records why the node cannot be evaluated; returns null for convenience.
  std::shared_ptr<const MeshGeom> fail(const std::string& why);
  const std::string& error() const { return fError; }

private:
  Node& fNode;
  std::vector<std::shared_ptr<const MeshGeom>> fInputs;
  std::vector<int> fInputIndices;
  std::string fError;
};

struct PolyFamily {
  enum class Input {
    None,        // a generator: no input
    Polymesh,    // inputPolymesh (ip) -> output (out), as polyModifier
    Polymeshes,  // inputPoly[k] (ip[k]) -> output (out), as polyUnite
    Geometry,    // inputGeometry (ig) -> outputGeometry (og)
  };
  Input input = Input::None;
  std::shared_ptr<const MeshGeom> (*evaluate)(PolyEval&) = nullptr;
  // UV editing the host does not compute (projections, layouts, cuts and
  // sews): the mesh passes through with the UVs it had before the node, and
  // the meshes downstream say so.
  bool uvsKept = false;
};

// Registers every poly node family (called once per scene).
void registerPolyNodeTypes(Scene::Impl& impl);
// Output of a poly node's output plug (out, or og), cached on the node; null
// with the reason in `error` when it cannot be made.
std::shared_ptr<const MeshGeom> polyNodeOutput(Node& node, const PlugKey& key, std::string* error);

// Every face listed in `faces` (all faces when null) split into triangles,
// each new face right where its polygon was; `origin` receives, per output
// face, the input face it came from. Without `edges` the result has no edges
// (the same faces and UVs, for callers that never ask for edges).
std::shared_ptr<MeshGeom> triangulateFaces(const MeshGeom& in, const std::vector<int>* faces,
                                           std::vector<int>& origin, bool edges = true);

// Subdivision levels of polySubdFace (quads, or triangles around a centre)
// over the listed faces (all when null). `origin` receives each output face's
// input face; `map`, when given, receives for the last level the vertex made
// at each input edge's middle and at each input face's centre (-1 if none).
struct LevelMap {
  std::vector<int> midOfEdge, centreOfFace;
};
std::shared_ptr<MeshGeom> subdivideFaces(const MeshGeom& in, const std::vector<int>* faces, int levels, bool triangles,
                                         std::vector<int>& origin);
std::shared_ptr<MeshGeom> subdivideOnce(const MeshGeom& in, std::vector<char>& selected, bool triangles,
                                        std::vector<int>& origin, LevelMap* map);

// Shapes shared by several families: the cone (also the pyramid) and the
// cylinder (also the prism), with Maya's numbers for polyCone/polyCylinder.
struct ConeShape {
  float radius;
  double height;
  int sides, rings, caps;
  bool uvs;
};
std::shared_ptr<const MeshGeom> coneMesh(PolyEval& e, const ConeShape& shape);
struct CylinderShape {
  float radius;
  double height;
  int sides, rings, caps;
  bool uvs;
  bool softSides;  // side edges soft when the faces turn by little
};
std::shared_ptr<const MeshGeom> cylinderMesh(PolyEval& e, const CylinderShape& shape);

// Base types every family builds on: polyBase/polyCreator/polyPrimitive,
// polyModifier and polyModifierWorld, each with Maya's inherited attributes.
void registerPolyBaseTypes(Scene::Impl& impl);

// The family registrations, one per file.
void registerPolyCube(Scene::Impl& impl);
void registerPolyPlane(Scene::Impl& impl);
void registerPolySphere(Scene::Impl& impl);
void registerPolyCylinder(Scene::Impl& impl);
void registerPolyCone(Scene::Impl& impl);
void registerPolyTorus(Scene::Impl& impl);
void registerPolyPyramid(Scene::Impl& impl);
void registerPolyPlatonic(Scene::Impl& impl);
void registerPolyPrism(Scene::Impl& impl);
void registerPolyPipe(Scene::Impl& impl);
void registerPolyTriangulate(Scene::Impl& impl);
void registerPolySubdFace(Scene::Impl& impl);
void registerPolySmoothFace(Scene::Impl& impl);
void registerPolyNormal(Scene::Impl& impl);
void registerPolyTweak(Scene::Impl& impl);
void registerPolyTweakUV(Scene::Impl& impl);
void registerPolyUnite(Scene::Impl& impl);
void registerPolyMergeVert(Scene::Impl& impl);
void registerTransformGeometry(Scene::Impl& impl);
void registerDeleteComponent(Scene::Impl& impl);
void registerPolyPassThrough(Scene::Impl& impl);

}  // namespace kvhost
