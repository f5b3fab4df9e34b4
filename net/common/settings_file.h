// Reading the GPRS settings files, shared by the GPRS plug-ins.
#pragma once

#include <cstdint>
#include <span>

// Opens `path` for binary reading, rewinds it, reads up to image.size()
// bytes into `image` and closes it. A file shorter than the image leaves
// zeros past its end. Returns image.data(), or nullptr when the file cannot be
// opened or a read fails (the image is then all zeros).
std::uint8_t* ReadSettingsImage(const char* path, std::span<std::uint8_t> image);
