#include "platform/component/Guid.h"

#include <cstdio>
#include <random>

namespace qxm {

Guid Guid::create() {
    std::random_device rd;
    Guid g;
    g.data1 = rd();
    std::uint32_t w = rd();
    g.data2 = std::uint16_t(w);
    g.data3 = std::uint16_t((w >> 16 & 0x0FFF) | 0x4000);
    for (auto& b : g.data4)
        b = std::uint8_t(rd());
    g.data4[0] = std::uint8_t((g.data4[0] & 0x3F) | 0x80);
    return g;
}

std::string Guid::toString() const {
    char buf[39];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1,
                  data2, data3, data4[0], data4[1], data4[2], data4[3], data4[4], data4[5],
                  data4[6], data4[7]);
    return buf;
}

} // namespace qxm
