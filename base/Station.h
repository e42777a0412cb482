#pragma once
// Facts of the station that every layer shares, from the bus up. Plain C++:
// the hardware layer includes it too.

namespace korva {

// The booster outputs one station monitors and switches.
inline constexpr int kChannels = 16;

} // namespace korva
