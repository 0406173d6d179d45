#pragma once
// Starts tests/data/servers/http_test_server.py on 127.0.0.1 for the life of
// the object. The server serves ROOT/<name> at /files/<name>; see the script
// for its other routes.
#include <string>
#include <sys/types.h>

class LocalHttpServer {
public:
  explicit LocalHttpServer(const std::string& rootDir);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  bool Running() const { return m_port > 0; }
  // "http://127.0.0.1:<port>" followed by path.
  std::string Url(const std::string& path) const;

private:
  pid_t m_pid = -1;
  int m_port = 0;
};

// Writes bytes to a file; false when it cannot.
bool WriteBytesFile(const std::string& path, const std::string& bytes);
