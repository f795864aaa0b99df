// Reading Access tables through mdbtools' library.
//
// mdbtools formats every value as text for its own tools; the import reads the stored
// bytes instead wherever it can. Dates are the platform's day numbers (a double counting
// days from 12/30/1899), and the library's own formatting handles neither years before
// 1900 nor ones far ahead, so the double is taken from the row as stored. Currency is a
// 64-bit count of ten-thousandths and is taken as such, so no amount passes through a
// decimal text. Only text and memo go through the library's conversion, which knows the
// file's code page and the compressed Unicode of the later format.
#include "import/mdb/access_source.h"

#include <mdbtools.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string_view>

#include "frame/vb_runtime.h"

namespace ksmain::import {
namespace {

// A memo longer than this is refused rather than read: Access itself caps a memo typed in
// at 64K characters, and a length beyond this is more likely a damaged file than text.
constexpr std::uint32_t kMaxMemoBytes = 64u << 20;
// The same limit for OLE objects and long binary values.
constexpr std::size_t kMaxBlobBytes = 256u << 20;

std::uint32_t Le32(const unsigned char* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

std::uint64_t Le64(const unsigned char* p) {
  return std::uint64_t{Le32(p)} | std::uint64_t{Le32(p + 4)} << 32;
}

ColumnKind KindOf(const MdbColumn& col) {
  switch (col.col_type) {
    case MDB_BOOL: return ColumnKind::Boolean;
    case MDB_BYTE:
    case MDB_INT: return ColumnKind::Integer;
    case MDB_LONGINT:
    case MDB_COMPLEX: return ColumnKind::Long;
    case MDB_MONEY: return ColumnKind::Currency;
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC: return ColumnKind::Double;
    case MDB_DATETIME: return ColumnKind::Date;
    case MDB_TEXT:
    case MDB_REPID: return ColumnKind::Text;
    case MDB_MEMO: return ColumnKind::Memo;
    case MDB_BINARY:
    case MDB_OLE: return ColumnKind::Blob;
    default: return ColumnKind::Blob;
  }
}

// A g_malloc'd text from the library, freed on every path.
struct GText {
  char* p;
  ~GText() { g_free(p); }
};

class AccessReader final : public RowReader {
 public:
  AccessReader(MdbHandle* mdb, MdbTableDef* table, const TableShape& shape)
      : mdb_(mdb), table_(table), shape_(shape), fields_(table->num_cols) {
    for (unsigned i = 0; i < table_->num_cols; ++i) {
      auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
      // OLE values are read in page-sized chunks into the column's bound buffer.
      if (col->col_type == MDB_OLE) {
        ole_buffers_.emplace_back(2 * MDB_PGSIZE);
        mdb_bind_column(table_, static_cast<int>(i) + 1, ole_buffers_.back().data(), nullptr);
      }
    }
    mdb_rewind_table(table_);
  }
  ~AccessReader() override { mdb_free_tabledef(table_); }

  bool Next(std::vector<Variant>& row) override {
    if (!mdb_fetch_row(table_)) return false;
    // The fetch leaves the row's page in the handle's buffer and its number one behind the
    // table's position; cracking it again gives each field's null flag, which the fetch
    // itself does not keep (an empty text and a Null look alike after it).
    int start = 0;
    std::size_t size = 0;
    if (table_->cur_row == 0 || mdb_find_row(mdb_, static_cast<int>(table_->cur_row) - 1, &start, &size) != 0) {
      throw ValueError(shape_.columns.empty() ? "" : shape_.columns[0].name, "the row cannot be located in its page");
    }
    start &= 0x1fff;
    int cracked = mdb_crack_row(table_, start, size, fields_.data());
    if (cracked < 0 || static_cast<unsigned>(cracked) < table_->num_cols) {
      throw ValueError(shape_.columns.empty() ? "" : shape_.columns[0].name, "the row is damaged");
    }
    row.assign(table_->num_cols, Variant::Null());
    for (unsigned i = 0; i < table_->num_cols; ++i) {
      const MdbField& field = fields_[i];
      if (field.colnum < 0 || static_cast<unsigned>(field.colnum) >= table_->num_cols) continue;
      auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, field.colnum));
      row[field.colnum] = ValueOf(*col, field);
    }
    return true;
  }

 private:
  Variant ValueOf(MdbColumn& col, const MdbField& field) {
    // A yes/no column keeps its value in the null mask: "null" there means No.
    if (col.col_type == MDB_BOOL) return Variant(!field.is_null);
    if (field.is_null) return Variant::Null();
    const int start = field.start;
    const int len = field.siz;
    if (start < 0 || len < 0 || start + len > static_cast<int>(mdb_->fmt->pg_size)) {
      throw ValueError(col.name, "the value lies outside its page");
    }
    const unsigned char* p = mdb_->pg_buf + start;
    auto need = [&](int bytes) {
      if (len < bytes) throw ValueError(col.name, "the value is shorter than its type");
    };
    switch (col.col_type) {
      case MDB_BYTE: need(1); return Variant(static_cast<std::int16_t>(p[0]));
      case MDB_INT: need(2); return Variant(static_cast<std::int16_t>(p[0] | p[1] << 8));
      case MDB_LONGINT:
      case MDB_COMPLEX: need(4); return Variant(static_cast<std::int32_t>(Le32(p)));
      case MDB_MONEY: need(8); return Variant::FromCurrency(static_cast<std::int64_t>(Le64(p)));
      case MDB_FLOAT: {
        need(4);
        std::uint32_t bits = Le32(p);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return Variant(static_cast<double>(f));
      }
      case MDB_DOUBLE:
      case MDB_DATETIME: {
        need(8);
        std::uint64_t bits = Le64(p);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (col.col_type == MDB_DOUBLE) return Variant(d);
        return Variant::FromDate(d);
      }
      case MDB_NUMERIC: {
        need(17);
        GText text{mdb_numeric_to_string(mdb_, start, col.col_scale, col.col_prec)};
        auto number = text.p ? vb::ParseNumber(text.p) : std::nullopt;
        if (!number) throw ValueError(col.name, "the decimal value cannot be read");
        // A decimal with more digits than a double keeps would lose its last ones.
        std::string_view digits(text.p);
        int significant = 0;
        bool leading = true;
        for (char c : digits) {
          if (c < '0' || c > '9') continue;
          if (leading && c == '0') continue;
          leading = false;
          ++significant;
        }
        if (significant > 15) {
          throw ValueError(col.name, "the decimal " + std::string(digits) + " has more digits than the destination keeps");
        }
        return Variant(*number);
      }
      case MDB_TEXT:
        return Text(col, start, len, MDB_TEXT, static_cast<std::size_t>(len));
      case MDB_MEMO: {
        if (len < MDB_MEMO_OVERHEAD) return Variant(std::string());
        const std::uint32_t bytes = Le32(p) & 0x3fffffffu;
        if (bytes > kMaxMemoBytes) throw ValueError(col.name, "the memo is longer than 64 MB");
        return Text(col, start, len, MDB_MEMO, bytes);
      }
      case MDB_REPID:
        need(16);
        return Text(col, start, len, MDB_REPID, 64);
      case MDB_BINARY:
        return Variant(std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(len)));
      case MDB_OLE:
        return Ole(col, len);
      default:
        throw ValueError(col.name, "the column's type (" + std::to_string(col.col_type) + ") cannot be read");
    }
  }

  // Text through the library's conversion to UTF-8. Each stored byte gives at most three
  // bytes of UTF-8, so a buffer of that size can never cut the text short.
  Variant Text(const MdbColumn& col, int start, int len, int type, std::size_t stored) {
    mdb_set_bind_size(mdb_, std::max<std::size_t>(stored * 3 + 16, 256));
    GText text{mdb_col_to_string(mdb_, mdb_->pg_buf, start, type, len)};
    if (text.p == nullptr) throw ValueError(col.name, "the text cannot be read");
    return Variant(std::string(text.p));
  }

  Variant Ole(MdbColumn& col, int len) {
    if (len < MDB_MEMO_OVERHEAD || col.cur_value_len != len) return Variant(std::string());
    unsigned char header[MDB_MEMO_OVERHEAD];
    std::memcpy(header, mdb_->pg_buf + col.cur_value_start, sizeof header);
    const std::uint32_t declared = Le32(header) & 0x3fffffffu;
    if (declared > kMaxBlobBytes) throw ValueError(col.name, "the object is larger than 256 MB");
    std::string bytes;
    bytes.reserve(declared);
    auto* chunk = static_cast<const char*>(col.bind_ptr);
    std::size_t got = mdb_ole_read(mdb_, &col, header, 2 * MDB_PGSIZE);
    bytes.append(chunk, got);
    while (bytes.size() < declared && (got = mdb_ole_read_next(mdb_, &col, header)) > 0) {
      bytes.append(chunk, got);
      if (bytes.size() > kMaxBlobBytes) break;
    }
    // A chain that ends early or runs on is a damaged object: refuse it rather than
    // store part of it.
    if (bytes.size() != declared) {
      throw ValueError(col.name, "the object's stored length (" + std::to_string(declared) +
                                     " bytes) does not match what could be read (" +
                                     std::to_string(bytes.size()) + ")");
    }
    return Variant(std::move(bytes));
  }

  MdbHandle* mdb_;
  MdbTableDef* table_;
  const TableShape& shape_;
  std::vector<MdbField> fields_;
  std::vector<std::vector<char>> ole_buffers_;
};

class AccessSource final : public Source {
 public:
  explicit AccessSource(MdbHandle* mdb) : mdb_(mdb) {}
  ~AccessSource() override { mdb_close(mdb_); }

  std::vector<TableShape> Tables() override {
    std::vector<TableShape> tables;
    if (!mdb_read_catalog(mdb_, MDB_TABLE)) throw std::runtime_error("the file's catalogue cannot be read");
    for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
      auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
      if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry)) continue;
      MdbTableDef* table = mdb_read_table(entry);
      if (table == nullptr) throw std::runtime_error(std::string("table '") + entry->object_name + "' cannot be read");
      TableShape shape;
      shape.name = entry->object_name;
      if (mdb_read_columns(table)) {
        for (unsigned c = 0; c < table->num_cols; ++c) {
          auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
          Column column{col->name, KindOf(*col), 0};
          if (col->col_type == MDB_TEXT) column.size = col->col_size / (mdb_->f->jet_version == MDB_VER_JET3 ? 1 : 2);
          if (col->col_type == MDB_REPID) column.size = 38;
          shape.columns.push_back(std::move(column));
        }
      }
      mdb_free_tabledef(table);
      tables.push_back(std::move(shape));
    }
    return tables;
  }

  std::unique_ptr<RowReader> Read(const TableShape& shape) override {
    MdbTableDef* table = nullptr;
    if (mdb_->catalog == nullptr && !mdb_read_catalog(mdb_, MDB_TABLE)) {
      throw std::runtime_error("the file's catalogue cannot be read");
    }
    for (unsigned i = 0; i < mdb_->num_catalog && table == nullptr; ++i) {
      auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
      if (entry->object_type == MDB_TABLE && shape.name == entry->object_name) table = mdb_read_table(entry);
    }
    if (table == nullptr) throw std::runtime_error("table '" + shape.name + "' cannot be read");
    if (!mdb_read_columns(table) || table->num_cols != shape.columns.size()) {
      mdb_free_tabledef(table);
      throw std::runtime_error("the columns of table '" + shape.name + "' cannot be read");
    }
    return std::make_unique<AccessReader>(mdb_, table, shape);
  }

 private:
  MdbHandle* mdb_;
};

}  // namespace

bool LooksLikeAccessFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::array<char, 20> head{};
  if (!in.read(head.data(), head.size())) return false;
  std::string_view text(head.data() + 4, 15);
  return text == "Standard Jet DB" || text == "Standard ACE DB";
}

std::unique_ptr<Source> OpenAccessFile(const std::string& path) {
  // The file is whole pages (2 KB in the first format, 4 KB after). A file cut short
  // sends the library's catalogue reader round in an endless loop, so it is refused here.
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::array<char, 1> version{};
  const auto size = static_cast<long long>(in.tellg());
  in.seekg(0x14);
  if (!in || !in.read(version.data(), 1) || size <= 0 ||
      size % (version[0] == 0 ? 2048 : 4096) != 0) {
    throw std::runtime_error("Access file '" + path + "' is cut short (not a whole number of pages)");
  }
  MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (mdb == nullptr) throw std::runtime_error("cannot open Access file '" + path + "'");
  return std::make_unique<AccessSource>(mdb);
}

}  // namespace ksmain::import
