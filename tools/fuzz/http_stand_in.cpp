// The network for the fuzz targets: HttpStream answers every request with
// status 200 and the body that FuzzServeAnswer set, read in uneven pieces, so
// that everything after the transport is the real code. Linked into a target
// before the platform library, it takes the place of the libcurl stream.
#include <algorithm>
#include <cstring>

#include "platform/http_session.h"
#include "tools/fuzz/fuzz_support.h"

namespace {

std::string g_answer;
std::vector<std::string> g_requests;

} // namespace

void FuzzServeAnswer(std::string_view body)
{
  g_answer.assign(body);
  g_requests.clear();
}

const std::vector<std::string>& FuzzRequestedUrls()
{
  return g_requests;
}

struct HttpStream::Impl {
  std::size_t pos = 0;
  bool open = false;
  bool isHttp = false;
  std::string error;
  std::string encoding;  // never set: the stand-in sends bodies as they are
};

HttpStream::HttpStream() : m_impl(std::make_unique<Impl>()) {}

HttpStream::~HttpStream() = default;

bool HttpStream::Open(const HttpRequest& request)
{
  m_impl = std::make_unique<Impl>();
  g_requests.push_back(request.url);
  m_impl->open = true;
  m_impl->isHttp = request.url.compare(0, 4, "http") == 0;
  return true;
}

bool HttpStream::IsHttp() const
{
  return m_impl->isHttp;
}

int HttpStream::Status() const
{
  return m_impl->open && m_impl->isHttp ? 200 : 0;
}

std::int64_t HttpStream::ContentLength() const
{
  return m_impl->open ? static_cast<std::int64_t>(g_answer.size()) : -1;
}

long HttpStream::Read(char* buffer, std::size_t size)
{
  if (!m_impl->open)
    return -1;
  // Pieces of 1 to 4096 bytes, so that readers meet answers cut anywhere.
  const std::size_t left = g_answer.size() - m_impl->pos;
  const std::size_t piece = std::min({size, left, std::size_t(1) + m_impl->pos % 4096});
  std::memcpy(buffer, g_answer.data() + m_impl->pos, piece);
  m_impl->pos += piece;
  return static_cast<long>(piece);
}

bool HttpStream::ReadBody(std::string& body)
{
  if (!m_impl->open)
    return false;
  body.append(g_answer, m_impl->pos);
  m_impl->pos = g_answer.size();
  return true;
}

const std::string& HttpStream::LastError() const
{
  return m_impl->error;
}

// The stand-in answers at once and whole: nothing stops or stalls it.
bool HttpStream::Stopped() const
{
  return false;
}

bool HttpStream::TimedOut() const
{
  return false;
}

const std::string& HttpStream::ContentEncoding() const
{
  return m_impl->encoding;
}
