// The embedded engine as a driver of the data layer.
//
// This is the only header of the folder that code outside it includes; it names no engine
// type, so the engine's own headers stay here.
#pragma once

#include "data/driver.h"

namespace ksmain::data {

// The process's embedded driver (databases are files; locations are their paths).
Driver& EmbeddedDriver();

}  // namespace ksmain::data
