#pragma once
// Maya ASCII (.ma) reader: executes the MEL statements that Maya writes into a
// scene file (createNode, setAttr, addAttr, connectAttr, parent, ...) against
// the host scene, kvhost::Scene::get().
//
// The file is read in one streaming pass. Syntax faults (an unterminated
// string or statement, a missing argument, a malformed plug index) stop the
// read with an error "file:line: what was expected". What the host cannot take
// (unknown node types, attributes and statements, values an attribute
// refuses) is kept or skipped and reported as a warning, once per kind with a
// count, the way Maya keeps loading a file that holds a few bad statements.
//
// After a failed read the scene holds what the statements before the error
// made. The host scene is process-wide, so reads must not run concurrently.
//
// File references (file -r) load the referenced .ma files into their
// namespaces, nested ones included, and the edits their reference nodes
// recorded are applied when the file that recorded them ends. A reference
// that cannot be loaded (not found, a cycle, nested too deep, unreadable) does
// not fail the read: the result lists it with the reason, and the read goes
// on without it, as Maya does.

#include <cstddef>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace kvhost {

struct MayaAsciiOptions {
  // Empty the scene first, as File > Open does.
  bool resetScene = true;
  // Create the nodes every Maya scene has (default cameras, lambert1, the
  // initial shading groups) before the file's own nodes.
  bool defaultNodes = true;
  // Host failures (a value an attribute refuses, a connection to a missing
  // node) become errors instead of warnings.
  bool strict = false;
  // Most values one setAttr statement may hold once it has been split into
  // pieces; beyond it the read fails rather than exhausting memory.
  std::size_t maxStatementValues = std::size_t{1} << 23;
  // Values after which a long array statement (vertices, edges, faces,
  // weights) goes to the host in a separate piece. Tests lower it to check
  // that pieces add up to the same scene.
  std::size_t pieceValues = std::size_t{1} << 16;
  // Estimated steps of host work that grow with what a node already holds
  // (its connections and DAG children, which the host walks on every change,
  // and array elements inserted before existing ones). A file built to make
  // loading quadratic fails once past it; Maya's files stay far below.
  std::size_t maxHostWork = std::size_t{1} << 29;
  // Called between statements each time another `progressStep` bytes have
  // been read, and once at the end, with the bytes read so far and the total
  // (0 when unknown, as for a stream).
  std::function<void(std::size_t done, std::size_t total)> progress;
  std::size_t progressStep = std::size_t{1} << 20;
  // Namespaces ("hero", or "hero:model" for a nested one) whose references
  // are not loaded.
  std::vector<std::string> skipReferences;
  // Folders where referenced files are also looked for, after the places a
  // moved Maya project's files are found in.
  std::vector<std::string> referencePaths;
  // Deepest nesting of references loaded; deeper ones fail to load.
  int maxReferenceDepth = 16;
};

// A file reference of the scene or of a file it references.
struct MayaAsciiReference {
  enum class State { Loaded, Skipped, Failed };
  State state = State::Failed;
  std::string nameSpace;  // as the scene knows it: "hero", "hero:model"
  std::string node;       // the reference node, "heroRN"
  std::string file;       // as the file -r statement wrote it
  std::string path;       // the file found; empty when none was
  int depth = 1;          // 1 for a reference of the opened scene
  std::string error;      // Failed: "file:line: what" naming the file and why
};

// One kind of warning with the number of times it occurred.
struct MayaAsciiWarning {
  std::string text;  // "file:line: what" of the first occurrence
  std::string kind;  // what the occurrences share ("unknown node type 'script'")
  int count = 0;
};

struct MayaAsciiStats {
  std::size_t statements = 0;  // statements executed or skipped
  std::size_t nodes = 0;       // createNode statements that gave a node
};

struct MayaAsciiResult {
  bool success = false;
  std::string error;  // "file:line: what was expected"; empty on success
  std::vector<MayaAsciiWarning> warnings;  // in order of first occurrence
  MayaAsciiStats stats;
  std::vector<MayaAsciiReference> references;  // in the order their file statements were read

  explicit operator bool() const { return success; }
  // Sum of the warning counts.
  int warningCount() const;
  // The warning whose kind contains `needle`, or null.
  const MayaAsciiWarning* findWarning(std::string_view needle) const;
};

// Reads the .ma file at `path`.
MayaAsciiResult readMayaAsciiFile(const std::string& path, const MayaAsciiOptions& options = {});
// Reads .ma text from a stream; `fileName` names it in messages.
MayaAsciiResult readMayaAscii(std::istream& in, const std::string& fileName, const MayaAsciiOptions& options = {});
// Reads .ma text held in memory; `fileName` names it in messages.
MayaAsciiResult readMayaAsciiString(std::string_view text, const std::string& fileName,
                                    const MayaAsciiOptions& options = {});

}  // namespace kvhost
