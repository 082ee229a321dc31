// The C GIF library's view of a stream's extensions: per image the graphic control block (delay,
// disposal, transparent index) and the loop count of a looping block in front of it.
#pragma once

#include <string>
#include <vector>

namespace giftest {

struct RefControl {
    bool Present = false;
    int Delay = 0, Disposal = 0, Transparent = -1;  // -1: no transparent colour
    int LoopCount = -1;                              // -1: no looping block
    std::vector<std::string> Comments;
};

// One entry per image, in file order; empty when the library refuses the stream.
std::vector<RefControl> RefControls(const std::string& bytes);

}  // namespace giftest
