#include "platform/http_session.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

#include <curl/curl.h>

namespace {

using Clock = std::chrono::steady_clock;

// Bytes kept in memory ahead of the reader before the transfer is paused.
constexpr std::size_t kMaxBuffered = 4u << 20;
constexpr int kPollMs = 50;

void GlobalInit()
{
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool StartsWithNoCase(const char* s, std::size_t n, const char* prefix)
{
  const std::size_t m = std::strlen(prefix);
  if (n < m)
    return false;
  for (std::size_t i = 0; i < m; ++i) {
    char a = s[i];
    if (a >= 'A' && a <= 'Z')
      a = static_cast<char>(a - 'A' + 'a');
    if (a != prefix[i])
      return false;
  }
  return true;
}

// A header's value without the blanks around it and its line end, lower-case.
std::string HeaderValueLower(const char* s, std::size_t n)
{
  std::string v;
  for (std::size_t i = 0; i < n; ++i) {
    char c = s[i];
    if (c == '\r' || c == '\n')
      break;
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    v += c;
  }
  const std::size_t first = v.find_first_not_of(" \t");
  const std::size_t last = v.find_last_not_of(" \t");
  return first == std::string::npos ? std::string() : v.substr(first, last - first + 1);
}

} // namespace

struct HttpStream::Impl {
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  std::string body;  // kept alive for the transfer
  bool isHttp = false;

  std::string pending;  // received, not yet read
  std::size_t pendingPos = 0;
  bool paused = false;
  bool finalHeader = false;  // the header of the final (not redirected) answer is in
  bool sawLocation = false;
  bool done = false;
  CURLcode result = CURLE_OK;
  bool timedOut = false;
  bool stopped = false;
  bool connected = false;
  std::function<bool()> stop;
  std::string contentEncoding;
  std::string error;

  Clock::time_point lastActivity;
  curl_off_t lastDown = 0, lastUp = 0;
  long receiveMs = 60000;
  long sendMs = 60000;

  ~Impl()
  {
    if (multi && easy)
      curl_multi_remove_handle(multi, easy);
    if (easy)
      curl_easy_cleanup(easy);
    if (multi)
      curl_multi_cleanup(multi);
    if (headers)
      curl_slist_free_all(headers);
  }

  static size_t OnWrite(char* data, size_t size, size_t count, void* user)
  {
    auto* self = static_cast<Impl*>(user);
    const size_t n = size * count;
    if (self->pending.size() - self->pendingPos >= kMaxBuffered) {
      self->paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    self->pending.append(data, n);
    self->lastActivity = Clock::now();
    return n;
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* user)
  {
    auto* self = static_cast<Impl*>(user);
    const size_t n = size * count;
    self->lastActivity = Clock::now();
    if (!self->isHttp)
      return n;
    if (StartsWithNoCase(data, n, "http/")) {
      self->sawLocation = false;
      self->contentEncoding.clear();
    } else if (StartsWithNoCase(data, n, "content-encoding:")) {
      self->contentEncoding = HeaderValueLower(data + 17, n - 17);
    } else if (StartsWithNoCase(data, n, "location:")) {
      self->sawLocation = true;
    } else if ((n == 2 && data[0] == '\r' && data[1] == '\n') || (n == 1 && data[0] == '\n')) {
      long code = 0;
      curl_easy_getinfo(self->easy, CURLINFO_RESPONSE_CODE, &code);
      const bool interim = code < 200;
      const bool redirected = code >= 300 && code < 400 && self->sawLocation;
      if (!interim && !redirected)
        self->finalHeader = true;
    }
    return n;
  }

  static int OnProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up)
  {
    auto* self = static_cast<Impl*>(user);
    if (down != self->lastDown || up != self->lastUp) {
      self->lastDown = down;
      self->lastUp = up;
      self->lastActivity = Clock::now();
    }
    return 0;
  }

  // The longest silence allowed once connected: until the first byte of the
  // answer the request and the wait for the answer both count.
  long SilenceLimitMs() const
  {
    if (finalHeader || !pending.empty() || lastDown > 0)
      return receiveMs;
    return sendMs + receiveMs;
  }

  // One round of the transfer: perform, collect the end, wait a little.
  void Step()
  {
    if (stop && stop()) {
      done = true;
      stopped = true;
      result = CURLE_ABORTED_BY_CALLBACK;
      return;
    }
    int running = 0;
    curl_multi_perform(multi, &running);
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
        done = true;
        result = msg->data.result;
      }
    }
    if (done)
      return;
    if (!connected) {
      // libcurl's connect time-out covers the way to the server.
      curl_off_t connectUs = 0;
      curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connectUs);
      if (connectUs <= 0) {
        curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
        return;
      }
      connected = true;
      lastActivity = Clock::now();
    }
    const auto silent =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastActivity).count();
    if (silent > SilenceLimitMs()) {
      done = true;
      timedOut = true;
      result = CURLE_OPERATION_TIMEDOUT;
      return;
    }
    curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
  }

  void SetErrorFromResult()
  {
    if (stopped)
      error = "stopped by the caller";
    else if (timedOut)
      error = "time-out: no answer";
    else
      error = curl_easy_strerror(result);
  }
};

HttpStream::HttpStream() : m_impl(std::make_unique<Impl>()) {}

HttpStream::~HttpStream() = default;

bool HttpStream::Open(const HttpRequest& request)
{
  GlobalInit();
  m_impl = std::make_unique<Impl>();
  Impl& s = *m_impl;
  s.isHttp = StartsWithNoCase(request.url.data(), request.url.size(), "http://") ||
             StartsWithNoCase(request.url.data(), request.url.size(), "https://");
  s.receiveMs = request.timeouts.receiveMs;
  s.sendMs = request.timeouts.sendMs;
  s.stop = request.stop;

  s.easy = curl_easy_init();
  s.multi = curl_multi_init();
  if (!s.easy || !s.multi) {
    s.error = "libcurl could not be initialised";
    return false;
  }
  CURL* e = s.easy;
  curl_easy_setopt(e, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(e, CURLOPT_USERAGENT, "Tessarune");
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https,ftp,ftps");
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, request.timeouts.connectMs);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Impl::OnWrite);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &s);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &s);
  curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &Impl::OnProgress);
  curl_easy_setopt(e, CURLOPT_XFERINFODATA, &s);
  // Bytes as sent: no content decoding, no local cache (libcurl keeps none).
  for (const std::string& h : request.headers)
    s.headers = curl_slist_append(s.headers, h.c_str());
  if (!request.body.empty()) {
    s.body = request.body;
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, s.body.data());
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(s.body.size()));
    // A small body goes out at once, without waiting for "100 Continue".
    s.headers = curl_slist_append(s.headers, "Expect:");
  }
  if (!request.method.empty())
    curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  if (s.headers)
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, s.headers);

  curl_multi_add_handle(s.multi, e);
  s.lastActivity = Clock::now();
  while (!s.done && !s.finalHeader && s.pending.empty())
    s.Step();

  if (s.done && s.result != CURLE_OK && Status() == 0) {
    s.SetErrorFromResult();
    return false;
  }
  return true;
}

bool HttpStream::IsHttp() const
{
  return m_impl->isHttp;
}

int HttpStream::Status() const
{
  if (!m_impl->easy || !m_impl->isHttp)
    return 0;
  long code = 0;
  curl_easy_getinfo(m_impl->easy, CURLINFO_RESPONSE_CODE, &code);
  return static_cast<int>(code);
}

std::int64_t HttpStream::ContentLength() const
{
  if (!m_impl->easy)
    return -1;
  curl_off_t len = -1;
  if (curl_easy_getinfo(m_impl->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &len) != CURLE_OK)
    return -1;
  return len < 0 ? -1 : static_cast<std::int64_t>(len);
}

bool HttpStream::ReadBody(std::string& body)
{
  const std::size_t before = body.size();
  char chunk[65536];
  for (long n; (n = Read(chunk, sizeof chunk)) != 0;) {
    if (n < 0)
      return false;
    body.append(chunk, static_cast<std::size_t>(n));
  }
  const std::int64_t announced = ContentLength();
  return announced < 0 || static_cast<std::int64_t>(body.size() - before) >= announced;
}

long HttpStream::Read(char* buffer, std::size_t size)
{
  Impl& s = *m_impl;
  if (!s.easy)
    return -1;
  while (s.pendingPos == s.pending.size()) {
    s.pending.clear();
    s.pendingPos = 0;
    if (s.paused) {
      s.paused = false;
      s.lastActivity = Clock::now();
      curl_easy_pause(s.easy, CURLPAUSE_CONT);
      continue;
    }
    if (s.done) {
      if (s.result == CURLE_OK)
        return 0;
      s.SetErrorFromResult();
      return -1;
    }
    s.Step();
  }
  const std::size_t n = std::min(size, s.pending.size() - s.pendingPos);
  std::memcpy(buffer, s.pending.data() + s.pendingPos, n);
  s.pendingPos += n;
  if (s.pendingPos > kMaxBuffered) {
    s.pending.erase(0, s.pendingPos);
    s.pendingPos = 0;
  }
  return static_cast<long>(n);
}

const std::string& HttpStream::LastError() const
{
  return m_impl->error;
}

bool HttpStream::Stopped() const
{
  return m_impl->stopped;
}

bool HttpStream::TimedOut() const
{
  return m_impl->timedOut;
}

const std::string& HttpStream::ContentEncoding() const
{
  return m_impl->contentEncoding;
}
