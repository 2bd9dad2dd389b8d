#pragma once
// The play button: plays the music file chosen in the list, or stops what plays.
//
// Thread policy: user-interface thread only.

namespace belvane {

// The play button's click handler over the application's objects (PlaybackControl::TogglePlay
// with the music list and the music folder).
void TogglePlay();

}  // namespace belvane
