// ksmain: the library's command-line tool.
//   ksmain call                      JSON bridge: request on stdin, response on stdout
//   ksmain init portfolio|catalogue FILE [--demo]
//   ksmain sql --dialect jet|tsql [--db FILE] [--run]
//   ksmain demo [DIR]                a page-like session on fresh demo databases
//   ksmain serve --listen H:P --data DIR [--token T] [--config FILE] [--web DIR]
#include <CLI/CLI.hpp>
#include <iostream>

#include "bridge.h"
#include "commands.h"
#include "serve.h"
#include "ksmain/dispatch.h"
#include "ksmain/library.h"

int main(int argc, char** argv) {
  CLI::App app{"KsMain: the portfolio and catalogue automation classes"};
  app.require_subcommand(1);

  auto* call = app.add_subcommand("call", "run one JSON request of late-bound calls (stdin -> stdout)");

  std::string kind, file;
  bool demo_data = false;
  auto* init = app.add_subcommand("init", "create an embedded database with its schema");
  init->add_option("kind", kind, "portfolio or catalogue")->required()->check(CLI::IsMember({"portfolio", "catalogue"}));
  init->add_option("file", file, "database file to create")->required();
  init->add_flag("--demo", demo_data, "fill it with the demo data set");

  std::string dialect = "jet", db;
  bool run = false;
  auto* sql = app.add_subcommand("sql", "show what a statement becomes for the embedded engine (stdin)");
  sql->add_option("--dialect", dialect, "jet or tsql")->check(CLI::IsMember({"jet", "tsql"}));
  sql->add_option("--db", db, "database whose schema the statement is analysed against");
  sql->add_flag("--run", run, "run it through the DataLink and print the rows");

  std::string dir = "out/demo";
  auto* demo = app.add_subcommand("demo", "create demo databases and run a page-like session");
  demo->add_option("dir", dir, "folder for the demo databases");

  std::string config_file, listen, token, web;
  std::vector<std::string> data_dirs;
  auto* serve = app.add_subcommand("serve", "answer bridge requests over HTTP and serve the pages");
  serve->add_option("--config", config_file, "JSON config file (flags given here override it)");
  serve->add_option("--listen", listen, "HOST:PORT to listen on (default 127.0.0.1:8080; port 0: any free one)");
  serve->add_option("--data", data_dirs, "folder whose databases callers may open (repeatable)");
  serve->add_option("--token", token, "bearer token callers must send");
  serve->add_option("--web", web, "folder of the pages served at /");

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
    if (demo->parsed()) rc = ksmain::tool::Demo(dir, std::cout);
  } catch (const std::exception& e) {
    std::cerr << "ksmain: " << e.what() << "\n";
    rc = 1;
  }
  // Every command ends here: the pooled sessions close and write their logs back, so the
  // database files alone hold every row committed by this run.
  ksmain::Shutdown();
  return rc;
}
