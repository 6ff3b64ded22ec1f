// Files of the scenarios folder built into zorsim (generated table).
#pragma once

#include <cstddef>
#include <vector>

namespace zorsim {

struct EmbeddedFile {
  const char* path;  // relative to the project root: "scenarios/default.toml"
  const unsigned char* bytes;
  size_t size;
};

const std::vector<EmbeddedFile>& embeddedFiles();

}  // namespace zorsim
