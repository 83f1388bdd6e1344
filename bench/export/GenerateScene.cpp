// Writes large Maya ASCII scenes for timing the reader and the export.
//
//   kv_generate_scene OUT.ma [side=1000] [joints=100] [influences=4]
//   kv_generate_scene OUT.ma --meshes COUNT
//
// The first is a grid mesh of side x side vertices (two triangles per cell, one
// UV per vertex), a chain of joints with a bind pose, and a skin cluster giving
// every vertex `influences` weights in the compact encoding, deforming the mesh
// through the history Maya builds on a bind (groupParts, tweak, groupParts). The
// second is COUNT small meshes (a triangulated quad each, with UVs), each under
// its own transform and assigned to one of eight materials, as a set-dressing
// scene has them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Matrix(std::FILE* out, const char* plug, double tx, double ty, double tz) {
  std::fprintf(out, "\tsetAttr \"%s\" -type \"matrix\" 1 0 0 0 0 1 0 0 0 0 1 0 %g %g %g 1;\n", plug, tx, ty, tz);
}

void Header(std::FILE* out) {
  std::fprintf(out, "//Maya ASCII 2018ff08 scene\n//Name: large.ma\n//Codeset: UTF-8\n");
  std::fprintf(out, "requires maya \"2018ff08\";\ncurrentUnit -l centimeter -a degree -t film;\n");
}

void ManyMeshes(std::FILE* out, long count) {
  Header(out);
  constexpr int kMaterials = 8;
  for (int m = 0; m < kMaterials; ++m) {
    std::fprintf(out, "createNode lambert -n \"material%d\";\n", m);
    std::fprintf(out, "\tsetAttr \".c\" -type \"float3\" %g 0.5 0.5 ;\n", m / double(kMaterials));
    std::fprintf(out, "createNode shadingEngine -n \"material%dSG\";\n\tsetAttr \".ihi\" 0;\n\tsetAttr \".ro\" yes;\n", m);
  }
  for (long i = 0; i < count; ++i) {
    std::fprintf(out, "createNode transform -n \"box%ld\";\n", i);
    std::fprintf(out, "\tsetAttr \".t\" -type \"double3\" %ld 0 %ld ;\n", i % 100, i / 100);
    std::fprintf(out, "createNode mesh -n \"box%ldShape\" -p \"box%ld\";\n", i, i);
    std::fprintf(out, "\tsetAttr -k off \".v\";\n\tsetAttr \".vir\" yes;\n\tsetAttr \".vif\" yes;\n");
    std::fprintf(out, "\tsetAttr \".uvst[0].uvsn\" -type \"string\" \"map1\";\n");
    std::fprintf(out, "\tsetAttr -s 4 \".uvst[0].uvsp[0:3]\" -type \"float2\" 0 0 1 0 0 1 1 1;\n");
    std::fprintf(out, "\tsetAttr \".cuvs\" -type \"string\" \"map1\";\n");
    std::fprintf(out, "\tsetAttr -s 4 \".vt[0:3]\"  -0.5 0 0.5 0.5 0 0.5 -0.5 0 -0.5 0.5 0 -0.5;\n");
    std::fprintf(out, "\tsetAttr -s 5 \".ed[0:4]\"  0 1 0 0 2 0 1 3 0 2 3 0 1 2 1;\n");
    std::fprintf(out, "\tsetAttr -s 2 -ch 6 \".fc[0:1]\" -type \"polyFaces\"\n"
                      "\t\tf 3 0 4 -2\n\t\tmu 0 3 0 1 2\n\t\tf 3 -5 2 -4\n\t\tmu 0 3 2 1 3;\n");
  }
  for (long i = 0; i < count; ++i)
    std::fprintf(out, "connectAttr \"box%ldShape.iog\" \"material%ldSG.dsm\" -na;\n", i, i % kMaterials);
  for (int m = 0; m < kMaterials; ++m) std::fprintf(out, "connectAttr \"material%d.oc\" \"material%dSG.ss\";\n", m, m);
  std::fprintf(out, "// End of large.ma\n");
}

// The deformer chain's own nodes, then its connections, as Maya writes them.
const char* kBindNodes =
    "createNode tweak -n \"tweak1\";\n"
    "createNode objectSet -n \"tweakSet1\";\n\tsetAttr \".ihi\" 0;\n\tsetAttr \".vo\" yes;\n"
    "createNode objectSet -n \"skinCluster1Set\";\n\tsetAttr \".ihi\" 0;\n\tsetAttr \".vo\" yes;\n"
    "createNode groupId -n \"groupId1\";\n\tsetAttr \".ihi\" 0;\n"
    "createNode groupId -n \"skinCluster1GroupId\";\n\tsetAttr \".ihi\" 0;\n"
    "createNode groupParts -n \"groupParts1\";\n\tsetAttr \".ihi\" 0;\n"
    "\tsetAttr \".ic\" -type \"componentList\" 1 \"vtx[*]\";\n"
    "createNode groupParts -n \"skinCluster1GroupParts\";\n\tsetAttr \".ihi\" 0;\n"
    "\tsetAttr \".ic\" -type \"componentList\" 1 \"vtx[*]\";\n";
const char* kBindHistory =
    "connectAttr \"groupId1.id\" \"gridShape.iog.og[0].gid\";\n"
    "connectAttr \"tweakSet1.mwc\" \"gridShape.iog.og[0].gco\";\n"
    "connectAttr \"skinCluster1GroupId.id\" \"gridShape.iog.og[1].gid\";\n"
    "connectAttr \"skinCluster1Set.mwc\" \"gridShape.iog.og[1].gco\";\n"
    "connectAttr \"skinCluster1.og[0]\" \"gridShape.i\";\n"
    "connectAttr \"tweak1.vl[0].vt[0]\" \"gridShape.twl\";\n"
    "connectAttr \"groupParts1.og\" \"tweak1.ip[0].ig\";\n"
    "connectAttr \"groupId1.id\" \"tweak1.ip[0].gi\";\n"
    "connectAttr \"skinCluster1GroupParts.og\" \"skinCluster1.ip[0].ig\";\n"
    "connectAttr \"skinCluster1GroupId.id\" \"skinCluster1.ip[0].gi\";\n"
    "connectAttr \"groupId1.msg\" \"tweakSet1.gn\" -na;\n"
    "connectAttr \"gridShape.iog.og[0]\" \"tweakSet1.dsm\" -na;\n"
    "connectAttr \"tweak1.msg\" \"tweakSet1.ub[0]\";\n"
    "connectAttr \"skinCluster1GroupId.msg\" \"skinCluster1Set.gn\" -na;\n"
    "connectAttr \"gridShape.iog.og[1]\" \"skinCluster1Set.dsm\" -na;\n"
    "connectAttr \"skinCluster1.msg\" \"skinCluster1Set.ub[0]\";\n"
    "connectAttr \"gridShapeOrig.w\" \"groupParts1.ig\";\n"
    "connectAttr \"groupId1.id\" \"groupParts1.gi\";\n"
    "connectAttr \"tweak1.og[0]\" \"skinCluster1GroupParts.ig\";\n"
    "connectAttr \"skinCluster1GroupId.id\" \"skinCluster1GroupParts.gi\";\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.ma [side] [joints] [influences]\n       %s OUT.ma --meshes COUNT\n", argv[0],
                 argv[0]);
    return 2;
  }
  if (argc > 2 && std::string(argv[2]) == "--meshes") {
    const long count = argc > 3 ? std::atol(argv[3]) : 10000;
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr || count < 0) {
      std::fprintf(stderr, "cannot write %s\n", argv[1]);
      return 1;
    }
    ManyMeshes(out, count);
    return std::fclose(out) == 0 ? 0 : 1;
  }
  const int side = argc > 2 ? std::atoi(argv[2]) : 1000;
  const int joints = argc > 3 ? std::atoi(argv[3]) : 100;
  const int influences = std::min(argc > 4 ? std::atoi(argv[4]) : 4, joints);
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr || side < 2 || joints < 1 || influences < 1) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  const long vertices = static_cast<long>(side) * side;
  const long faces = 2L * (side - 1) * (side - 1);
  const double spacing = 10.0 / (side - 1);
  const double jointStep = 10.0 / joints;

  Header(out);
  for (int j = 0; j < joints; ++j) {
    if (j == 0) {
      std::fprintf(out, "createNode joint -n \"j0\";\n");
    } else {
      std::fprintf(out, "createNode joint -n \"j%d\" -p \"j%d\";\n", j, j - 1);
      std::fprintf(out, "\tsetAttr \".t\" -type \"double3\" 0 0 %g ;\n", jointStep);
    }
    Matrix(out, ".bps", 0, 0, j * jointStep);
  }
  std::fprintf(out, "createNode transform -n \"grid\";\n");
  std::fprintf(out, "createNode mesh -n \"gridShape\" -p \"grid\";\n");
  std::fprintf(out, "createNode mesh -n \"gridShapeOrig\" -p \"grid\";\n\tsetAttr \".io\" yes;\n");
  std::fprintf(out, "\tsetAttr \".uvst[0].uvsn\" -type \"string\" \"map1\";\n");
  std::fprintf(out, "\tsetAttr -s %ld \".uvst[0].uvsp[0:%ld]\" -type \"float2\"", vertices, vertices - 1);
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) std::fprintf(out, " %g %g", x / (side - 1.0), z / (side - 1.0));
  std::fprintf(out, ";\n\tsetAttr -s %ld \".vt[0:%ld]\"", vertices, vertices - 1);
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) std::fprintf(out, " %g 0 %g", x * spacing - 5.0, z * spacing);
  std::fprintf(out, ";\n");
  // Edges: horizontal (side-1 per row), vertical (side-1 per column), one diagonal per cell.
  const long horizontal = static_cast<long>(side) * (side - 1);
  const long vertical = horizontal;
  const long diagonal = static_cast<long>(side - 1) * (side - 1);
  const long edges = horizontal + vertical + diagonal;
  auto h = [&](int x, int z) { return static_cast<long>(z) * (side - 1) + x; };
  auto v = [&](int x, int z) { return horizontal + static_cast<long>(z) * side + x; };
  auto d = [&](int x, int z) { return horizontal + vertical + static_cast<long>(z) * (side - 1) + x; };
  auto id = [&](int x, int z) { return static_cast<long>(z) * side + x; };
  std::fprintf(out, "\tsetAttr -s %ld \".ed[0:%ld]\"", edges, edges - 1);
  for (int z = 0; z < side; ++z)
    for (int x = 0; x + 1 < side; ++x) std::fprintf(out, " %ld %ld 0", id(x, z), id(x + 1, z));
  for (int z = 0; z + 1 < side; ++z)
    for (int x = 0; x < side; ++x) std::fprintf(out, " %ld %ld 0", id(x, z), id(x, z + 1));
  for (int z = 0; z + 1 < side; ++z)
    for (int x = 0; x + 1 < side; ++x) std::fprintf(out, " %ld %ld 0", id(x, z), id(x + 1, z + 1));
  std::fprintf(out, ";\n\tsetAttr -s %ld \".fc[0:%ld]\" -type \"polyFaces\"\n", faces, faces - 1);
  for (int z = 0; z + 1 < side; ++z) {
    for (int x = 0; x + 1 < side; ++x) {
      // (x,z) -> (x+1,z) -> (x+1,z+1), then back along the diagonal.
      std::fprintf(out, "\t\tf 3 %ld %ld %ld\n\t\tmu 0 3 %ld %ld %ld\n", h(x, z), v(x + 1, z), -d(x, z) - 1, id(x, z),
                   id(x + 1, z), id(x + 1, z + 1));
      // (x,z) -> (x+1,z+1) -> (x,z+1), then back to the start.
      std::fprintf(out, "\t\tf 3 %ld %ld %ld\n\t\tmu 0 3 %ld %ld %ld\n", d(x, z), -h(x, z + 1) - 1, -v(x, z) - 1,
                   id(x, z), id(x + 1, z + 1), id(x, z + 1));
    }
  }
  std::fprintf(out, "\t;\n");

  std::fprintf(out, "createNode skinCluster -n \"skinCluster1\";\n\tsetAttr -s %ld \".wl\";\n", vertices);
  std::fprintf(out, "\tsetAttr \".wl[0:%ld].w\"\n", vertices - 1);
  for (int z = 0; z < side; ++z) {
    const int nearest = std::min(joints - 1, static_cast<int>(z * spacing / jointStep));
    const int first = std::max(0, std::min(nearest, joints - influences));
    for (int x = 0; x < side; ++x) {
      std::fprintf(out, "\t\t%d", influences);
      for (int k = 0; k < influences; ++k) std::fprintf(out, " %d %g", first + k, 1.0 / influences);
      std::fprintf(out, "\n");
    }
  }
  std::fprintf(out, "\t;\n");
  for (int j = 0; j < joints; ++j) {
    const std::string plug = ".pm[" + std::to_string(j) + "]";
    Matrix(out, plug.c_str(), 0, 0, -j * jointStep);
  }
  std::fprintf(out, "%s", kBindNodes);
  std::fprintf(out, "createNode dagPose -n \"bindPose1\";\n\tsetAttr \".bp\" yes;\n");
  for (int j = 0; j < joints; ++j) {
    std::fprintf(out,
                 "\tsetAttr \".xm[%d]\" -type \"matrix\" \"xform\" 1 1 1 0 0 0 0 0 0 %g 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 "
                 "0 0 0 1 0 0 0 1 1 1 1 yes;\n",
                 j, j == 0 ? 0.0 : jointStep);
  }
  for (int j = 0; j < joints; ++j) {
    std::fprintf(out, "connectAttr \"j%d.wm\" \"skinCluster1.ma[%d]\";\n", j, j);
    std::fprintf(out, "connectAttr \"j%d.msg\" \"bindPose1.m[%d]\";\n", j, j);
    std::fprintf(out, "connectAttr \"j%d.bps\" \"bindPose1.wm[%d]\";\n", j, j);
    if (j > 0) std::fprintf(out, "connectAttr \"j%d.s\" \"j%d.is\";\n", j - 1, j);
  }
  // The history Maya builds on a bind: Orig -> groupParts -> tweak -> groupParts -> skinCluster.
  std::fprintf(out, "%s", kBindHistory);
  std::fprintf(out, "connectAttr \"bindPose1.msg\" \"skinCluster1.bp\";\n");
  std::fprintf(out, "connectAttr \"gridShape.iog\" \":initialShadingGroup.dsm\" -na;\n");
  std::fprintf(out, "// End of large.ma\n");
  const bool ok = std::fclose(out) == 0;
  return ok ? 0 : 1;
}
