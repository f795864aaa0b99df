// An embedded database file as an import source.
#pragma once

#include <memory>
#include <string>

#include "import/source.h"

namespace ksmain::import {

// True when the file starts with the embedded engine's header.
bool LooksLikeEmbeddedFile(const std::string& path);
std::unique_ptr<Source> OpenEmbeddedSource(const std::string& path);

}  // namespace ksmain::import
