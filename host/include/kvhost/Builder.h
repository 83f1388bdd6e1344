#pragma once
// A small scene builder for tests. Every call goes through the same
// primitive operations the .ma reader uses (createNode, setAttr,
// connectAttr, parent), with angles in degrees as in a file. A failing
// operation throws std::runtime_error carrying the scene's error text.

#include <array>
#include <string>
#include <utility>
#include <vector>

#include <kvhost/Scene.h>

namespace kvhost {

using Vec3 = std::array<double, 3>;

struct MeshSpec {
  std::vector<Vec3> points = {};
  std::vector<std::vector<int>> faces = {};             // outer loops, vertex indices
  std::vector<std::pair<int, std::vector<int>>> holes = {};  // (face, loop) hole loops
  struct UVSet {
    std::string name = {};
    std::vector<std::array<double, 2>> uvs = {};
    std::vector<std::vector<int>> faceUVs = {};  // per face (outer loop); empty: no UVs on that face
  };
  std::vector<UVSet> uvSets = {};
};

// Local transform values of a transform or joint node.
struct Xform {
  Vec3 t{0, 0, 0};
  Vec3 r{0, 0, 0};  // degrees
  Vec3 s{1, 1, 1};
  Vec3 jo{0, 0, 0};  // joints only, degrees
  int ro = 0;
};

class OPENMAYA_EXPORT Builder {
public:
  explicit Builder(Scene& scene = Scene::get()) : fScene(scene) {}

  // Primitive operations; node names are returned as the scene made them.
  std::string create(const std::string& type, const std::string& name, const std::string& parent = {});
  void set(const std::string& plug, std::initializer_list<Arg> values, const std::string& type = {});
  void set(const std::string& plug, const std::vector<Arg>& values, const std::string& type = {});
  void connect(const std::string& src, const std::string& dst, bool nextAvailable = false);

  std::string transform(const std::string& name, const std::string& parent = {}, const Xform& x = {});
  // A joint; its inverseScale is connected from a joint parent's scale as Maya does.
  std::string joint(const std::string& name, const std::string& parent = {}, const Xform& x = {});
  // A chain of joints, each a child of the previous, translated by `step`.
  std::vector<std::string> jointChain(const std::string& prefix, int count, const Vec3& step,
                                      const std::string& parent = {});

  // A transform NAME with a mesh shape NAMEShape holding the geometry; returns the shape.
  std::string mesh(const std::string& name, const MeshSpec& spec, const std::string& parent = {},
                   const Xform& x = {});
  // Stores geometry on an existing mesh shape.
  void meshData(const std::string& shape, const MeshSpec& spec);
  // A transform with a visible shape fed by an intermediate NAMEShapeOrig that
  // holds the geometry (as a deformed mesh looks); returns the visible shape.
  std::string deformableMesh(const std::string& name, const MeshSpec& spec, const std::string& parent = {},
                             const Xform& x = {});

  // A material of type lambert/phong/blinn with its shading group NAMESG; returns the group.
  std::string material(const std::string& type, const std::string& name, const Vec3& color = {0.5, 0.5, 0.5});
  void assign(const std::string& shape, const std::string& shadingGroup);
  // Per-face assignment, e.g. faces "f[0:3]".
  void assignFaces(const std::string& shape, const std::string& shadingGroup, const std::vector<std::string>& faces);
  // A file texture connected to the material's color; returns the file node.
  std::string fileTexture(const std::string& name, const std::string& path, const std::string& material);

  // A bind pose (dagPose, bp on) recording the joints' current values; each
  // joint's bindPose matrix is set to its world matrix and connected to wm[i].
  std::string bindPose(const std::string& name, const std::vector<std::string>& joints);
  // A skinCluster inserted in front of the shape. weights[v] lists (influence
  // position, weight); influences get logical indices `logical` (0.. by default).
  std::string skinCluster(const std::string& name, const std::string& shape, const std::vector<std::string>& joints,
                          const std::vector<std::vector<std::pair<int, double>>>& weights,
                          const std::vector<int>& logical = {}, const std::string& bindPose = {});
  // A blendShape inserted in front of the shape, one weight per target shape.
  std::string blendShape(const std::string& name, const std::string& shape, const std::vector<std::string>& targets,
                         const std::vector<double>& weights);

  // A light (pointLight, directionalLight, spotLight, ...) under a transform NAME; returns the shape.
  std::string light(const std::string& type, const std::string& name, const Xform& x = {});
  // A camera under a transform NAME; returns the shape.
  std::string camera(const std::string& name, const Xform& x = {});

  Scene& scene() { return fScene; }

private:
  void check(bool ok);
  void insertDeformer(const std::string& deformer, const std::string& shape, int index);
  Scene& fScene;
};

}  // namespace kvhost
