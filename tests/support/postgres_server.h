#pragma once

#include <string>
#include <vector>

namespace quillmark::test {

// A PostgreSQL server of the tests' own: a cluster made by initdb in a
// fresh folder under the temporary folder, listening on a Unix socket in
// that folder and on no TCP port. When the tests run as root it runs as
// the postgres user, since initdb refuses root.
class PostgresServer {
 public:
  // Makes and starts a new server (see error()).
  static PostgresServer Create(bool durable = true);
  // A server another process started; it is left running.
  static PostgresServer Attach(const std::string& folder);
  ~PostgresServer();
  PostgresServer(PostgresServer&& other) noexcept;
  PostgresServer& operator=(PostgresServer&&) = delete;
  PostgresServer(const PostgresServer&) = delete;

  bool running() const { return m_error.empty(); }
  const std::string& error() const { return m_error; }
  const std::string& folder() const { return m_folder; }

  // "host=FOLDER port=5432 user=quillmark_test dbname=NAME", optionally as
  // another user.
  std::string ConnectionString(const std::string& database, const std::string& user = "") const;
  // A new, empty database (from template0); returns its name, or empty
  // with error() set.
  std::string CreateDatabase();
  // Runs SQL as the superuser in a database; returns the error or "".
  std::string Execute(const std::string& database, const std::string& sql) const;

  // pg_ctl stop -m immediate: the server ends as in a crash.
  bool StopImmediately();
  bool Start();
  // Stops the server and removes its folder.
  void Destroy();
  // Leaves the server running when this object goes.
  void Keep() { m_owned = false; }

 private:
  PostgresServer() = default;
  bool RunTool(const std::string& tool, const std::vector<std::string>& args);

  std::string m_folder;
  std::string m_bin;
  std::string m_error = "not started";
  bool m_owned = false;
  int m_databases = 0;
};

// The server the tests of this process share: the one named by
// QUILLMARK_TEST_POSTGRES (a file holding the folder of a server that a
// CTest fixture started), or else one started for this process.
PostgresServer& SharedPostgresServer();

}  // namespace quillmark::test
