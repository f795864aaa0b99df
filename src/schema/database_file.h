// Creating a database file from a schema script and an optional filler, all or nothing:
// a failure part-way leaves no half-made database behind for a later call to open.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <sys/stat.h>

#include "data/engine_admin.h"
#include "schema/schema.h"

namespace ksmain::schema {

template <class Fill>
void CreateDatabaseFile(const std::string& path, std::string_view ddl, Fill&& fill,
                        bool catalogue = false) {
  if (data::EngineDatabase::IsServer(path)) {
    // One transaction on the server too: a failure leaves the database as empty as it was.
    data::EngineDatabase db = data::EngineDatabase::Create(path);
    db.Script("BEGIN");
    try {
      db.Script(ServerDdl(ddl, catalogue));
      fill(db);
      db.Script("COMMIT");
    } catch (...) {
      try {
        db.Script("ROLLBACK");
      } catch (...) {
      }
      throw;
    }
    return;
  }
  struct stat st {};
  const bool existed = ::stat(path.c_str(), &st) == 0;
  try {
    data::EngineDatabase db = data::EngineDatabase::Create(path);
    db.Script("BEGIN");
    db.Script(ddl);
    fill(db);
    db.Script("COMMIT");
  } catch (...) {
    // Only what this call made goes: an existing file was refused before anything was
    // written to it, or was empty and is left empty.
    if (!existed) {
      for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
    }
    throw;
  }
}

}  // namespace ksmain::schema
