#pragma once
// Identifiers of the test module's classes, shared by the module and the tests.
#include "platform/component/Guid.h"

inline constexpr qxm::Guid kTestLibId =
    qxm::Guid::literal("{5A3C7E10-1B2D-4C3E-9F40-112233445566}");
inline constexpr qxm::Guid kCounterClsid =
    qxm::Guid::literal("{5A3C7E11-1B2D-4C3E-9F40-112233445566}");
inline constexpr qxm::Guid kCounterIid =
    qxm::Guid::literal("{5A3C7E12-1B2D-4C3E-9F40-112233445566}");
inline constexpr qxm::Guid kCounterEventsIid =
    qxm::Guid::literal("{5A3C7E13-1B2D-4C3E-9F40-112233445566}");
inline constexpr qxm::Guid kPlainClsid =
    qxm::Guid::literal("{5A3C7E14-1B2D-4C3E-9F40-112233445566}");
