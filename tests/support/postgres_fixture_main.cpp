// Starts and stops the PostgreSQL server that a CTest fixture shares among
// the tests: "start FILE" makes one and writes its folder into FILE,
// "stop FILE" stops it and removes both. A server still running is kept
// (ctest --repeat runs the start again while tests use it); one that is
// not is cleared away first.
#include <cstdio>
#include <fstream>
#include <string>

#include "postgres_server.h"

namespace {

void StopNamedServer(const std::string& file) {
  std::ifstream in(file);
  std::string folder;
  if (std::getline(in, folder) && !folder.empty())
    quillmark::test::PostgresServer::Attach(folder).Destroy();
  std::remove(file.c_str());
}

bool NamedServerRuns(const std::string& file) {
  std::ifstream in(file);
  std::string folder;
  return std::getline(in, folder) && !folder.empty() &&
         quillmark::test::PostgresServer::Attach(folder).Execute("postgres", "SELECT 1").empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s start|stop FILE\n", argv[0]);
    return 2;
  }
  const std::string command = argv[1];
  const std::string file = argv[2];
  if (command == "start" && NamedServerRuns(file))
    return 0;
  StopNamedServer(file);
  if (command == "stop")
    return 0;
  quillmark::test::PostgresServer server = quillmark::test::PostgresServer::Create(false);
  if (!server.running()) {
    std::fprintf(stderr, "cannot start PostgreSQL: %s\n", server.error().c_str());
    return 1;
  }
  std::ofstream(file) << server.folder() << "\n";
  server.Keep();
  std::printf("PostgreSQL running in %s\n", server.folder().c_str());
  return 0;
}
