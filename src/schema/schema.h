// The two embedded databases: the portfolio (projects, steps, resources, meetings, Kaizen
// results) and the catalogue (entries in a category tree, clients, campaigns, page views,
// stored procedures), each with an optional demonstration data set.
//
// The schemas are compiled into the library so a deployment needs nothing but the library
// to create a working database; the members themselves never create or alter tables.
#pragma once

#include <string>
#include <string_view>

namespace ksmain::schema {

// The engine DDL of each database (tables, indexes and, for the catalogue, procedures).
std::string_view PortfolioDdl();
std::string_view CatalogueDdl();

// The same schema for a PostgreSQL server, made from an embedded DDL above (with the
// server's engine functions, and the catalogue's procedures when `catalogue` is set).
std::string ServerDdl(std::string_view embedded_ddl, bool catalogue);

// Create a database file with its schema, and the demonstration data when `demo` is set.
// An existing file is refused unless it is empty. `path` may instead be an ODBC connection
// string naming an existing, empty server database: the schema is created in it.
// Failures raise VbError.
void CreatePortfolioDatabase(const std::string& path, bool demo);
void CreateCatalogueDatabase(const std::string& path, bool demo);

// Appends `count` generated projects (with steps, step resources and Kaizen results) to a
// portfolio database; benchmarks use it to grow the demo data to realistic sizes. The
// generator is deterministic: the same database and count give the same rows.
void AddDemoProjects(const std::string& path, int count);

}  // namespace ksmain::schema
