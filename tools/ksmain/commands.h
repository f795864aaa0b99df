// The tool's commands other than the bridge.
#pragma once

#include <iosfwd>
#include <string>

namespace ksmain::tool {

int Init(const std::string& kind, const std::string& file, bool demo);
int Sql(const std::string& dialect, const std::string& db, bool run, std::istream& in, std::ostream& out);
// Creates both demo databases in `dir` and runs the session; existing databases there are
// refused unless `replace` is set.
int Demo(const std::string& dir, bool replace, std::ostream& out);

}  // namespace ksmain::tool
