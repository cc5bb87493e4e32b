#include "platform/sound/SoundService.h"

#include <mutex>

namespace qxm::sound {
namespace {

struct ServiceState {
    std::mutex mutex;
    std::vector<SoundRequest> requests;
    SoundHandler handler;
    SoundHandler player;
};

ServiceState& service() {
    static ServiceState state;
    return state;
}

} // namespace

bool playSound(const std::string& file, bool async, bool noDefault) {
    ServiceState& s = service();
    SoundHandler handler;
    SoundRequest request{file, async, noDefault};
    {
        const std::lock_guard lock(s.mutex);
        s.requests.push_back(request);
        handler = s.handler ? s.handler : s.player;
    }
    return handler ? handler(request) : true;
}

std::vector<SoundRequest> requests() {
    ServiceState& s = service();
    const std::lock_guard lock(s.mutex);
    return s.requests;
}

void clearRequests() {
    ServiceState& s = service();
    const std::lock_guard lock(s.mutex);
    s.requests.clear();
}

SoundHandler setSoundHandler(SoundHandler handler) {
    ServiceState& s = service();
    const std::lock_guard lock(s.mutex);
    std::swap(s.handler, handler);
    return handler;
}

SoundHandler setSoundPlayer(SoundHandler player) {
    ServiceState& s = service();
    const std::lock_guard lock(s.mutex);
    std::swap(s.player, player);
    return player;
}

} // namespace qxm::sound
