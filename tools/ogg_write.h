// Encodes mono float samples (-1..1) as an OGG/Vorbis file with libvorbisenc; used by
// the sound maker and by the sound tests for their clips.
#pragma once

#include <string>
#include <vector>

namespace kve::tools {

// False when the file cannot be written or the encoder refuses the settings.
bool writeOgg(const std::string& path, const std::vector<float>& samples, int rate, float quality = 0.4f);

} // namespace kve::tools
