// Whole-file reads and writes for tests that look at what a program wrote.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// The file's bytes; empty when it cannot be read.
inline std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream ss;
    ss << file.rdbuf();
    return ss.str();
}

inline void WriteWholeFile(const std::filesystem::path& path, const std::string& sBytes)
{
    std::ofstream(path, std::ios::binary) << sBytes;
}
