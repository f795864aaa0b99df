// A readable account of a translation, for the command-line tool and for diagnostics.
#pragma once

#include <string>

#include "sql/translate.h"

namespace ksmain::sql {

// Several lines: the statement kind, the engine text (or the procedure and its
// arguments) and each result column with its name and kind.
std::string DescribeTranslation(const Translation& translation);

}  // namespace ksmain::sql
