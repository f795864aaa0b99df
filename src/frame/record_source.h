// What the standard fill procedure needs of a recordset.
//
// The data layer's Recordset implements it; tests drive the fill procedure with doubles.
#pragma once

#include <cstdint>
#include <string_view>

#include "ksmain/variant.h"

namespace ksmain {

class RecordSource {
 public:
  virtual ~RecordSource() = default;
  virtual bool AtBof() const = 0;
  virtual bool AtEof() const = 0;
  // The current record's value of a field, named without regard to case, in its own kind
  // (Null for a database NULL). A name the result lacks raises 3265.
  virtual Variant Field(std::string_view name) const = 0;
  // For a reader that takes the same fields from every record: where a field is, found as
  // Field(name) finds it (a name the result lacks raises 3265), and the current record's
  // value there. A source that keeps no positions answers -1 and is read by name.
  virtual int FieldIndex(std::string_view name) const {
    (void)name;
    return -1;
  }
  virtual Variant FieldAt(int index) const {
    (void)index;
    throw VbError(err::kItemNotFound);
  }
  virtual void MoveNext() = 0;
  // The records from the current one to the end; the source ends after it.
  virtual std::int64_t CountToEnd() {
    std::int64_t records = 0;
    for (; !AtEof(); MoveNext()) ++records;
    return records;
  }
};

}  // namespace ksmain
