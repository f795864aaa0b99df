// The tool's commands other than the bridge.
#pragma once

#include <iosfwd>
#include <string>

namespace ksmain::tool {

int Init(const std::string& kind, const std::string& file, bool demo);
int Sql(const std::string& dialect, const std::string& db, bool run, std::istream& in, std::ostream& out);
int Demo(const std::string& dir, std::ostream& out);

}  // namespace ksmain::tool
