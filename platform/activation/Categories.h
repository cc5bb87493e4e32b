#pragma once
// The component category manager: registers categories with their descriptions per locale
// and marks classes as implementing them, over the component registry. Modules reach it
// through createCategoryManager(); tests replace it (setCategoryManagerFactory) to simulate a
// manager that cannot be created or that fails.
#include "platform/component/Guid.h"
#include "platform/component/HResult.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace qxm {

inline constexpr Guid CATID_SafeForScripting =
    Guid::literal("{7DD95801-9882-11CF-9FA9-00AA006C42C4}");
inline constexpr Guid CATID_SafeForInitializing =
    Guid::literal("{7DD95802-9882-11CF-9FA9-00AA006C42C4}");
inline constexpr Guid CATID_Control = Guid::literal("{40FC6ED4-2438-11CF-A3DB-080036F12502}");

struct CategoryInfo {
    Guid catid{};
    std::uint32_t lcid = 1033;
    std::string description{};
};

class ICategoryManager {
public:
    virtual ~ICategoryManager() = default;
    virtual HRESULT registerCategories(std::span<const CategoryInfo> categories) = 0;
    virtual HRESULT unregisterCategories(std::span<const Guid> catids) = 0;
    virtual HRESULT registerClassImplCategories(const Guid& clsid,
                                                std::span<const Guid> catids) = 0;
    virtual HRESULT unregisterClassImplCategories(const Guid& clsid,
                                                  std::span<const Guid> catids) = 0;
};

// The manager over the registry of Registry::defaultPath(), or what the installed factory
// makes. A null result means the manager is not available (REGDB_E_CLASSNOTREG in *hr).
std::unique_ptr<ICategoryManager> createCategoryManager(HRESULT* hr = nullptr);

// Replaces how createCategoryManager makes its manager (for the whole process); an empty
// function restores the registry manager.
using CategoryManagerFactory = std::function<std::unique_ptr<ICategoryManager>()>;
void setCategoryManagerFactory(CategoryManagerFactory factory);

// A manager whose every call fails with the given code.
class FailingCategoryManager : public ICategoryManager {
public:
    explicit FailingCategoryManager(HRESULT code = E_FAIL) : code_(code) {}
    HRESULT registerCategories(std::span<const CategoryInfo>) override { return code_; }
    HRESULT unregisterCategories(std::span<const Guid>) override { return code_; }
    HRESULT registerClassImplCategories(const Guid&, std::span<const Guid>) override {
        return code_;
    }
    HRESULT unregisterClassImplCategories(const Guid&, std::span<const Guid>) override {
        return code_;
    }

private:
    HRESULT code_;
};

} // namespace qxm
