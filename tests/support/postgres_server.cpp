#include "postgres_server.h"

#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <utility>

#include "child_process.h"

namespace quillmark::test {
namespace {

constexpr const char* kSuperuser = "quillmark_test";

// The newest server binaries Debian installed (/usr/lib/postgresql/N/bin).
std::string ServerBinaries() {
  std::string best;
  int bestVersion = -1;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ignored)) {
    const int version = std::atoi(entry.path().filename().c_str());
    if (version > bestVersion && std::filesystem::exists(entry.path() / "bin/initdb", ignored)) {
      bestVersion = version;
      best = (entry.path() / "bin").string();
    }
  }
  return best;
}

// The tools run as postgres when the tests are root.
std::vector<std::string> AsServerUser(std::vector<std::string> argv) {
  if (::geteuid() != 0)
    return argv;
  argv.insert(argv.begin(), {"runuser", "-u", "postgres", "--"});
  return argv;
}

bool GiveToServerUser(const std::string& path) {
  if (::geteuid() != 0)
    return true;
  const passwd* user = ::getpwnam("postgres");
  return user != nullptr && ::chown(path.c_str(), user->pw_uid, user->pw_gid) == 0;
}

}  // namespace

PostgresServer PostgresServer::Create(bool durable) {
  PostgresServer server;
  server.m_owned = true;
  server.m_bin = ServerBinaries();
  if (server.m_bin.empty()) {
    server.m_error = "no PostgreSQL server under /usr/lib/postgresql (Debian package postgresql)";
    return server;
  }
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/quillmark-pg-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr || !GiveToServerUser(pattern)) {
    server.m_error = "cannot make the server's folder";
    return server;
  }
  server.m_folder = pattern;
  const std::string data = server.m_folder + "/data";
  if (!server.RunTool("initdb", {"-D", data, "-U", kSuperuser, "--auth=trust", "--no-sync", "-E",
                                 "UTF8", "--no-locale"})) {
    return server;
  }
  std::ofstream conf(data + "/postgresql.conf", std::ios::app);
  conf << "listen_addresses = ''\n"
       << "unix_socket_directories = '" << server.m_folder << "'\n"
       << "max_connections = 40\nshared_buffers = 16MB\n";
  if (!durable)
    conf << "fsync = off\nfull_page_writes = off\n";
  conf.close();
  if (!conf) {
    server.m_error = "cannot write postgresql.conf";
    return server;
  }
  server.Start();
  return server;
}

PostgresServer PostgresServer::Attach(const std::string& folder) {
  PostgresServer server;
  server.m_folder = folder;
  server.m_bin = ServerBinaries();
  server.m_error.clear();
  return server;
}

PostgresServer::~PostgresServer() {
  if (m_owned)
    Destroy();
}

PostgresServer::PostgresServer(PostgresServer&& other) noexcept
    : m_folder(std::move(other.m_folder)),
      m_bin(std::move(other.m_bin)),
      m_error(std::move(other.m_error)),
      m_owned(std::exchange(other.m_owned, false)),
      m_databases(other.m_databases) {}

bool PostgresServer::RunTool(const std::string& tool, const std::vector<std::string>& args) {
  const ChildResult result = RunChild(AsServerUser(CommandLine(m_bin + "/" + tool, args)));
  if (result.exitCode == 0)
    return true;
  m_error = tool + " failed (" + std::to_string(result.exitCode) + "): " + result.err + result.out;
  return false;
}

bool PostgresServer::Start() {
  m_error.clear();
  return RunTool("pg_ctl", {"start", "-D", m_folder + "/data", "-w", "-t", "60", "-l",
                            m_folder + "/server.log"});
}

bool PostgresServer::StopImmediately() {
  return RunTool("pg_ctl", {"stop", "-D", m_folder + "/data", "-m", "immediate", "-w"});
}

void PostgresServer::Destroy() {
  if (m_folder.empty())
    return;
  RunTool("pg_ctl", {"stop", "-D", m_folder + "/data", "-m", "immediate", "-w"});
  std::error_code ignored;
  std::filesystem::remove_all(m_folder, ignored);
  m_folder.clear();
}

std::string PostgresServer::ConnectionString(const std::string& database,
                                             const std::string& user) const {
  return "host=" + m_folder + " port=5432 user=" + (user.empty() ? kSuperuser : user) +
         " dbname=" + database;
}

std::string PostgresServer::Execute(const std::string& database, const std::string& sql) const {
  std::unique_ptr<PGconn, void (*)(PGconn*)> conn(PQconnectdb(ConnectionString(database).c_str()),
                                                  &PQfinish);
  if (PQstatus(conn.get()) != CONNECTION_OK)
    return PQerrorMessage(conn.get());
  std::unique_ptr<PGresult, void (*)(PGresult*)> result(PQexec(conn.get(), sql.c_str()), &PQclear);
  const ExecStatusType status = PQresultStatus(result.get());
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
    return "";
  return PQerrorMessage(conn.get());
}

std::string PostgresServer::CreateDatabase() {
  const std::string name =
      "ledger_" + std::to_string(::getpid()) + "_" + std::to_string(++m_databases);
  const std::string failed =
      Execute("postgres", "CREATE DATABASE " + name + " TEMPLATE template0 STRATEGY FILE_COPY");
  if (!failed.empty()) {
    m_error = failed;
    return "";
  }
  return name;
}

PostgresServer& SharedPostgresServer() {
  static PostgresServer server = [] {
    if (const char* file = std::getenv("QUILLMARK_TEST_POSTGRES"); file != nullptr && *file) {
      std::ifstream in(file);
      std::string folder;
      if (std::getline(in, folder) && !folder.empty())
        return PostgresServer::Attach(folder);
    }
    return PostgresServer::Create(false);
  }();
  return server;
}

}  // namespace quillmark::test
