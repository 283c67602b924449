// Values the tests name rather than spell out: spans of the simulated clock, the shell
// versions the tray component tells apart, and the flags it sends them.
#pragma once

#include <cstdint>

#include "platform/codes.h"

namespace zanto::test {

// The simulated clock counts milliseconds.
inline constexpr std::uint64_t kSecond = 1000;
inline constexpr std::uint64_t kHour = 3600 * kSecond;
inline constexpr std::uint64_t kDay = 24 * kHour;
// The longest a quote waits for the next: long enough for at least one more to come up.
inline constexpr std::uint64_t kTwoDays = 2 * kDay;

// Shell versions as the shell reports them: major * 65536 + minor.
inline constexpr std::uint32_t kShell471 = 0x40047;  // Windows 98's: no balloons
inline constexpr std::uint32_t kShell60 = 0x60000;   // XP and later

// What an add (and a retry's probe) asks of the shell: the callback, the icon and the tip.
inline constexpr std::uint32_t kAddFlags =
    platform::nif::Message | platform::nif::Icon | platform::nif::Tip;

}  // namespace zanto::test
