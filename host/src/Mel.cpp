// MGlobal: messages shown to the user and the MEL commands the host runs.

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <vector>

#include <maya/MGlobal.h>

#include "Core.h"

namespace {

void show(kvhost::Message::Kind kind, const char* prefix, const MString& text) {
  std::cerr << prefix << text.asChar() << std::endl;
  kvhost::recordMessage(kind, text.asChar());
}

std::vector<std::string> tokens(const std::string& command) {
  std::vector<std::string> out;
  std::istringstream in(command);
  std::string t;
  while (in >> t) {
    if (!t.empty() && t.back() == ';') t.pop_back();
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
    if (!t.empty()) out.push_back(t);
  }
  return out;
}

MStatus commandError(const std::string& message) {
  show(kvhost::Message::Error, "// Error: ", MString(message));
  return MS::kFailure;
}

// xform [-q] [-ws|-os] -m [16 numbers] NODE
MStatus runXform(const std::vector<std::string>& args, std::vector<double>& result) {
  bool query = false, world = false, matrix = false;
  std::vector<double> numbers;
  std::string target;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-q" || a == "-query") query = true;
    else if (a == "-ws" || a == "-worldSpace") world = true;
    else if (a == "-os" || a == "-objectSpace") world = false;
    else if (a == "-m" || a == "-matrix") matrix = true;
    else if (a[0] == '-' && a.size() > 1 && !(std::isdigit(static_cast<unsigned char>(a[1])) || a[1] == '.'))
      return commandError("xform: flag " + a + " is not supported by this host");
    else {
      char* end = nullptr;
      double d = std::strtod(a.c_str(), &end);
      if (end && *end == '\0' && !a.empty()) numbers.push_back(d);
      else if (target.empty()) target = a;
      else return commandError("xform: more than one object given");
    }
  }
  if (!matrix) return commandError("xform: only -matrix (-m) is supported by this host");
  if (target.empty()) return commandError("xform: no object given");
  kvhost::Scene::Impl& impl = kvhost::Scene::get().impl();
  kvhost::Node* node = impl.find(target);
  if (!node) return commandError("xform: no object matches name: " + target);
  // Like Maya, a short name that several DAG nodes bear names none of them: only
  // a path (|grp|box, grp|box) picks one.
  if (target.find('|') == std::string::npos) {
    const std::string key = target[0] == ':' ? target.substr(1) : target;
    const auto range = impl.byName.equal_range(key);
    if (std::count_if(range.first, range.second, [](const auto& entry) { return entry.second->isDag(); }) > 1) {
      return commandError("xform: More than one object matches name: " + target);
    }
  }
  if (!node->type->transform) return commandError("xform: '" + target + "' is not a transform");
  const kvhost::DagLinks& paths = kvhost::pathsTo(node);
  if (paths.empty()) return commandError("xform: '" + target + "' is not in the DAG");
  const kvhost::DagLink* path = paths.front().get();
  const kvhost::DagLink* parentPath = path->up.get();
  if (query) {
    if (!numbers.empty()) return commandError("xform: values cannot be given with -query");
    MMatrix m = world ? kvhost::worldMatrix(path) : kvhost::localMatrix(*node);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) result.push_back(m[r][c]);
    return MS::kSuccess;
  }
  if (numbers.size() != 16) return commandError("xform: -matrix takes 16 values");
  MMatrix m;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m[r][c] = numbers[static_cast<size_t>(r * 4 + c)];
  bool inherits = kvhost::getBool(*node, "it");
  MMatrix local = world && inherits ? m * kvhost::worldMatrix(parentPath).inverse() : m;
  kvhost::setLocalMatrix(*node, local);
  return MS::kSuccess;
}

MStatus run(const MString& command, std::vector<double>& result) {
  auto args = tokens(command.asChar());
  if (args.empty()) return commandError("empty command");
  if (args[0] == "xform") return runXform(args, result);
  return commandError("the host cannot run the command '" + args[0] + "' (\"" + std::string(command.asChar()) + "\")");
}

}  // namespace

MGlobal::MMayaState MGlobal::mayaState(MStatus* status) {
  if (status) *status = MS::kSuccess;
  return kLibraryApp;
}

void MGlobal::displayError(const MString& text) { show(kvhost::Message::Error, "// Error: ", text); }
void MGlobal::displayWarning(const MString& text) { show(kvhost::Message::Warning, "// Warning: ", text); }
void MGlobal::displayInfo(const MString& text) { show(kvhost::Message::Info, "", text); }

MStatus MGlobal::executeCommand(const MString& command, bool, bool) {
  std::vector<double> ignored;
  return run(command, ignored);
}

MStatus MGlobal::executeCommand(const MString& command, MDoubleArray& result, bool, bool) {
  std::vector<double> values;
  MStatus s = run(command, values);
  result.clear();
  for (double v : values) result.append(v);
  return s;
}

MStatus MGlobal::executeCommand(const MString& command, MIntArray& result, bool, bool) {
  std::vector<double> values;
  MStatus s = run(command, values);
  result.clear();
  for (double v : values) result.append(kvhost::toInt(v));
  return s;
}

MStatus MGlobal::executeCommand(const MString& command, MString& result, bool, bool) {
  std::vector<double> values;
  MStatus s = run(command, values);
  result.clear();
  for (size_t i = 0; i < values.size(); ++i) {
    if (i) result += " ";
    result += values[i];
  }
  return s;
}

MStatus MGlobal::executeCommand(const MString& command, MStringArray& result, bool, bool) {
  std::vector<double> values;
  MStatus s = run(command, values);
  result.clear();
  for (double v : values) result.append(MString() + v);
  return s;
}
