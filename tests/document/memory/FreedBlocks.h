#pragma once
// Watches what the process frees. While armed, every block is searched for
// the needles just before it is freed, and a finding is kept with the stack
// that freed it. The block is then freed as it would be: whatever wipes it
// afterwards is the allocator's doing, which a scan of the memory shows.

#include <cstddef>
#include <vector>

namespace FreedBlocks {

struct Needle {
    const char* bytes;
    std::size_t size;
};

struct Finding {
    std::size_t blockSize = 0;
    int needle = -1;          // index into the armed needles
    bool archive = false;     // the block begins with a binary property list
    int depth = 0;
    void* frames[24] = {};
};

// The needles must stay where they are until disarm().
void arm(const std::vector<Needle>& needles);
void disarm();
std::vector<Finding> findings();
// Frames of a finding as "library(function)" lines, outermost last.
std::vector<std::vector<char>> describe(const Finding& finding);

} // namespace FreedBlocks
