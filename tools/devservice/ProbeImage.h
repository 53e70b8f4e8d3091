#pragma once

#include <string>

namespace devservice {

// A 112x1 GIF89a. Its width's low byte 0x70 ('p') is followed by a zero byte, so a reader that
// stops at the first zero sees exactly "GIF89ap".
const std::string& probeImage();

}  // namespace devservice
