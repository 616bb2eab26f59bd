// Files of the tests: the shared picture corpus beside the project, whole files as bytes, and
// the tab-separated tables that the corpus keeps its reference results in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// A path inside the shared corpus folder, and whether that folder exists at all (tests skip
// without it).
std::string CorpusPath(const std::string& relative);
bool HaveCorpus();

// The whole file; std::runtime_error when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string& path);

// A whole file as text (empty when it cannot be read), and a file made to hold exactly text.
std::string ReadText(const std::filesystem::path& path);
void WriteText(const std::filesystem::path& path, std::string_view text);

// Rows of a tab-separated file, skipping lines that start with '#'; empty fields are kept.
std::vector<std::vector<std::string>> ReadTsv(const std::string& path);

} // namespace testsupport
