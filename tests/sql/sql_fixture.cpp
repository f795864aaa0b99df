#include "sql_fixture.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "data/sqlite/functions.h"

namespace ksmain::sql::testing {
namespace {

// "Name:code" pairs; codes: L Long, I Integer, D Double, C Currency, B Boolean, T date,
// S text, X text compared exactly.
TableInfo Table(std::string name, std::string_view columns) {
  TableInfo t{std::move(name), {}};
  std::istringstream in{std::string(columns)};
  std::string word;
  while (in >> word) {
    const auto colon = word.find(':');
    ColumnType type = ColumnType::String;
    switch (word[colon + 1]) {
      case 'L': type = ColumnType::Long; break;
      case 'I': type = ColumnType::Integer; break;
      case 'D': type = ColumnType::Double; break;
      case 'C': type = ColumnType::Currency; break;
      case 'B': type = ColumnType::Boolean; break;
      case 'T': type = ColumnType::Date; break;
      default: break;
    }
    t.columns.push_back({word.substr(0, colon), type});
  }
  return t;
}

MemoryCatalog BuildPortfolio() {
  MemoryCatalog c(101);
  c.Add(Table("ProjectMaster",
              "ID:L NameOfProject:S ProjectNo:S Priority:L Department:L ProjectOwner:L "
              "SubmittedBy:L Status:L ProjectType:L ProjectRank:D PercentCompleted:D "
              "EstDateStarted:T ActDateStarted:T EstDateCompleted:T ActDateCompleted:T "
              "EstProjectCost:C ActProjectCost:C ReviewDate:T SuccessRank:D CostRank:D TimeRank:D "
              "ImprCompanyRank:D ImprCustomerRank:D misc1:S misc2:S misc3:S misc4:S misc5:S "
              "Comments:S Benefits:S ExpectedResults:S"));
  c.Add(Table("ProjectSteps",
              "ID:L StepName:S ProjectID:L ResourceID:L EstTime:D ActTime:D EstCost:C ActCost:C "
              "EstStartDate:T ActStartDate:T EstCompletionDate:T ActCompletionDate:T Status:L "
              "Misc1:S Misc2:S Description:S PercentCompleted:D"));
  c.Add(Table("Resource", "ID:L ResourceNo:S Department:L FirstName:S LastName:S Title:S NoOfProjects:L"));
  c.Add(Table("ProjectStepResources", "ID:L ProjectStepID:L ResourceID:L misc1:S misc2:S"));
  c.Add(Table("Attendees", "ID:L AttendeeID:L PlannedReviewDate:S ActualReviewDate:S"));
  c.Add(Table("projectRevisedDates", "ID:L ProjectID:L RevisedEstCompDate:T DateTimeValue:T"));
  c.Add(Table("globalvars", "maintitle:S SecurityEnabled:S DefaultSecuritySettings:S"));
  c.Add(Table("KaizenEvents", "ID:L KaizenEvent:S Units:S"));
  c.Add(Table("KaizenResults",
              "ID:L ProjectID:L KaizenEventID:L ImpBefore:D ImpAfter:D ImpDiff:D VerifiedBefore:D "
              "VerifiedAfter:D VerifiedDiff:D VerifiedDate:T VerifiedBy:L KNotes:S DateTimeValue:T"));
  c.Add(Table("Status", "id:L statuscode:S description:S"));
  c.Add(Table("rank", "id:L rankno:S rankdescription:S"));
  c.Add(Table("priority", "id:L priorityno:S prioritydescription:S"));
  c.Add(Table("department", "id:L departmentno:S departmentname:S"));
  c.Add(Table("type", "id:L typeno:S typedescription:S"));
  return c;
}

MemoryCatalog BuildCatalogue() {
  MemoryCatalog c(202);
  c.Add(Table("entries",
              "ID:L CategoryId:L SubcategoryId1:L SubcategoryId2:L SubcategoryId3:L "
              "SubcategoryId4:L SubcategoryId5:L SubcategoryId6:L Title:S Summary:S BodyText:S "
              "Cost:C shipping_cost:C sale_price:C cont_part_number:S mfg_part_number:S "
              "ImageThumbnail:S Image1:S beg_year:L end_year:L Link1:S Link2:S MiscParm1:S "
              "MiscParm2:S MiscParm3:S MiscParm4:S MiscParm5:S ExpireDate:T ActiveInd:S "
              "clientID:L DateTimeValue:T Level1PromotionFlag:S"));
  c.Add(Table("clients",
              "ID:L surname:S firstname:S lastname:S companyname:S address1:S address2:S city:S "
              "state:S zipcode:S province:S country:S phone:S fax:S email:S weburl:S username:S "
              "password:X passwordhint:S passwordanswer:S expiredate:T activeind:S DateTimeValue:T "
              "image:S image_large:S miscparm1:S miscparm2:S miscparm3:S"));
  c.Add(Table("navigation", "id:L address:S pagename:S articleID:L DateTimeValue:T"));
  c.Add(Table("effectiveness", "articleID:L Score:L DateTimeValue:T"));
  c.Add(Table("category", "ID:L category:S"));
  for (int i = 1; i <= 6; ++i) {
    const std::string n = "subcategory" + std::to_string(i);
    c.Add(Table(n, "ID:L " + n + ":S LinkID:L"));
  }
  c.Add(Table("campaigns", "ID:L Camplevel:S begindate:T enddate:T activeind:S clientID:L"));
  c.Add(Table("entrycounts",
              "entrycnt:L categoryid:L subcategoryid1:L subcategoryid2:L subcategoryid3:L "
              "subcategoryid4:L subcategoryid5:L subcategoryid6:L"));
  return c;
}

const char* Declared(ColumnType t) {
  switch (t) {
    case ColumnType::Integer: return "SMALLINT";
    case ColumnType::Long: return "INTEGER";
    case ColumnType::Double: return "REAL";
    case ColumnType::Currency: return "MONEY";
    case ColumnType::Boolean: return "BIT";
    case ColumnType::Date: return "DATETIME";
    case ColumnType::String: return "TEXT COLLATE NOCASE";
    case ColumnType::Unknown: return "";
  }
  return "";
}

}  // namespace

const MemoryCatalog& PortfolioCatalog() {
  static const MemoryCatalog c = BuildPortfolio();
  return c;
}

const MemoryCatalog& CatalogueCatalog() {
  static const MemoryCatalog c = BuildCatalogue();
  return c;
}

Db::Db(const MemoryCatalog& catalog) : catalog_(catalog) {
  sqlite3_open(":memory:", &db_);
  // A misspelt name must fail, not turn into a string literal.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  data::sqlite::RegisterEngineFunctions(db_);
  const bool portfolio = &catalog == &PortfolioCatalog();
  const std::vector<std::string> names =
      portfolio ? std::vector<std::string>{"ProjectMaster", "ProjectSteps", "Resource",
                                           "ProjectStepResources", "Attendees", "projectRevisedDates",
                                           "globalvars", "KaizenEvents", "KaizenResults", "Status",
                                           "rank", "priority", "department", "type"}
                : std::vector<std::string>{"entries", "clients", "navigation", "effectiveness",
                                           "category", "subcategory1", "subcategory2", "subcategory3",
                                           "subcategory4", "subcategory5", "subcategory6",
                                           "campaigns", "entrycounts"};
  for (const std::string& name : names) {
    const TableInfo* t = catalog.FindTable(name);
    std::string ddl = "CREATE TABLE \"" + t->name + "\" (";
    for (std::size_t i = 0; i < t->columns.size(); ++i) {
      if (i) ddl += ", ";
      const ColumnInfo& c = t->columns[i];
      ddl += "\"" + c.name + "\" ";
      if (name == "clients" && c.name == "password") {
        ddl += "TEXT";
      } else if (i == 0 && c.name == "ID" && c.type == ColumnType::Long) {
        ddl += "INTEGER PRIMARY KEY";
      } else {
        ddl += Declared(c.type);
      }
    }
    Exec(ddl + ")");
  }
}

Db::~Db() { sqlite3_close(db_); }

void Db::Exec(std::string_view sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &error);
  ASSERT_EQ(rc, SQLITE_OK) << (error ? error : "") << "\n" << sql;
}

Rows Db::Query(std::string_view sql, const std::vector<BoundValue>& values) {
  return Fetch(sql, values, false);
}

Rows Db::Fetch(std::string_view sql, const std::vector<BoundValue>& values, bool storage_classes) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + std::string(sql));
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int index = static_cast<int>(i) + 1;
    const BoundValue& v = values[i];
    if (const auto* integer = std::get_if<std::int64_t>(&v)) {
      sqlite3_bind_int64(stmt, index, *integer);
    } else if (const auto* real = std::get_if<double>(&v)) {
      sqlite3_bind_double(stmt, index, *real);
    } else if (const auto* text = std::get_if<std::string>(&v)) {
      sqlite3_bind_text(stmt, index, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
    }
  }
  Rows rows;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      // When asked, the storage class is part of the value: 1, 1.0 and '1' differ.
      const int storage = sqlite3_column_type(stmt, i);
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
      std::string cell = text ? text : "NULL";
      if (storage_classes) cell = std::to_string(storage) + ":" + cell;
      row.push_back(std::move(cell));
    }
    rows.push_back(std::move(row));
  }
  const std::string message = sqlite3_errmsg(db_);
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) throw std::runtime_error(message);
  return rows;
}

Rows Db::Run(std::string_view source, Dialect dialect) {
  const std::string text = Translate(source, dialect, catalog_).text;
  // Every statement judged here is judged twice: the parameterised form with its values
  // bound must give the very rows, of the very storage classes, that the text with its
  // values written out gives.
  const BoundStatement bound = TranslateBound(source, dialect, catalog_);
  EXPECT_EQ(Fetch(bound.engine_text(), bound.values, true), Fetch(text, {}, true))
      << bound.engine_text();
  return Query(text);
}

}  // namespace ksmain::sql::testing
