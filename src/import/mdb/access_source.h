// Access files (.mdb, and .accdb as far as mdbtools reads them) as an import source.
//
// This header names no mdbtools type: the library's headers stay in this folder.
#pragma once

#include <memory>
#include <string>

#include "import/source.h"

namespace ksmain::import {

// True when the file starts like an Access database (Jet or ACE).
bool LooksLikeAccessFile(const std::string& path);

// Opens the file read-only; a file mdbtools cannot open raises std::runtime_error.
std::unique_ptr<Source> OpenAccessFile(const std::string& path);

}  // namespace ksmain::import
