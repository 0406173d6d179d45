// The worker program's network: none. A worker scans in batch mode, where
// nothing asks for a download (the station-code update is only offered to a
// user), so that it can do without libcurl, whose thirty-odd libraries were
// most of a worker's start. Linked before the platform library, this takes
// the place of the libcurl stream; a request that still came would fail
// with a reason instead of being sent.
#include "platform/http_session.h"

struct HttpStream::Impl {
  std::string error;
  std::string encoding;
};

HttpStream::HttpStream() : m_impl(std::make_unique<Impl>()) {}

HttpStream::~HttpStream() = default;

bool HttpStream::Open(const HttpRequest& request)
{
  m_impl->error = "計算係はネットワークを使いません: " + request.url;
  return false;
}

bool HttpStream::IsHttp() const
{
  return false;
}

int HttpStream::Status() const
{
  return 0;
}

std::int64_t HttpStream::ContentLength() const
{
  return -1;
}

// Nothing is ever open: every read fails, every accessor says "none".
long HttpStream::Read(char*, std::size_t) { return -1; }
bool HttpStream::ReadBody(std::string&) { return false; }
bool HttpStream::Stopped() const { return false; }
bool HttpStream::TimedOut() const { return false; }
const std::string& HttpStream::LastError() const { return m_impl->error; }
const std::string& HttpStream::ContentEncoding() const { return m_impl->encoding; }
