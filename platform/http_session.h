#pragma once
// One HTTP(S) or FTP request on libcurl, read as a stream: open, look at the
// status and the announced length, then read the body chunk by chunk. Each
// HttpStream owns its own easy handle; nothing is shared or kept between
// requests. Every request carries the agent "Tessarune", follows redirects and
// honours the proxy of the environment (http_proxy, https_proxy, no_proxy).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct HttpTimeouts {
  long connectMs = 30000;  // to establish the connection
  long receiveMs = 60000;  // longest silence while the answer is awaited or read
  long sendMs = 60000;     // longest stall while the request goes out
};

struct HttpRequest {
  std::string url;
  // Empty: a plain GET. "GET" together with a body sends the body with the
  // verb GET (the observation service asks for that).
  std::string method;
  std::string body;
  std::vector<std::string> headers;  // "Name: value"
  HttpTimeouts timeouts;
  // Asked on the calling thread at every round of the wait for the server (at
  // most 50 ms apart); true ends the transfer, which then counts as stopped.
  // A caller on the user-interface thread dispatches its events here, so that
  // a stalled or dripping server never holds the window.
  std::function<bool()> stop;
};

class HttpStream {
public:
  HttpStream();
  ~HttpStream();
  HttpStream(const HttpStream&) = delete;
  HttpStream& operator=(const HttpStream&) = delete;

  // Sends the request and waits until the answer's header (or the whole answer)
  // is in. False when no answer came (no connection, time-out before any byte,
  // an unsupported scheme); LastError() then says why.
  bool Open(const HttpRequest& request);

  bool IsHttp() const;             // the URL's scheme is http or https
  int Status() const;              // HTTP status of the final answer; 0 when none
  std::int64_t ContentLength() const;  // announced body length; -1 when not announced

  // Up to size bytes of the body: the count, 0 at its complete end, -1 on a
  // failure (time-out, lost connection, body shorter than announced).
  long Read(char* buffer, std::size_t size);
  // The rest of the body appended to body. False when a read fails or fewer
  // bytes came than announced (body then holds what came).
  bool ReadBody(std::string& body);

  const std::string& LastError() const;
  // Why the transfer ended early: the request's stop said so, or the server
  // stayed silent longer than the receive time-out.
  bool Stopped() const;
  bool TimedOut() const;
  // The final answer's Content-Encoding, lower-case ("" when none). The body
  // is handed over as sent, never decoded.
  const std::string& ContentEncoding() const;

private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};
