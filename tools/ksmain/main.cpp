// ksmain: the library's command-line tool.
//   ksmain call                      JSON bridge: request on stdin, response on stdout
//   ksmain init portfolio|catalogue FILE|ODBC-STRING [--demo]
//   ksmain sql --dialect jet|tsql [--db FILE] [--run]
//   ksmain demo [DIR] [--replace]    a page-like session on fresh demo databases
//   ksmain import SRC DEST [--schema portfolio|catalogue] [--append]
//   ksmain serve --listen H:P --data DIR [--token T] [--config FILE] [--web DIR]
#include <CLI/CLI.hpp>
#include <iostream>
#include <unistd.h>

#include "bridge.h"
#include "commands.h"
#include "import_command.h"
#include "serve.h"
#include "ksmain/dispatch.h"
#include "ksmain/library.h"
#include "ksmain/version.h"

int main(int argc, char** argv) {
  CLI::App app{"KsMain: the portfolio and catalogue automation classes"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "ksmain " KSMAIN_VERSION);
  app.footer(
      "Every command has its own page: ksmain COMMAND --help.\n"
      "Exit status: 0 on success, 1 when a command fails, 2 for unusable input.");

  auto* call = app.add_subcommand("call", "run one JSON request of late-bound calls (stdin -> stdout)");
  call->footer(R"(SYNOPSIS
  ksmain call < REQUEST.json

DESCRIPTION
  Reads one request from standard input, creates one instance of the named class, runs the
  calls in order on it and prints one response with every parameter's value after each call.
  A member that raises puts {"number", "description"} in its "error" and the rest still run.
    request:  {"object": PROGID, "calls": [{"member": NAME or DISPID, "args": [...]}],
               "settings": {"catalogue_host": HOST, "servers": {NAME: DIR or ODBC string}}}
    response: {"results": [{"return": V, "args": [...], "error": null}, ...]}
  Values: null = Empty, strings, true/false, integers = Long, other numbers = Double, arrays;
  other kinds tagged: {"$":"null"}, {"$":"i2","v":5}, {"$":"cy","v":"1.5000"},
  {"$":"date","v":"2026-12-06T14:30:00"}, {"$":"array","lbound":[..],"ubound":[..],"v":[..]}.

EXAMPLE
  ksmain init portfolio /tmp/p.db --demo
  echo '{"object":"KsMain.Kestrel","calls":[{"member":"Get_StatusAll",
         "args":[null,"Data Source=/tmp/p.db",null,""]}]}' | ksmain call

EXIT STATUS
  0 once a response is printed (also when members raised); 2 for a malformed request.)");

  std::string kind, file;
  bool demo_data = false;
  auto* init = app.add_subcommand("init", "create the schema in an embedded file or a server database");
  init->add_option("kind", kind, "portfolio or catalogue")->required()->check(CLI::IsMember({"portfolio", "catalogue"}));
  init->add_option("file", file, "database file to create, or an ODBC string naming a server database")->required();
  init->add_flag("--demo", demo_data, "fill it with the demo data set");
  init->footer(R"(SYNOPSIS
  ksmain init portfolio FILE|ODBC-STRING [--demo]
  ksmain init catalogue FILE|ODBC-STRING [--demo]

DESCRIPTION
  Creates an embedded database file with the schema of the portfolio or the catalogue
  (tables, the catalogue's stored procedures), and with --demo the demonstration data set.
  Pages open it with the connection string "Data Source=FILE".
  An argument naming "Driver=" or "DSN=" is an ODBC connection string instead: the schema
  and data go into that existing, empty server database (PostgreSQL needs the citext
  extension of postgresql-contrib), and pages pass that string or a mapped server name.

EXAMPLES
  ksmain init portfolio /var/lib/ksmain/portfolio.db
  ksmain init catalogue /var/lib/ksmain/veldaSQL.db --demo
  ksmain init portfolio "Driver={PostgreSQL Unicode};Server=/var/run/postgresql;Database=portfolio" --demo)");

  std::string dialect = "jet", db;
  bool run = false;
  auto* sql = app.add_subcommand("sql", "show what a statement becomes for the embedded engine (stdin)");
  sql->add_option("--dialect", dialect, "jet or tsql")->check(CLI::IsMember({"jet", "tsql"}));
  sql->add_option("--db", db, "database whose schema the statement is analysed against");
  sql->add_flag("--run", run, "run it through the DataLink and print the rows");
  sql->footer(R"(SYNOPSIS
  ksmain sql [--dialect jet|tsql] [--db FILE] [--run] < STATEMENT

DESCRIPTION
  Reads one statement as a page sends it (Jet for the portfolio, T-SQL for the catalogue)
  and prints what the embedded engine runs. With --db the statement is analysed against that
  database's schema and the kinds of its result columns are shown; with --run it is run
  through the DataLink and its rows are printed as JSON.

EXAMPLES
  echo "SELECT TOP 5 * FROM [Status] WHERE x = #12/6/2026#" | ksmain sql
  echo "SELECT * FROM Status" | ksmain sql --db /tmp/p.db --run

EXIT STATUS
  0 on success; 1 for a statement that does not parse (its position is printed).)");

  std::string dir = "out/demo";
  auto* demo = app.add_subcommand("demo", "create demo databases and run a page-like session");
  bool replace = false;
  demo->add_option("dir", dir, "folder for the demo databases");
  demo->add_flag("--replace", replace, "replace demo databases already in the folder");
  demo->footer(R"(SYNOPSIS
  ksmain demo [DIR] [--replace]

DESCRIPTION
  Creates both demo databases in DIR (default out/demo) and runs a page-like session on
  them through the dispatch layer: the portfolio pages, a save and reload of one project,
  the reports and the catalogue, printing what each page would show. Demo databases already
  in DIR are refused unless --replace is given.

EXAMPLE
  ksmain demo --replace /tmp/ksmain-demo)");

  std::string src, dest, schema;
  bool append = false;
  auto* import = app.add_subcommand("import", "copy an Access file or embedded database into an embedded database");
  import->add_option("src", src, "Access file (.mdb/.accdb) or embedded database")->required();
  import->add_option("dest", dest, "embedded database file (new, or without rows unless --append)")->required();
  import->add_option("--schema", schema, "match to a schema")->check(CLI::IsMember({"portfolio", "catalogue"}));
  import->add_flag("--append", append, "add to a destination that already has rows");

  std::string config_file, listen, token, web;
  std::vector<std::string> data_dirs;
  auto* serve = app.add_subcommand("serve", "answer bridge requests over HTTP and serve the pages");
  serve->add_option("--config", config_file, "JSON config file (flags given here override it)");
  serve->add_option("--listen", listen, "HOST:PORT to listen on (default 127.0.0.1:8080; port 0: any free one)");
  serve->add_option("--data", data_dirs, "folder whose databases callers may open (repeatable)");
  serve->add_option("--token", token, "bearer token callers must send");
  serve->add_option("--web", web, "folder of the pages served at /");
  serve->footer(R"(SYNOPSIS
  ksmain serve [--listen HOST:PORT] [--data DIR]... [--token T] [--config FILE] [--web DIR]

DESCRIPTION
  Keeps the library resident and answers POST /call with exactly what `ksmain call` prints
  for the same request; serves the pages at /, GET /health and GET /metrics (Prometheus
  text). Callers' connection strings reach only databases inside the data folders and the
  servers of the config file; a request carrying "settings" is refused (403), a missing or
  wrong bearer token 401, an over-limit request 413. SIGTERM or SIGINT: finish the requests
  in flight, close the sessions, exit 0.

CONFIG FILE (JSON)
  listen, data (a folder or a list), token, servers, catalogue_host, threads, web,
  limits: {body_bytes, json_depth, cells, calls, statement_seconds}

EXAMPLE
  ksmain init portfolio /srv/ksmain/portfolio.db --demo
  ksmain serve --data /srv/ksmain --listen 127.0.0.1:8080)");

  CLI11_PARSE(app, argc, argv);
  if (serve->parsed()) {
    ksmain::serve::Config config;
    try {
      if (!config_file.empty()) config = ksmain::serve::LoadConfig(config_file);
      if (!listen.empty()) ksmain::serve::ParseListen(listen, config);
    } catch (const std::exception& e) {
      std::cerr << "ksmain serve: " << e.what() << "\n";
      return 1;
    }
    if (!data_dirs.empty()) config.data = data_dirs;
    if (!token.empty()) config.token = token;
    if (!web.empty()) config.web = web;
    DllRegisterServer();
    return ksmain::serve::Run(std::move(config), std::cout, std::cerr);
  }
  DllRegisterServer();
  int rc = 0;
  try {
    if (call->parsed()) rc = ksmain::bridge::RunCall(std::cin, std::cout, std::cerr);
    if (init->parsed()) rc = ksmain::tool::Init(kind, file, demo_data);
    if (sql->parsed()) rc = ksmain::tool::Sql(dialect, db, run, std::cin, std::cout);
    if (demo->parsed()) rc = ksmain::tool::Demo(dir, replace, std::cout);
    if (import->parsed()) {
      rc = ksmain::tool::Import(src, dest, schema, append, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
    }
  } catch (const std::exception& e) {
    std::cerr << "ksmain: " << e.what() << "\n";
    rc = 1;
  }
  // Every command ends here: the pooled sessions close and write their logs back, so the
  // database files alone hold every row committed by this run.
  ksmain::Shutdown();
  return rc;
}
