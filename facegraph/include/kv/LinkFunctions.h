// Link functions: the named mappings that face-graph links apply to their input.
//
// Each function is a descriptor only (nothing here evaluates it): a name, a
// one-line formula text for display, parameter names with default values, a
// corrective flag and a type number. Runtime start-up builds one shared instance per
// function in a global table; shut-down destroys them. Links store the function's
// name, never a pointer to an instance, and the instances are never archived.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "kv/Array.h"
#include "kv/Name.h"
#include "kv/Object.h"
#include "kv/String.h"

// One parameter a link using the function carries.
struct KvLinkFnParamDef {
  KvName name;
  float defaultValue = 0.0f;
};

class KvLinkFn : public KvNamedObject {
  KV_DECLARE_CLASS(KvLinkFn)

  virtual const KvString& GetDescription() const { return description_; }
  virtual uint32_t GetNumParams() const { return params_.Size(); }
  // `index` must be below GetNumParams (not checked).
  virtual const KvString& GetParamName(uint32_t index) const { return params_[index].name.GetAsString(); }
  virtual float GetParamDefaultValue(uint32_t index) const { return params_[index].defaultValue; }
  // Frozen type numbers: links cache them and a 0 empties a link's parameters.
  virtual int32_t GetFnType() const = 0;

  bool IsCorrective() const { return corrective_; }
  // Link functions are never stored: nothing is written or read, not even the name.
  void Serialize(KvArchive&) override {}

 protected:
  // Sets the description, then the name; the subclass then sets its parameters.
  KvLinkFn(const char* description, const char* name);
  // Appends the parameter definitions, reserving the final size first when there is
  // more than one.
  void SetParams(std::initializer_list<KvLinkFnParamDef> params);

  KvString description_;
  KvArray<KvLinkFnParamDef> params_;
  bool corrective_ = false;
};

#define KV_DECLARE_LINK_FN(ClassName) \
  class ClassName : public KvLinkFn { \
    KV_DECLARE_CLASS(ClassName)       \
    ClassName();                      \
    int32_t GetFnType() const override; \
  };

KV_DECLARE_LINK_FN(KvLinearLinkFn)
KV_DECLARE_LINK_FN(KvQuadraticLinkFn)
KV_DECLARE_LINK_FN(KvCubicLinkFn)
KV_DECLARE_LINK_FN(KvSqrtLinkFn)
KV_DECLARE_LINK_FN(KvNegateLinkFn)
KV_DECLARE_LINK_FN(KvInverseLinkFn)
KV_DECLARE_LINK_FN(KvOneClampLinkFn)
KV_DECLARE_LINK_FN(KvConstantLinkFn)
KV_DECLARE_LINK_FN(KvCorrectiveLinkFn)
KV_DECLARE_LINK_FN(KvClampedLinearLinkFn)

#undef KV_DECLARE_LINK_FN

// A withdrawn function ("custom", "perlin noise"): named at construction, type 0.
class KvNullLinkFn : public KvLinkFn {
  KV_DECLARE_CLASS(KvNullLinkFn)
  explicit KvNullLinkFn(const char* name);
  int32_t GetFnType() const override { return 0; }
};

// Builds the table of the twelve shared instances (registering the classes first);
// does nothing when the table exists. Called by runtime start-up.
void StartupLinkFunctions();
// Destroys every instance and frees the table. Called by runtime shut-down.
void ShutdownLinkFunctions();
// The shared instance of that name (exact, by name identity), or null (also before
// start-up). Callers never own or destroy it.
KvLinkFn* FindLinkFunction(const KvName& name);
// The type number of the function of that name, or -1 when there is none.
int32_t GetLinkFunctionType(const KvName& name);
// The table in its fixed order, or null before start-up and after shut-down.
const KvArray<KvLinkFn*>* GetLinkFunctionTable();
