#include "kv/Runtime.h"

#include "kv/Actor.h"
#include "kv/Anim.h"
#include "kv/Archive.h"
#include "kv/FaceGraph.h"
#include "kv/LinkFunctions.h"
#include "kv/Name.h"
#include "kv/Object.h"
#include "kv/PhonemeMap.h"

namespace {

uint32_t g_users = 0;

// The runtime classes, in their fixed registration order; each only if its static
// class pointer is still null (StaticClass tests it).
void RegisterRuntimeClasses() {
  KvObject::StaticClass();
  KvRefObject::StaticClass();
  KvRefString::StaticClass();
  KvNamedObject::StaticClass();
  KvBone::StaticClass();
  KvFaceGraphNode::StaticClass();
  KvFaceGraphNodeUserProperty::StaticClass();
  KvFaceGraphNodeLink::StaticClass();
  KvBonePoseNode::StaticClass();
  KvCombinerNode::StaticClass();
  KvCurrentTimeNode::StaticClass();
  KvDeltaNode::StaticClass();
  KvGenericTargetNode::StaticClass();
  KvMorphTargetNode::StaticClass();
  KvFaceGraph::StaticClass();
  KvAnimCurve::StaticClass();
  KvAnimGroup::StaticClass();
  KvAnimSet::StaticClass();
  KvAnim::StaticClass();
  KvActor::StaticClass();
  KvActorInstance::StaticClass();
  KvPhonemeMap::StaticClass();
}

}  // namespace

void KvRuntimeStartup(const KvMemoryConfig& config) {
  if (g_users++ > 0) return;
  KvMemoryStartup(config);
  KvClassRegistryStartup();
  KvNameStartup();
  RegisterRuntimeClasses();
  StartupLinkFunctions();
  KvArchiveRegistryStartup();
  KvActorListStartup();
}

void KvRuntimeStartupDefault() { KvRuntimeStartup(KvMemoryConfig{}); }

void KvRuntimeShutdown() {
  if (g_users == 0) return;
  if (--g_users > 0) return;
  KvActorListShutdown();
  KvArchiveRegistryShutdown();
  ShutdownLinkFunctions();
  KvNameShutdown();
  KvClassRegistryShutdown();
  KvMemoryShutdown();
}

uint32_t KvRuntimeUserCount() { return g_users; }
