#pragma once
// The in-memory host scene behind the Maya API, and the primitive operations
// that fill it. They mirror the MEL statements of a Maya ASCII file
// (createNode, setAttr, addAttr, connectAttr, disconnectAttr, parent, rename),
// so the .ma reader and the C++ scene builder share one path into the scene.
//
// Values given to setAttr are in file units: angles in degrees (or radians
// after setCurrentUnit), lengths in centimetres. Every operation returns false on failure and leaves the reason
// in lastError(); a failed operation changes nothing.

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <maya/MObject.h>

namespace kvhost {

// One value token of a setAttr statement: a number, a quoted string, or a bare
// word (yes/no/on/off/true/false, enum names).
struct Arg {
  enum Kind { Number, String, Word };
  Kind kind = Number;
  double number = 0.0;
  std::string text;

  Arg(double n) : number(n) {}
  Arg(int n) : number(n) {}
  Arg(unsigned n) : number(n) {}
  Arg(bool b) : kind(Word), text(b ? "yes" : "no") {}
  Arg(const char* s) : kind(String), text(s) {}
  Arg(std::string s) : kind(String), text(std::move(s)) {}
  static Arg word(std::string w) {
    Arg a(0.0);
    a.kind = Word;
    a.text = std::move(w);
    return a;
  }
};

// Description of a dynamic attribute (addAttr).
struct AttrSpec {
  std::string longName = {};
  std::string shortName = {};             // defaults to the long name
  std::string attributeType = {};         // -at: bool long short byte enum float double doubleLinear doubleAngle
                                     //      double2 double3 float2 float3 long2 long3 compound message matrix
  std::string dataType = {};              // -dt: string stringArray matrix doubleArray Int32Array pointArray ...
  std::string parent = {};                // -p: long name of a compound attribute of the node
  bool multi = false;                // -m
  double defaultValue = 0.0;         // -dv
  int numberOfChildren = 0;          // -nc
};

// A message shown through MGlobal::displayError/displayWarning/displayInfo.
struct Message {
  enum Kind { Info, Warning, Error };
  Kind kind;
  std::string text;
};

class OPENMAYA_EXPORT Scene {
public:
  // The process-wide scene that every Maya API call sees.
  static Scene& get();

  // Removes every node except the world. Handles held by callers become dead.
  void reset();
  // Creates the nodes every Maya scene has (lambert1, initialShadingGroup and
  // the cameras persp, top, front, side with their transforms) unless they
  // exist. They come before all other nodes in iteration order.
  void ensureDefaultNodes();

  // createNode TYPE -n NAME -p PARENT [-s]. An empty name gives TYPE1, TYPE2, ...
  // With `shared`, an existing node of that name is returned instead. Unknown
  // types become generic nodes (DAG nodes when a parent is given).
  MObject createNode(const std::string& type, const std::string& name = {}, const std::string& parent = {},
                     bool shared = false);
  // Whether createNode TYPE makes a node the host knows (otherwise a generic
  // node that only keeps its attributes and connections).
  bool knowsNodeType(const std::string& type) const;
  // A node by name, DAG path ("|grp|pCube1") or namespaced name; null if absent.
  MObject findNode(const std::string& nameOrPath) const;

  // setAttr "node.attr[...]..." VALUES [-type TYPE]. Paths take long or short
  // names, index ranges on the last multi ("vt[0:7]"), nested elements
  // ("wl[3].w[2]"), and a left-out multi index means 0. Values fill the range
  // element after element. An empty value list only checks the plug (a size
  // hint). Unknown attributes on generic nodes are created on the fly.
  bool setAttr(const std::string& plug, std::span<const Arg> values, const std::string& type = {});
  bool setAttr(const std::string& plug, std::initializer_list<Arg> values, const std::string& type = {}) {
    return setAttr(plug, std::span<const Arg>(values.begin(), values.size()), type);
  }
  // Same, with the plug relative to a node (".vt[0:7]" or "vt[0:7]").
  bool setAttr(const MObject& node, const std::string& attrPath, std::span<const Arg> values,
               const std::string& type = {});

  // The same with numbers alone, as long value lists (vertices, edges, UVs,
  // weights) come; numbers in ascending index order fill big multis without a
  // slot per element.
  bool setNumbers(const MObject& node, const std::string& attrPath, std::span<const double> numbers,
                  const std::string& type = {});
  // setAttr -s COUNT on a multi: room for COUNT elements that statements to
  // come fill. A hint only: nothing is created, and an unknown plug is ignored.
  void reserve(const MObject& node, const std::string& attrPath, std::size_t count);

  bool addAttr(const MObject& node, const AttrSpec& spec);
  // connectAttr SRC DST [-na]: with nextAvailable the destination multi gets
  // its next free element. An existing connection into DST is replaced only
  // with force.
  bool connectAttr(const std::string& src, const std::string& dst, bool nextAvailable = false, bool force = true);
  bool disconnectAttr(const std::string& src, const std::string& dst);
  // parent -r CHILD PARENT [-add]; an empty parent means the world. The child
  // keeps its local values (relative, as files write it), so its world
  // position follows the new parent. Without `add` the child leaves its
  // current parents; with it the child gains an instance.
  bool parent(const std::string& child, const std::string& parent, bool add = false);
  bool rename(const MObject& node, const std::string& newName);

  // currentUnit -l LINEAR -a ANGLE: the units of later setAttr values.
  // Angles may be "degree"/"deg" (the default) or "radian"/"rad"; lengths
  // only "centimeter"/"cm", the unit the host works in. Empty leaves a unit as it is.
  bool setCurrentUnit(const std::string& linear, const std::string& angle);

  // The Maya version that saved the scene, as a year (2018 for "2018ff08");
  // 0 when unknown, which gives the newest behaviour. A few primitives' UV
  // layouts changed between versions.
  void setMayaVersion(int year);
  int mayaVersion() const;

  // Mesh > Triangulate on every mesh: while on, the API shows the polygons of
  // every mesh shape that is not an intermediate object split into triangles
  // (vertex order, per-corner UVs and per-face shading kept). What shapes
  // feed into other nodes is unchanged, so deformers and blend-shape targets
  // see the meshes as they are.
  void setTriangulateMeshes(bool on);

  // Most vertices, face vertices or UVs one construction-history node may make
  // (2^25 unless set); a node that would make more leaves its mesh without
  // geometry, with a message saying so.
  void setMaxMeshElements(double count);

  // Evaluates the meshes an export takes (not intermediate, transform
  // visible) and reports those without geometry, once each: the API does not
  // show their error again; and those whose UVs come from before a UV edit
  // the host does not compute.
  struct MeshReport {
    int meshes = 0;                // meshes evaluated
    long polygonsTriangulated = 0; // polygons of more than three sides split
    std::vector<std::string> problems;  // "mesh 'NAME': CAUSE; the mesh has no geometry"
    // Meshes made with UV editing the host does not compute: "mesh 'NAME':
    // 'polyLayoutUV1' (polyLayoutUV) is not computed; the mesh keeps the UVs
    // from before it".
    std::vector<std::string> notes;
  };
  MeshReport checkMeshes();

  const std::string& lastError() const;

  // Messages shown through MGlobal since the last clearMessages().
  const std::vector<Message>& messages() const;
  void clearMessages();
  void addMessage(Message::Kind kind, const std::string& text);

  struct Impl;
  Impl& impl() { return *fImpl; }
  const Impl& impl() const { return *fImpl; }

  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;
  ~Scene();

private:
  Scene();
  std::unique_ptr<Impl> fImpl;
};

}  // namespace kvhost
