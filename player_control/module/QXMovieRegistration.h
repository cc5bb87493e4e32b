#pragma once
// What the module writes into the component registry about itself: the type library, the
// control class with its registration details and categories, and the three page classes.
#include "platform/activation/Module.h"

namespace qxm::qxmovie {

inline constexpr std::uint32_t kControlMiscStatus = 0x00020191;
inline constexpr std::int32_t kToolboxBitmap = 1;
inline constexpr std::uint32_t kCategoryLocale = 1033;
// Category descriptions are cut to this many bytes.
inline constexpr std::size_t kCategoryDescriptionMax = 127;
inline constexpr const char* kSafeForScriptingText = "Controls that are safely scriptable";
inline constexpr const char* kSafeForInitializingText =
    "Controls safely initializable from persistent data";

// The description of the module at modulePath.
ModuleRegistration describeModule(const std::string& modulePath);

} // namespace qxm::qxmovie
