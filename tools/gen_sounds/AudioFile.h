// Encoding and decoding through libsndfile, all in memory: the game loads its
// sounds from memory too, so reading our own output back the same way checks
// what the player will hear.
#pragma once

#include "Sound.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dorvel::gensounds {

using Bytes = std::vector<std::uint8_t>;

// Ogg Vorbis at a good quality. The stream serial number, which the encoder
// picks at random, is replaced by one derived from serial, so every build
// writes the same bytes.
std::optional<Bytes> encodeOgg(const Sound &sound, std::uint32_t serial, std::string &error);

// 16-bit PCM WAV, for listening and for external tools.
std::optional<Bytes> encodeWav(const Sound &sound, std::string &error);

// Decodes any format libsndfile reads into interleaved samples; channels
// receives the channel count.
std::optional<Samples> decode(const Bytes &bytes, int &channels, std::string &error);

bool writeFile(const std::string &path, const Bytes &bytes, std::string &error);

} // namespace dorvel::gensounds
