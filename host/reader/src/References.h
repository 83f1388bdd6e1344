#pragma once
// File references in Maya ASCII scenes: the namespace a referenced file's
// names go into, where a referenced file is looked for, the edits a reference
// node records against the nodes it brought in, and the bookkeeping of every
// reference one read loads (skipped, missing, cyclic or too deep ones
// included).

#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <kvhost/MayaAscii.h>
#include <kvhost/Scene.h>

namespace kvhost {

// The names of one file being read. A referenced file's nodes go into its
// namespace: "body" becomes "hero:body", "|grp|body" "|hero:grp|hero:body", a
// nested reference's "model:body" "hero:model:body". Names in the root
// namespace (":time1") and the shared nodes the file made with createNode -s
// (the default cameras) stay as written.
class Namespace {
public:
  Namespace() = default;
  explicit Namespace(std::string name) : fName(std::move(name)) {}

  const std::string& name() const { return fName; }
  // The namespace of a reference this file makes with -ns `child`; a child
  // written ":child" is a namespace of its own under the root.
  std::string nested(const std::string& child) const;
  // Leaves `name` as written from now on (createNode -s).
  void keepShared(const std::string& name);

  // A node name or DAG path as this file wrote it, as the scene knows it.
  std::string node(const std::string& written) const;
  // A plug ("node.attr[1]") as this file wrote it, its node part qualified.
  std::string plug(const std::string& written) const;

private:
  std::string component(const std::string& name) const;

  std::string fName;
  std::unordered_set<std::string> fShared;
};

// Where a referenced file was looked for, in order, and the first that exists.
struct ReferenceSearch {
  std::vector<std::string> tried;
  std::string found;  // empty when none exists
};

// Looks for a referenced file the way Maya finds the files of a moved
// project: the stored path (absolute, or relative to the referencing file's
// folder), then the same file name beside the referencing file, then in a
// "scenes" folder beside it, then in each of `extraFolders`. Windows paths
// ("C:\\proj\\hero.ma") are understood; on other systems only their file
// name can match.
ReferenceSearch findReferencedFile(const std::string& stored, const std::string& referencingFile,
                                   const std::vector<std::string>& extraFolders);

// One edit that a reference node recorded (setAttr .ed -type
// "dataReferenceEdits"). Names are as the recording file wrote them.
struct ReferenceEdit {
  enum class Kind {
    Parent,       // child, parent ("" for the world), flags
    AddAttr,      // node, long name, short name, flags
    SetAttr,      // node, attribute, flags and values
    Connect,      // source plug, destination plug, flags
    Disconnect,   // source plug, destination plug
    Placeholder,  // see `subtype`
    Ignored,      // an edit that changes nothing the host keeps (locks, attribute deletions)
  };
  Kind kind = Kind::Ignored;
  std::string group;  // the reference node whose nodes the edit targets
  // Placeholder edits route a connection made in the recording file through
  // one element of a reference node's placeHolderList: the fields are the
  // reference's plug, the placeholder standing for the connection's other
  // end, and the plug originally there.
  int subtype = 0;
  std::vector<std::string> fields;
};

// Parses the values of a dataReferenceEdits setAttr into `edits` (appending).
// On malformed values it returns false with the reason in `error`; the edits
// before the fault are kept.
bool parseReferenceEdits(std::span<const Arg> values, std::vector<ReferenceEdit>& edits, std::string& error);

// The MEL statement that performs an edit (names as recorded); empty for
// placeholder and ignored edits.
std::string editStatement(const ReferenceEdit& edit);

// The nodes (as recorded) an edit needs to exist.
std::vector<std::string> editTargets(const ReferenceEdit& edit);

// Connects a plug to whatever the placeholder plug is connected to: the
// placeholder's source to `plug`, and `plug` to each of its destinations.
// Names are as the scene knows them. False, with the reason, when the host
// refuses a connection.
bool connectThroughPlaceholder(const std::string& plug, const std::string& placeholder, std::string& error);

// What one file's read knows of its references.
struct ReferenceScope {
  Namespace names;
  int depth = 0;  // 0 for the opened scene, 1 for its references, ...
  struct PendingEdit {
    ReferenceEdit edit;
    int line;
  };
  // Recorded on this file's reference nodes; applied when the file ends.
  std::vector<PendingEdit> edits;
};

// A "file" statement's reference fields.
struct FileStatement {
  bool reference = false;   // -r: load the file
  int depthInfo = 0;        // -rdi N: describes a reference (loaded by a -r line)
  std::string nameSpace;    // -ns, empty when absent
  std::string node;         // -rfn, empty when absent
  std::string type;         // -typ
  std::string path;
};

// The references of one read, across every level of nesting.
class ReferenceLoader {
public:
  // Reads the file at `path` into `scope`; returns "" or the reason it failed.
  using ReadFile = std::function<std::string(const std::string& path, ReferenceScope& scope)>;

  ReferenceLoader(const MayaAsciiOptions& options, MayaAsciiResult& result, const std::string& openedFile);

  // Loads the reference of a `file -r` statement at `where` ("file:line: ")
  // in `scope`'s file, unless it is skipped, cannot be found, would close a
  // cycle or nest too deep. Records the outcome in the result; returns a
  // warning for the reader to show, or "".
  std::string load(const FileStatement& statement, const std::string& where, const std::string& file,
                   const ReferenceScope& scope, const ReadFile& read);

  // Whether edits recorded for reference node `node` (as the scene knows it)
  // apply: false when that reference was skipped or failed to load.
  bool editsApply(const std::string& node) const;

private:
  const MayaAsciiOptions& fOptions;
  MayaAsciiResult& fResult;
  std::vector<std::string> fChain;  // files being read, the opened scene first
  std::unordered_map<std::string, bool> fLoadedByNode;
  std::unordered_set<std::string> fNamespaces;
};

}  // namespace kvhost
