#pragma once
// The sound service: plays a sound file for the process. It also keeps every request it is
// given, so callers can be checked for what they asked.
//
// A request with an empty file stops whatever sound is playing. The playing itself is done by a
// player that the Qt part of the platform installs (audio/SoundFilePlayer: WAV and other files
// the movie decoder reads, on the default audio device); without one, requests are only kept.
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

// Replaces what a request does after it has been recorded (tests): while a handler is set it
// decides the result and the player is not asked. An empty handler restores the player.
// Returns the previous handler.
using SoundHandler = std::function<bool(const SoundRequest&)>;
SoundHandler setSoundHandler(SoundHandler handler);

// The player that plays recorded requests when no handler is set; it returns false when the
// sound cannot be played (a missing file: nothing is heard, no default sound). Returns the
// previous player.
SoundHandler setSoundPlayer(SoundHandler player);

} // namespace qxm::sound
