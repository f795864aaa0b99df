// Where an import writes: a database it can list, create tables in and fill, one table per
// transaction.
//
// The embedded engine is the one destination today. Everything engine-specific (how to list
// tables and columns, the column types of a created table, how a blob is bound) is behind
// this interface, so a server destination is another implementation over a server
// driver's session.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "data/driver.h"
#include "import/source.h"
#include "ksmain/variant.h"

namespace ksmain::import {

class Destination {
 public:
  virtual ~Destination() = default;
  // The tables that hold user data (the engine's own bookkeeping left out).
  virtual std::vector<std::string> Tables() = 0;
  // A table's columns with their kinds; nullopt when there is no such table (the name
  // matched without regard to case; the shape carries the stored spelling).
  virtual std::optional<TableShape> Find(const std::string& name) = 0;
  virtual std::int64_t RowCount(const std::string& table) = 0;
  // Runs a schema script (statements separated by ";").
  virtual void Script(const std::string& ddl) = 0;

  virtual void Begin() = 0;
  virtual void Commit() = 0;
  // Undoes everything since Begin; never throws.
  virtual void Rollback() noexcept = 0;
  // Creates a table with the given columns, each in the engine's type for its kind.
  virtual void CreateTable(const TableShape& shape) = 0;
  // Inserts rows into `table`, one value per entry of `columns` in that order.
  virtual void PrepareInsert(const TableShape& table, const std::vector<Column>& columns) = 0;
  virtual void Insert(std::span<const Variant> values) = 0;
};

// A destination reached through one engine session: a table's transaction and the schema
// scripts are the same on every engine; a destination left with a table half written rolls
// it back.
class SessionDestination : public Destination {
 public:
  ~SessionDestination() override { Rollback(); }
  void Script(const std::string& ddl) override { session_->ExecuteScript(ddl); }
  void Begin() override {
    session_->ExecuteScript("BEGIN");
    open_ = true;
  }
  void Commit() override {
    session_->ExecuteScript("COMMIT");
    open_ = false;
  }
  void Rollback() noexcept override {
    if (!open_) return;
    open_ = false;
    try {
      session_->ExecuteScript("ROLLBACK");
    } catch (...) {
      // A failed statement or a broken connection may already have ended the transaction.
    }
  }

 protected:
  explicit SessionDestination(std::unique_ptr<data::Session> session) : session_(std::move(session)) {}
  std::unique_ptr<data::Session> session_;

 private:
  bool open_ = false;
};

// An embedded database file: created when missing or empty, opened otherwise.
std::unique_ptr<Destination> OpenEmbeddedDestination(const std::string& path);

}  // namespace ksmain::import
