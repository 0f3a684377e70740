// Minimal PNG writer: 8-bit RGB, zlib stream of stored (uncompressed) blocks.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

// rgb holds height rows of width * 3 bytes, top row first.
std::vector<uint8_t> encode_png(int width, int height, const std::vector<uint8_t>& rgb);
bool write_png(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
