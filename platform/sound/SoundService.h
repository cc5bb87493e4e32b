#pragma once
// The sound service: plays a sound file for the process. Until real playback arrives, the
// service keeps every request it is given, so callers can be checked for what they asked.
//
// A request with an empty file stops whatever sound is playing.
#include <functional>
#include <string>
#include <vector>

namespace qxm::sound {

struct SoundRequest {
    std::string file;       // path as given (not resolved); empty: stop the current sound
    bool async = false;     // return at once instead of waiting for the sound to end
    bool noDefault = false; // play nothing (rather than the system's default sound) when the
                            // file is missing
    bool operator==(const SoundRequest&) const = default;
};

// Plays (or, with an empty file, stops) a sound. Returns true when the request was taken.
bool playSound(const std::string& file, bool async, bool noDefault);

// Every request since the start or since the last clearRequests(), oldest first.
std::vector<SoundRequest> requests();
void clearRequests();

// Replaces what a request does after it has been recorded (tests, a later real player); an
// empty handler restores recording only. Returns the previous handler.
using SoundHandler = std::function<bool(const SoundRequest&)>;
SoundHandler setSoundHandler(SoundHandler handler);

} // namespace qxm::sound
