// Lists the statuses of a portfolio database with Kestrel and checks how many came back.
//   status_count DATABASE EXPECTED_ROWS
#include <cstdlib>
#include <iostream>
#include <string>

#include "ksmain/kestrel.h"
#include "ksmain/version.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: status_count DATABASE EXPECTED_ROWS\n";
    return 2;
  }
  ksmain::Kestrel k;
  ksmain::Variant grid, connect = std::string("Data Source=") + argv[1], count, sortby = std::string();
  k.Get_StatusAll(grid, connect, count, sortby);
  if (!grid.IsArray()) {
    std::cerr << "no grid came back\n";
    return 1;
  }
  // Cell (0, 0) holds the number of rows; the statuses follow from row 1.
  const ksmain::Variant& rows = grid.AsArray().at({0, 0});
  const long got = rows.kind() == ksmain::VarKind::Integer ? rows.AsInteger() : rows.AsLong();
  const long expected = std::atol(argv[2]);
  std::cout << "ksmain " << KSMAIN_VERSION << ": " << got << " statuses\n";
  if (got != expected || expected <= 0) {
    std::cerr << "expected " << expected << " statuses, got " << got << "\n";
    return 1;
  }
  return 0;
}
