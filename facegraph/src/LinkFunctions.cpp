#include "kv/LinkFunctions.h"

#include <new>

namespace {

KvArray<KvLinkFn*>* g_table = nullptr;

// Allocates an instance through KvAllocate; null (row skipped) when memory is short.
template <typename T, typename... Args>
T* NewLinkFn(Args... args) {
  void* memory = KvAllocate(static_cast<uint32_t>(sizeof(T)));
  if (memory == nullptr) return nullptr;
  return ::new (memory) T(args...);
}

template <typename T>
void AddRow() {
  T::StaticClass();
  if (T* fn = NewLinkFn<T>()) g_table->PushBack(fn);
}

void AddNullRow(const char* name) {
  if (KvNullLinkFn* fn = NewLinkFn<KvNullLinkFn>(name)) g_table->PushBack(fn);
}

}  // namespace

KV_IMPLEMENT_ABSTRACT_CLASS(KvLinkFn, 0, KvNamedObject)
KV_IMPLEMENT_ABSTRACT_CLASS(KvNullLinkFn, 0, KvLinkFn)

KvLinkFn::KvLinkFn(const char* description, const char* name) : description_(description) { SetName(KvName(name)); }

void KvLinkFn::SetParams(std::initializer_list<KvLinkFnParamDef> params) {
  const auto count = static_cast<uint32_t>(params.size());
  if (count > 1) params_.Reserve(count);
  for (const KvLinkFnParamDef& param : params) params_.PushBack(param);
}

KvNullLinkFn::KvNullLinkFn(const char* name) : KvLinkFn(" This link function type has been deprecated. ", name) {}

// The descriptions are display texts shown as they are, blanks included; the
// "oneclamp" text really closes with ")".
#define KV_IMPLEMENT_LINK_FN(ClassName, Type, Name, Description, ...)                 \
  KV_IMPLEMENT_ABSTRACT_CLASS(ClassName, 0, KvLinkFn)                                  \
  ClassName::ClassName() : KvLinkFn(Description, Name) { SetParams({__VA_ARGS__}); } \
  int32_t ClassName::GetFnType() const { return Type; }

KV_IMPLEMENT_LINK_FN(KvLinearLinkFn, 1, "linear", " y = m * x + b ", {KvName("m"), 1.0f}, {KvName("b"), 0.0f})
KV_IMPLEMENT_LINK_FN(KvQuadraticLinkFn, 2, "quadratic", " y = a * x ^2 ", {KvName("a"), 1.0f})
KV_IMPLEMENT_LINK_FN(KvCubicLinkFn, 3, "cubic", " y = a * x ^3 ", {KvName("a"), 1.0f})
KV_IMPLEMENT_LINK_FN(KvSqrtLinkFn, 4, "square root", " y = a * sqrt( x ) ", {KvName("a"), 1.0f})
KV_IMPLEMENT_LINK_FN(KvNegateLinkFn, 5, "negate", " y = - x ")
KV_IMPLEMENT_LINK_FN(KvInverseLinkFn, 6, "inverse", " y = 1 / x ")
KV_IMPLEMENT_LINK_FN(KvOneClampLinkFn, 7, "oneclamp", " y = [1 if x <= 1] or [1 / x if x > 1) ")
KV_IMPLEMENT_LINK_FN(KvConstantLinkFn, 8, "constant", " y = c ", {KvName("c"), 1.0f})
KV_IMPLEMENT_LINK_FN(KvClampedLinearLinkFn, 10, "clamped linear", " y = m * x ", {KvName("m"), 1.0f},
                     {KvName("clampx"), 0.0f}, {KvName("clampy"), 0.0f}, {KvName("clampdir"), 1.0f})

KV_IMPLEMENT_ABSTRACT_CLASS(KvCorrectiveLinkFn, 0, KvLinkFn)
KvCorrectiveLinkFn::KvCorrectiveLinkFn() : KvLinkFn(" x corrects for y ", "corrective") {
  SetParams({{KvName("Correction Factor"), 1.0f}});
  corrective_ = true;
}
int32_t KvCorrectiveLinkFn::GetFnType() const { return 9; }

#undef KV_IMPLEMENT_LINK_FN

void StartupLinkFunctions() {
  if (g_table != nullptr) return;
  KvLinkFn::StaticClass();
  void* memory = KvAllocate(static_cast<uint32_t>(sizeof(KvArray<KvLinkFn*>)));
  g_table = ::new (memory) KvArray<KvLinkFn*>();
  g_table->Reserve(12);
  KvNullLinkFn::StaticClass();
  // Frozen order: the table's order is how lookups resolve and how tools list them.
  AddRow<KvLinearLinkFn>();
  AddRow<KvQuadraticLinkFn>();
  AddRow<KvCubicLinkFn>();
  AddRow<KvSqrtLinkFn>();
  AddRow<KvNegateLinkFn>();
  AddRow<KvInverseLinkFn>();
  AddRow<KvOneClampLinkFn>();
  AddRow<KvConstantLinkFn>();
  AddRow<KvCorrectiveLinkFn>();
  AddNullRow("custom");
  AddNullRow("perlin noise");
  AddRow<KvClampedLinearLinkFn>();
}

void ShutdownLinkFunctions() {
  if (g_table == nullptr) return;
  for (KvLinkFn* fn : *g_table) delete fn;
  g_table->Clear();
  g_table->~KvArray<KvLinkFn*>();
  KvFree(g_table, static_cast<uint32_t>(sizeof(KvArray<KvLinkFn*>)));
  g_table = nullptr;
}

KvLinkFn* FindLinkFunction(const KvName& name) {
  if (g_table == nullptr) return nullptr;
  for (KvLinkFn* fn : *g_table) {
    if (fn->GetName() == name) return fn;
  }
  return nullptr;
}

int32_t GetLinkFunctionType(const KvName& name) {
  const KvLinkFn* fn = FindLinkFunction(name);
  return fn != nullptr ? fn->GetFnType() : -1;
}

const KvArray<KvLinkFn*>* GetLinkFunctionTable() { return g_table; }
