#include "platform/activation/Categories.h"

#include "platform/registry/Registry.h"

#include <mutex>
#include <vector>

namespace qxm {
namespace {

class RegistryCategoryManager : public ICategoryManager {
public:
    HRESULT registerCategories(std::span<const CategoryInfo> categories) override {
        Registry reg;
        for (const auto& c : categories) {
            CategoryEntry e{c.catid, {{c.lcid, c.description}}};
            HRESULT hr = reg.registerCategory(e);
            if (failed(hr)) return hr;
        }
        return S_OK;
    }
    HRESULT unregisterCategories(std::span<const Guid> catids) override {
        Registry reg;
        for (const auto& id : catids) {
            HRESULT hr = reg.unregisterCategory(id);
            if (failed(hr)) return hr;
        }
        return S_OK;
    }
    HRESULT registerClassImplCategories(const Guid& clsid, std::span<const Guid> catids) override {
        return Registry().markImplemented(clsid, std::vector<Guid>(catids.begin(), catids.end()));
    }
    HRESULT unregisterClassImplCategories(const Guid& clsid,
                                          std::span<const Guid> catids) override {
        return Registry().unmarkImplemented(clsid, std::vector<Guid>(catids.begin(), catids.end()));
    }
};

std::mutex g_factoryMutex;
CategoryManagerFactory g_factory;

} // namespace

std::unique_ptr<ICategoryManager> createCategoryManager(HRESULT* hr) {
    CategoryManagerFactory factory;
    {
        std::lock_guard lock(g_factoryMutex);
        factory = g_factory;
    }
    std::unique_ptr<ICategoryManager> m =
        factory ? factory() : std::make_unique<RegistryCategoryManager>();
    if (hr) *hr = m ? S_OK : REGDB_E_CLASSNOTREG;
    return m;
}

void setCategoryManagerFactory(CategoryManagerFactory factory) {
    std::lock_guard lock(g_factoryMutex);
    g_factory = std::move(factory);
}

} // namespace qxm
