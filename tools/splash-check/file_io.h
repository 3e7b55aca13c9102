// Whole files in and out, with one-line reasons for the command line.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace splash {

// Reads the whole file; an error message, or an empty string. Files beyond
// 1 GiB are refused before reading: no splash picture is that big.
std::string ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// Creates or replaces the file; an error message, or an empty string.
std::string WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Moves `from` over `to`, replacing it in one step; an error message, or empty.
std::string MoveOver(const std::string& from, const std::string& to);

}  // namespace splash
