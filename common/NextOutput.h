#pragma once
// Which output "next output" makes Windows' default: one rule for
// tarnmixer.exe and the program. Portable.
#include <string>
#include <vector>

// The entry of the Channel list `channels` after `current` (the entry of the
// default output now; -1 where none is), round from the first after the
// last, that is an output of its own: any but `follower`, the entry that
// follows whichever output is the default. `current` itself where it is the
// only one; -1 where there is none.
inline int NextOutputEntry(const std::vector<std::string>& channels, int current,
                           const std::string& follower)
{
    const int count = static_cast<int>(channels.size());
    const int from = current >= 0 && current < count ? current : -1;
    for (int step = 1; step <= count; ++step) {
        const int entry = (from + step) % count;
        if (channels[entry] != follower) return entry;
    }
    return -1;
}
