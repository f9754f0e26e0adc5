#pragma once
// The engine's object model: reference-counted objects with interfaces named
// by 16-byte ids.
//
// Every engine interface starts with IEngineUnknown's four operations. An
// object's count starts at 0; its creator adds the first reference. When
// Release brings the count to 0 the count is set back to 1 and the object is
// deleted, so work done during destruction may take and drop references
// without a second destruction. Counts change atomically; objects may be
// released on any thread.
#include <atomic>
#include <cstdint>

#include "video/engine/core/engine_guid.h"
#include "video/engine/core/engine_result.h"

class IEngineUnknown {
 public:
  virtual int32_t AddRef() = 0;
  virtual int32_t Release() = 0;
  virtual int32_t GetRefCount() = 0;
  // Null out: VSE_E_POINTER, no count changes. A known id: out receives that
  // interface with a reference added, VSE_S_OK. Otherwise out receives null
  // and the result is VSE_E_NOINTERFACE.
  virtual VseResult QueryInterface(const VseGuid* iid, void** out) = 0;

 protected:
  virtual ~IEngineUnknown() = default;
};

// The count and its rules; the object's interfaces come from TEngineObject.
class CEngineObject {
 public:
  CEngineObject() { live_.fetch_add(1, std::memory_order_relaxed); }
  CEngineObject(const CEngineObject&) = delete;
  CEngineObject& operator=(const CEngineObject&) = delete;

  // Engine objects alive in the process: what a release left behind.
  static int32_t LiveCountForTesting() { return live_.load(std::memory_order_acquire); }

 protected:
  virtual ~CEngineObject() { live_.fetch_sub(1, std::memory_order_acq_rel); }

  int32_t AddRefObject() { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
  int32_t ReleaseObject() {
    const int32_t n = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (n != 0) return n;
    count_.store(1, std::memory_order_relaxed);
    delete this;
    return 0;
  }
  int32_t RefCountObject() const { return count_.load(std::memory_order_relaxed); }

 private:
  std::atomic<int32_t> count_{0};
  inline static std::atomic<int32_t> live_{0};
};

// An engine object with the interfaces I0, I1, ...; each must declare
// `static constexpr VseGuid kIid`. QueryInterface answers those ids in turn,
// then IEngineUnknown (as the first interface). A class with more to answer
// overrides QueryInterface and ends with TEngineObject's.
template <class I0, class... Is>
class TEngineObject : public CEngineObject, public I0, public Is... {
 public:
  int32_t AddRef() override { return AddRefObject(); }
  int32_t Release() override { return ReleaseObject(); }
  int32_t GetRefCount() override { return RefCountObject(); }
  VseResult QueryInterface(const VseGuid* iid, void** out) override {
    if (out == nullptr) return VSE_E_POINTER;
    *out = nullptr;
    if (iid == nullptr) return VSE_E_NOINTERFACE;
    void* found = Find<I0, Is...>(*iid);
    if (found == nullptr && *iid == IID_IEngineUnknown) found = static_cast<I0*>(this);
    if (found == nullptr) return VSE_E_NOINTERFACE;
    AddRef();
    *out = found;
    return VSE_S_OK;
  }

 protected:
  ~TEngineObject() override = default;

 private:
  template <class J, class... Js>
  void* Find(const VseGuid& iid) {
    if (iid == J::kIid) return static_cast<J*>(this);
    if constexpr (sizeof...(Js) > 0) {
      return Find<Js...>(iid);
    } else {
      return nullptr;
    }
  }
};

// Holds one reference to an engine interface.
template <class T>
class CEnginePtr {
 public:
  CEnginePtr() = default;
  explicit CEnginePtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  CEnginePtr(const CEnginePtr& o) : CEnginePtr(o.p_) {}
  CEnginePtr& operator=(const CEnginePtr& o) {
    Reset(o.p_);
    return *this;
  }
  ~CEnginePtr() { Reset(nullptr); }
  void Reset(T* p) {
    if (p) p->AddRef();
    T* old = p_;
    p_ = p;
    if (old) old->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};
