// File references: namespaces, the search for referenced files, reference
// edits, and the bookkeeping of the references one read loads.

#include "References.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <system_error>

#include <kvhost/Scene.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MString.h>

namespace fs = std::filesystem;

namespace kvhost {

namespace {

// Where the node part of "node.attr" ends: at the first '.' after the last '|'.
size_t nodePartEnd(const std::string& plug) {
  size_t bar = plug.rfind('|');
  size_t dot = plug.find('.', bar == std::string::npos ? 0 : bar);
  return dot == std::string::npos ? plug.size() : dot;
}

// A name in double quotes, as a MEL string.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

bool isWindowsAbsolute(const std::string& path) {
  bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
               (path[2] == '/' || path[2] == '\\');
  return drive || path.rfind("\\\\", 0) == 0;
}

// The file name of a path written on any system.
std::string fileNameOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

// ------------------------------------------------------------------ namespaces

std::string Namespace::nested(const std::string& child) const {
  if (!child.empty() && child[0] == ':') return child.substr(1);
  return fName.empty() ? child : fName + ":" + child;
}

void Namespace::keepShared(const std::string& name) {
  if (!fName.empty()) fShared.insert(name);
}

std::string Namespace::component(const std::string& name) const {
  if (name.empty() || name[0] == ':' || fShared.count(name)) return name;
  return fName + ":" + name;
}

std::string Namespace::node(const std::string& written) const {
  if (fName.empty()) return written;
  if (written.find('|') == std::string::npos) return component(written);
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t bar = written.find('|', start);
    out += component(written.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) return out;
    out.push_back('|');
    start = bar + 1;
  }
}

std::string Namespace::plug(const std::string& written) const {
  if (fName.empty()) return written;
  size_t end = nodePartEnd(written);
  return node(written.substr(0, end)) + written.substr(end);
}

// ------------------------------------------------------------------ finding files

ReferenceSearch findReferencedFile(const std::string& stored, const std::string& referencingFile,
                                   const std::vector<std::string>& extraFolders) {
  std::error_code ec;
  fs::path folder = fs::absolute(fs::path(referencingFile), ec).parent_path();
  std::string name = fileNameOf(stored);
  std::vector<fs::path> places;
  if (fs::path(stored).is_absolute() || isWindowsAbsolute(stored)) {
    places.emplace_back(stored);
  } else {
    std::string relative = stored;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    places.push_back(folder / relative);
  }
  if (!name.empty()) {
    places.push_back(folder / name);
    places.push_back(folder / "scenes" / name);
    for (const std::string& extra : extraFolders) places.push_back(fs::absolute(fs::path(extra), ec) / name);
  }
  ReferenceSearch search;
  for (const fs::path& place : places) {
    std::string text = place.lexically_normal().string();
    if (std::find(search.tried.begin(), search.tried.end(), text) != search.tried.end()) continue;
    search.tried.push_back(text);
    if (search.found.empty() && fs::is_regular_file(place, ec)) search.found = text;
  }
  return search;
}

// ------------------------------------------------------------------ edits

namespace {

// Reads the values of a dataReferenceEdits attribute: the reference node that
// holds them, then groups of a reference node name and a count followed by
// that many edits, each a type code and its fields.
class EditParser {
public:
  EditParser(std::span<const Arg> values, std::vector<ReferenceEdit>& edits) : fValues(values), fEdits(edits) {}

  bool parse(std::string& error) {
    if (fValues.empty()) return true;
    if (fValues[0].kind != Arg::String) return fail(error, "expected the name of the reference node");
    fPos = 1;
    while (fPos < fValues.size()) {
      if (fValues[fPos].kind != Arg::String) return fail(error, "expected a reference node name");
      std::string group = fValues[fPos++].text;
      long long count = 0;
      if (!wholeNumber(count) || count < 0) return fail(error, "expected a count of edits after '" + group + "'");
      for (long long i = 0; i < count; ++i)
        if (!edit(group, i + 1 == count, error)) return false;
    }
    return true;
  }

private:
  bool fail(std::string& error, const std::string& what) {
    error = "value " + std::to_string(fPos + 1) + ": " + what;
    return false;
  }

  bool wholeNumber(long long& out) {
    if (fPos >= fValues.size() || fValues[fPos].kind != Arg::Number) return false;
    double d = fValues[fPos].number;
    if (!(std::fabs(d) < 1e15) || d != std::floor(d)) return false;
    out = static_cast<long long>(d);
    ++fPos;
    return true;
  }

  bool fields(size_t count, ReferenceEdit& edit) {
    for (size_t i = 0; i < count; ++i, ++fPos) {
      if (fPos >= fValues.size() || fValues[fPos].kind == Arg::Number) return false;
      edit.fields.push_back(fValues[fPos].text);
    }
    return true;
  }

  bool edit(const std::string& group, bool lastOfGroup, std::string& error) {
    ReferenceEdit edit;
    edit.group = group;
    long long code = 0;
    if (!wholeNumber(code)) return fail(error, "expected the type of an edit of '" + group + "'");
    using Kind = ReferenceEdit::Kind;
    // Fields per type code, as Maya writes them.
    size_t count = 0;
    switch (code) {
      case 0: edit.kind = Kind::Parent; count = 3; break;
      case 1: edit.kind = Kind::AddAttr; count = 4; break;
      case 2: edit.kind = Kind::SetAttr; count = 3; break;
      case 3: edit.kind = Kind::Connect; count = 3; break;
      case 4: count = 3; break;  // deleteAttr: node, attribute, flags
      case 5: {
        long long subtype = 0;
        if (!wholeNumber(subtype)) return fail(error, "expected the kind of a placeholder edit");
        edit.kind = Kind::Placeholder;
        edit.subtype = static_cast<int>(subtype);
        count = subtype == 0 ? 6 : 4;
        break;
      }
      case 7: edit.kind = Kind::Disconnect; count = 2; break;
      case 8:
      case 9: count = 2; break;  // lock and unlock: node, attribute
      default:
        // An edit type this reader does not know: its fields run to the next
        // type code, or to the next group after the last edit of a group.
        while (fPos < fValues.size() && fValues[fPos].kind != Arg::Number &&
               !(lastOfGroup && fValues[fPos].kind == Arg::String && fPos + 1 < fValues.size() &&
                 fValues[fPos + 1].kind == Arg::Number))
          ++fPos;
        fEdits.push_back(std::move(edit));
        return true;
    }
    if (!fields(count, edit)) return fail(error, "edit type " + std::to_string(code) + " of '" + group + "' is incomplete");
    if (edit.kind == Kind::Placeholder) {
      // The recording reference node comes first; the plugs follow. A record
      // of a connection between two of the reference's own plugs is not
      // applied: the connect edit that made it is.
      edit.fields.erase(edit.fields.begin());
      if (edit.subtype == 0) edit.kind = Kind::Ignored;
    }
    fEdits.push_back(std::move(edit));
    return true;
  }

  std::span<const Arg> fValues;
  std::vector<ReferenceEdit>& fEdits;
  size_t fPos = 0;
};

}  // namespace

bool parseReferenceEdits(std::span<const Arg> values, std::vector<ReferenceEdit>& edits, std::string& error) {
  return EditParser(values, edits).parse(error);
}

std::string editStatement(const ReferenceEdit& edit) {
  const std::vector<std::string>& f = edit.fields;
  switch (edit.kind) {
    case ReferenceEdit::Kind::Parent:
      if (f[1].empty()) return "parent -w " + f[2] + " " + quoted(f[0]) + ";";
      return "parent " + f[2] + " " + quoted(f[0]) + " " + quoted(f[1]) + ";";
    case ReferenceEdit::Kind::AddAttr:
      return "addAttr -ln " + quoted(f[1]) + " -sn " + quoted(f[2]) + " " + f[3] + " " + quoted(f[0]) + ";";
    case ReferenceEdit::Kind::SetAttr: return "setAttr " + quoted(f[0] + "." + f[1]) + " " + f[2] + ";";
    case ReferenceEdit::Kind::Connect: return "connectAttr " + quoted(f[0]) + " " + quoted(f[1]) + " " + f[2] + ";";
    case ReferenceEdit::Kind::Disconnect: return "disconnectAttr " + quoted(f[0]) + " " + quoted(f[1]) + ";";
    case ReferenceEdit::Kind::Placeholder:
    case ReferenceEdit::Kind::Ignored: break;
  }
  return {};
}

std::vector<std::string> editTargets(const ReferenceEdit& edit) {
  const std::vector<std::string>& f = edit.fields;
  auto nodeOf = [](const std::string& plug) { return plug.substr(0, nodePartEnd(plug)); };
  switch (edit.kind) {
    case ReferenceEdit::Kind::Parent:
      if (f[1].empty()) return {f[0]};
      return {f[0], f[1]};
    case ReferenceEdit::Kind::AddAttr:
    case ReferenceEdit::Kind::SetAttr: return {f[0]};
    case ReferenceEdit::Kind::Connect:
    case ReferenceEdit::Kind::Disconnect: return {nodeOf(f[0]), nodeOf(f[1])};
    case ReferenceEdit::Kind::Placeholder: return {nodeOf(f[0])};
    case ReferenceEdit::Kind::Ignored: break;
  }
  return {};
}

bool connectThroughPlaceholder(const std::string& plug, const std::string& placeholder, std::string& error) {
  // "RN.placeHolderList[3]": files connect to the short name, "RN.phl[3]".
  size_t end = nodePartEnd(placeholder);
  size_t open = placeholder.find('[', end);
  size_t close = placeholder.find(']', end);
  std::string indexText = open < close && close != std::string::npos ? placeholder.substr(open + 1, close - open - 1) : "";
  if (indexText.empty() || indexText.size() > 9 ||
      !std::all_of(indexText.begin(), indexText.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    error = "'" + placeholder + "' is not a placeholder";
    return false;
  }
  Scene& scene = Scene::get();
  MObject node = scene.findNode(placeholder.substr(0, end));
  if (node.isNull()) {
    error = "no node named '" + placeholder.substr(0, end) + "'";
    return false;
  }
  MFnDependencyNode fn(node);
  if (!fn.hasAttribute("phl")) return true;  // nothing was connected through it
  MPlug element = fn.findPlug("phl").elementByLogicalIndex(static_cast<unsigned>(std::stoul(indexText)));
  // A connected plug's name, its node named by DAG path where it has one.
  auto nameOf = [](const MPlug& p) {
    MObject n = p.node();
    std::string nodeName = n.hasFn(MFn::kDagNode) ? MFnDagNode(n).fullPathName().asChar() : MFnDependencyNode(n).name().asChar();
    std::string full = p.name().asChar();
    return nodeName + full.substr(std::string(MFnDependencyNode(n).name().asChar()).size());
  };
  MPlugArray sources, destinations;
  element.connectedTo(sources, true, false);
  element.connectedTo(destinations, false, true);
  // A plug named without an index (a set's dagSetMembers) gets its next free element.
  for (unsigned i = 0; i < sources.length(); ++i)
    if (!scene.connectAttr(nameOf(sources[i]), plug, true, true)) {
      error = scene.lastError();
      return false;
    }
  for (unsigned i = 0; i < destinations.length(); ++i)
    if (!scene.connectAttr(plug, nameOf(destinations[i]), false, true)) {
      error = scene.lastError();
      return false;
    }
  return true;
}

// ------------------------------------------------------------------ loading

ReferenceLoader::ReferenceLoader(const MayaAsciiOptions& options, MayaAsciiResult& result,
                                 const std::string& openedFile)
    : fOptions(options), fResult(result) {
  std::error_code ec;
  fChain.push_back(fs::weakly_canonical(fs::absolute(openedFile, ec), ec).string());
}

std::string ReferenceLoader::load(const FileStatement& statement, const std::string& where, const std::string& file,
                                  const ReferenceScope& scope, const ReadFile& read) {
  MayaAsciiReference ref;
  ref.file = statement.path;
  ref.depth = scope.depth + 1;
  // Maya's defaults: the namespace is the file's name, the node the namespace + "RN".
  std::string written = statement.nameSpace;
  if (written.empty()) {
    written = fileNameOf(statement.path);
    written = written.substr(0, written.rfind('.'));
  }
  ref.nameSpace = scope.names.nested(written);
  ref.node = scope.names.node(statement.node.empty() ? written + "RN" : statement.node);
  if (fLoadedByNode.count(ref.node))
    return "reference node '" + ref.node + "' is named by two 'file -r' statements (the second is ignored)";

  // The entry goes in before the file is read, so that references precede
  // the ones their files make.
  size_t index = fResult.references.size();
  fLoadedByNode[ref.node] = false;
  fResult.references.push_back(ref);
  auto finish = [&](MayaAsciiReference::State state, const std::string& error) {
    MayaAsciiReference& entry = fResult.references[index];
    entry.state = state;
    if (!error.empty()) entry.error = where + error;
    fLoadedByNode[entry.node] = state == MayaAsciiReference::State::Loaded;
  };
  std::string describe = "referenced file \"" + statement.path + "\" (namespace " + ref.nameSpace + ")";

  const auto& skip = fOptions.skipReferences;
  if (std::find(skip.begin(), skip.end(), ref.nameSpace) != skip.end()) {
    finish(MayaAsciiReference::State::Skipped, "");
    return {};
  }
  std::string problem;
  ReferenceSearch search;
  if (!statement.type.empty() && statement.type != "mayaAscii") {
    problem = describe + ": " + (statement.type == "mayaBinary" ? "Maya Binary files cannot be read; save it as Maya ASCII"
                                                                 : "files of type \"" + statement.type + "\" cannot be read");
  } else if (ref.depth > fOptions.maxReferenceDepth) {
    problem = describe + " is nested more than " + std::to_string(fOptions.maxReferenceDepth) + " references deep";
  } else {
    search = findReferencedFile(statement.path, file, fOptions.referencePaths);
    if (search.found.empty()) {
      std::string places;
      for (const std::string& place : search.tried) places += (places.empty() ? "" : ", ") + place;
      problem = describe + " not found; looked in: " + places;
    }
  }
  std::error_code ec;
  std::string canonical = problem.empty() ? fs::weakly_canonical(search.found, ec).string() : std::string();
  if (problem.empty() && std::find(fChain.begin(), fChain.end(), canonical) != fChain.end()) {
    std::string cycle;
    for (auto it = std::find(fChain.begin(), fChain.end(), canonical); it != fChain.end(); ++it) cycle += *it + " -> ";
    problem = describe + " would close a cycle: " + cycle + canonical;
  }
  if (!problem.empty()) {
    finish(MayaAsciiReference::State::Failed, problem);
    return {};
  }

  // Two references into one namespace: the second gets a numbered one, as in Maya.
  std::string warning;
  if (fNamespaces.count(ref.nameSpace)) {
    std::string base = ref.nameSpace;
    for (int n = 1; fNamespaces.count(ref.nameSpace); ++n) ref.nameSpace = base + std::to_string(n);
    warning = "namespace '" + base + "' is already taken; the reference loads into '" + ref.nameSpace + "'";
    fResult.references[index].nameSpace = ref.nameSpace;
  }
  fNamespaces.insert(ref.nameSpace);
  fResult.references[index].path = search.found;

  ReferenceScope nested;
  nested.names = Namespace(ref.nameSpace);
  nested.depth = ref.depth;
  fChain.push_back(canonical);
  std::string error = read(search.found, nested);
  fChain.pop_back();
  finish(error.empty() ? MayaAsciiReference::State::Loaded : MayaAsciiReference::State::Failed,
         error.empty() ? "" : describe + " could not be read: " + error);
  return warning;
}

bool ReferenceLoader::editsApply(const std::string& node) const {
  auto it = fLoadedByNode.find(node);
  return it == fLoadedByNode.end() || it->second;
}

}  // namespace kvhost
