#pragma once
// The object model: reference-counted objects reached through interfaces identified by IIDs,
// suited to crossing a module boundary (a module's objects are created and destroyed by the
// module's own code; callers only AddRef, Release and QueryInterface).
//
//   class Counter : public qxm::Object<ICounter> { ... };     // implements the IUnknown part
//   qxm::ComPtr<Counter> c = qxm::makeObject<Counter>();      // reference count 1
//   qxm::ComPtr<qxm::IDispatch> d = c.as<qxm::IDispatch>();   // QueryInterface
//
// An interface is an abstract class deriving from IUnknown (or another interface) that names
// its identifier as `static constexpr Guid iid` and its parent as `using Base = ...`.
#include "platform/component/Guid.h"
#include "platform/component/HResult.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

namespace qxm {

class IUnknown {
public:
    static constexpr Guid iid = IID_IUnknown;
    using Base = void;
    // On success *ppv holds an added reference; on failure it is null.
    virtual HRESULT queryInterface(const Guid& iid, void** ppv) = 0;
    virtual std::uint32_t addRef() = 0;
    virtual std::uint32_t release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// Owning interface pointer: releases its reference when it goes.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference to p.
    explicit ComPtr(T* p) : p_(p) {
        if (p_) p_->addRef();
    }
    // Takes over a reference the caller already holds.
    static ComPtr adopt(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U> ComPtr(const ComPtr<U>& o) : ComPtr(static_cast<T*>(o.get())) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset() {
        if (T* p = std::exchange(p_, nullptr)) p->release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Releases the current reference and offers the slot to a function that fills it.
    T** put() {
        reset();
        return &p_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    T* detach() { return std::exchange(p_, nullptr); }

    // QueryInterface for U; null when the object does not offer it.
    template <class U> ComPtr<U> as() const {
        ComPtr<U> out;
        if (p_) p_->queryInterface(U::iid, out.putVoid());
        return out;
    }

private:
    T* p_ = nullptr;
};

namespace detail {
template <class I> bool offers(const Guid& iid) {
    if (I::iid == iid) return true;
    if constexpr (!std::is_void_v<typename I::Base>) return offers<typename I::Base>(iid);
    return false;
}
template <class First, class...> struct FirstOf { using type = First; };
} // namespace detail

// Implements IUnknown for a class offering the interfaces Is (and their bases). The reference
// count starts at 0; makeObject hands out the first reference. Override queryExtra to offer
// further interfaces.
template <class... Is> class Object : public Is... {
public:
    HRESULT queryInterface(const Guid& iid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        using First = typename detail::FirstOf<Is...>::type;
        if (iid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(static_cast<First*>(this));
        } else {
            ((!*ppv && detail::offers<Is>(iid) ? (*ppv = static_cast<Is*>(this), true) : false),
             ...);
        }
        if (!*ppv) return queryExtra(iid, ppv);
        addRef();
        return S_OK;
    }
    std::uint32_t addRef() override { return ++refs_; }
    std::uint32_t release() override {
        std::uint32_t n = --refs_;
        if (n == 0) delete this; // the object model's own end of life
        return n;
    }

protected:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    ~Object() override = default;
    // Further interfaces: set *ppv and AddRef on success.
    virtual HRESULT queryExtra(const Guid&, void**) { return E_NOINTERFACE; }

private:
    std::atomic<std::uint32_t> refs_{0};
};

template <class T, class... A> ComPtr<T> makeObject(A&&... args) {
    auto owner = std::make_unique<T>(std::forward<A>(args)...);
    return ComPtr<T>(owner.release());
}

// What a module's class objects offer.
class IClassFactory : public IUnknown {
public:
    static constexpr Guid iid = IID_IClassFactory;
    using Base = IUnknown;
    // outer must be null (no aggregation: CLASS_E_NOAGGREGATION otherwise).
    virtual HRESULT createInstance(IUnknown* outer, const Guid& iid, void** ppv) = 0;
    // Keeps the module loaded while locked (counted).
    virtual HRESULT lockServer(bool lock) = 0;
};

// How long a module must stay loaded: objects alive and server locks held. A module keeps one
// and answers DllCanUnloadNow from it; every object it creates holds a ModuleObjectToken.
class ModuleLife {
public:
    void objectCreated() { ++objects_; }
    void objectDestroyed() { --objects_; }
    void lock(bool on) { on ? ++locks_ : --locks_; }
    long objects() const { return objects_; }
    long locks() const { return locks_; }
    bool canUnload() const { return objects_ == 0 && locks_ == 0; }

private:
    std::atomic<long> objects_{0};
    std::atomic<long> locks_{0};
};

// A member of every object a module creates: counts the object toward the module's life.
class ModuleObjectToken {
public:
    explicit ModuleObjectToken(ModuleLife& life) : life_(life) { life_.objectCreated(); }
    ~ModuleObjectToken() { life_.objectDestroyed(); }
    ModuleObjectToken(const ModuleObjectToken&) = delete;
    ModuleObjectToken& operator=(const ModuleObjectToken&) = delete;

private:
    ModuleLife& life_;
};

} // namespace qxm
