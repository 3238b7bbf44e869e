#include "board/http.h"

#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <unordered_map>

namespace pm::board::http {

namespace {

using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using boost::system::error_code;

constexpr size_t ReadBufferSlack = 64u << 10;   // what a read may bring past the header's end
constexpr size_t IdleBufferBytes = 4096;         // an idle connection's buffer is given back above this

enum class Phase : uint8_t {
    Reading,     // waiting for a request, or reading one: dropped at a stop
    Handling,    // the request is in hand
    Writing,     // its answer goes out
    Lingering,   // reading away what follows an error answer: dropped at a stop
};

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string AddressText(const asio::ip::address& a) {
    if (a.is_v6() && a.to_v6().is_v4_mapped()) return asio::ip::make_address_v4(asio::ip::v4_mapped, a.to_v6()).to_string();
    return a.to_string();
}

const error_code& HttpCategoryProbe() {
    static const error_code probe = bh::make_error_code(bh::error::bad_method);
    return probe;
}

// The status a failed read is answered with; nothing when the connection is
// just closed (the client left, a deadline passed, the server stops).
std::optional<unsigned> StatusOfReadError(const error_code& ec, bool inBody) {
    if (ec == bh::error::header_limit) return 431;
    if (ec == bh::error::body_limit) return 413;
    if (ec == bh::error::buffer_overflow) return inBody ? 413 : 431;
    if (ec == bh::error::end_of_stream || ec == bh::error::partial_message || ec == bh::error::need_more) return std::nullopt;
    if (&ec.category() == &HttpCategoryProbe().category()) return 400;
    return std::nullopt;
}

const char* RefusalText(unsigned status) {
    switch (status) {
    case 431: return "{\"error\":\"the request's headers are larger than the server takes\"}";
    case 413: return "{\"error\":\"the request's body is larger than the server takes\"}";
    default: return "{\"error\":\"the request is malformed\"}";
    }
}

struct Conn {
    Conn(tcp::socket&& socket, std::string peer) : Stream(std::move(socket)), Peer(std::move(peer)) {}
    beast::tcp_stream Stream;
    const std::string Peer;
    Phase State = Phase::Reading;   // touched on the connection's strand only
};

template <typename Body>
void Decorate(bh::response<Body>& m, const Response& r, bool keep) {
    m.set(bh::field::content_type, r.Type);
    m.set("Content-Security-Policy", ContentSecurityPolicy);
    m.set("X-Content-Type-Options", "nosniff");
    m.set("Referrer-Policy", ReferrerPolicy);
    for (const auto& [name, value] : r.Headers) m.set(name, value);
    m.keep_alive(keep);
}

}  // namespace

struct Server::Impl : std::enable_shared_from_this<Server::Impl> {
    Impl(asio::io_context& io, Config config, Handler handler)
        : Io(io), Cfg(std::move(config)), Handle(std::move(handler)), Acceptor(asio::make_strand(io)) {}

    asio::io_context& Io;
    const Config Cfg;
    const Handler Handle;
    tcp::acceptor Acceptor;
    std::atomic<bool> Stopping{false};

    mutable std::mutex Mutex;   // the fields below
    std::unordered_map<Conn*, std::shared_ptr<Conn>> Live;
    std::unordered_map<std::string, int> PerAddress;
    std::function<void()> Closed;   // at a stop, once the last connection ends
    bool ClosedCalled = false;

    bool Admit(const std::string& peer) {
        std::lock_guard lock(Mutex);
        if (static_cast<int>(Live.size()) >= Cfg.Limit.Total) return false;
        if (Cfg.Limit.PerAddress > 0) {
            int& n = PerAddress[peer];
            if (n >= Cfg.Limit.PerAddress) return false;
            ++n;
        }
        return true;
    }

    void Add(const std::shared_ptr<Conn>& c) {
        std::lock_guard lock(Mutex);
        Live.emplace(c.get(), c);
    }

    void Remove(Conn* c) {
        std::function<void()> closed;
        {
            std::lock_guard lock(Mutex);
            if (Cfg.Limit.PerAddress > 0) {
                const auto it = PerAddress.find(c->Peer);
                if (it != PerAddress.end() && --it->second <= 0) PerAddress.erase(it);
            }
            Live.erase(c);
            if (Stopping && Live.empty() && Closed && !ClosedCalled) {
                ClosedCalled = true;
                closed = Closed;
            }
        }
        if (closed) closed();
    }

    void Log(const std::string& client, std::string_view method, std::string_view target, unsigned status,
             Clock::time_point started) const {
        if (!Cfg.Log) return;
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
        char took[32];
        std::snprintf(took, sizeof took, " %u %.1fms\n", status, ms);
        const std::string line = EscapeForLog(client) + ' ' + EscapeForLog(method) + ' ' +
                                 EscapeForLog(target.substr(0, target.find('?'))) + took;
        std::fwrite(line.data(), 1, line.size(), stderr);
    }

    asio::awaitable<void> Accept();
    asio::awaitable<void> Session(std::shared_ptr<Conn> c);
    asio::awaitable<bool> Send(Conn& c, unsigned version, bool head, Response res, bool keep);
    asio::awaitable<void> Refuse(Conn& c, unsigned status, const std::string& client, std::string_view method,
                                 std::string_view target, Clock::time_point started);
    asio::awaitable<void> Linger(Conn& c);
    template <typename Body>
    asio::awaitable<bool> Write(beast::tcp_stream& stream, bh::response<Body>& m);
};

asio::awaitable<void> Server::Impl::Accept() {
    auto self = shared_from_this();
    asio::steady_timer pause(Acceptor.get_executor());
    for (;;) {
        tcp::socket socket(asio::make_strand(Io));
        error_code ec;
        co_await Acceptor.async_accept(socket, asio::redirect_error(asio::use_awaitable, ec));
        if (Stopping || ec == asio::error::operation_aborted || !Acceptor.is_open()) co_return;
        if (ec) {
            // Out of descriptors or memory: the waiting connections stay in
            // the backlog a moment instead of the loop spinning.
            pause.expires_after(std::chrono::milliseconds(50));
            co_await pause.async_wait(asio::redirect_error(asio::use_awaitable, ec));
            continue;
        }
        const tcp::endpoint remote = socket.remote_endpoint(ec);
        if (ec) continue;
        std::string peer = AddressText(remote.address());
        if (!Admit(peer)) {
            // Past the cap: closed at once, with a reset, keeping nothing.
            socket.set_option(asio::socket_base::linger(true, 0), ec);
            socket.close(ec);
            continue;
        }
        socket.set_option(tcp::no_delay(true), ec);   // an answer goes out without waiting for an ACK
        auto c = std::make_shared<Conn>(std::move(socket), std::move(peer));
        Add(c);
        asio::co_spawn(c->Stream.get_executor(), Session(c), [](std::exception_ptr e) {
            if (!e) return;
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& x) {
                std::fprintf(stderr, "pellimunch-board: a connection failed: %s\n", x.what());
            } catch (...) {
            }
        });
    }
}

template <typename Body>
asio::awaitable<bool> Server::Impl::Write(beast::tcp_stream& stream, bh::response<Body>& m) {
    // A deadline for each part, not the whole: a large file to a slow
    // client is fine, a client that takes nothing is not.
    bh::response_serializer<Body> sr(m);
    error_code ec;
    do {
        stream.expires_after(Cfg.Limit.Write);
        co_await bh::async_write_some(stream, sr, asio::redirect_error(asio::use_awaitable, ec));
        if (ec) co_return false;
    } while (!sr.is_done());
    co_return true;
}

asio::awaitable<bool> Server::Impl::Send(Conn& c, unsigned version, bool head, Response res, bool keep) {
    c.State = Phase::Writing;
    if (res.File && !head) {
        bh::response<bh::file_body> m{static_cast<bh::status>(res.Status), version};
        m.body() = std::move(*res.File);
        Decorate(m, res, keep);
        m.prepare_payload();
        co_return co_await Write(c.Stream, m);
    }
    bh::response<bh::string_body> m{static_cast<bh::status>(res.Status), version};
    Decorate(m, res, keep);
    if (head) {
        m.content_length(res.File ? res.File->size() : res.Body.size());
    } else {
        m.body() = std::move(res.Body);
        m.prepare_payload();
    }
    co_return co_await Write(c.Stream, m);
}

asio::awaitable<void> Server::Impl::Linger(Conn& c) {
    // Closing a socket with input unread resets the connection, and the
    // client may lose the answer before reading it: the input is read away
    // first, for a while and up to a size, into a small scratch buffer.
    c.State = Phase::Lingering;
    if (Stopping) co_return;
    error_code ec;
    c.Stream.socket().shutdown(tcp::socket::shutdown_send, ec);
    c.Stream.expires_after(Cfg.Limit.Linger);
    auto scratch = std::make_unique<char[]>(16384);
    for (size_t total = 0; total < Cfg.Limit.LingerBytes;) {
        const size_t n =
            co_await c.Stream.async_read_some(asio::buffer(scratch.get(), 16384), asio::redirect_error(asio::use_awaitable, ec));
        if (ec) break;
        total += n;
    }
}

asio::awaitable<void> Server::Impl::Refuse(Conn& c, unsigned status, const std::string& client, std::string_view method,
                                           std::string_view target, Clock::time_point started) {
    Response res(status, "application/json", RefusalText(status));
    res.Close = true;
    const bool sent = co_await Send(c, 11, false, std::move(res), false);
    Log(client, method, target, status, started);
    if (sent) co_await Linger(c);
}

asio::awaitable<void> Server::Impl::Session(std::shared_ptr<Conn> c) {
    auto self = shared_from_this();
    struct Leave {
        Impl& server;
        Conn* conn;
        ~Leave() { server.Remove(conn); }
    } leave{*this, c.get()};
    beast::tcp_stream& stream = c->Stream;
    const Limits& limit = Cfg.Limit;
    beast::flat_buffer buffer(limit.HeaderBytes + ReadBufferSlack);
    error_code ec;
    stream.expires_after(limit.Head);   // the first request's head, from the connection on
    for (bool first = true;; first = false) {
        if (!first) {
            if (buffer.size() == 0) {
                // Idle between requests: the first byte of the next one in time.
                if (buffer.capacity() > IdleBufferBytes) buffer.shrink_to_fit();
                if (Stopping) break;
                c->State = Phase::Reading;
                stream.expires_after(limit.Idle);
                const size_t n = co_await stream.async_read_some(buffer.prepare(512), asio::redirect_error(asio::use_awaitable, ec));
                if (ec) break;
                buffer.commit(n);
            }
            stream.expires_after(limit.Head);
        }
        if (Stopping) break;
        c->State = Phase::Reading;
        const Clock::time_point started = Clock::now();
        bh::request_parser<GrowingBody> parser;
        parser.header_limit(static_cast<std::uint32_t>(std::min<size_t>(limit.HeaderBytes, UINT32_MAX)));
        parser.body_limit(limit.BodyBytes);   // a Content-Length past it is refused before a byte of body
        co_await bh::async_read_header(stream, buffer, parser, asio::redirect_error(asio::use_awaitable, ec));
        if (ec) {
            if (const auto status = StatusOfReadError(ec, false))
                co_await Refuse(*c, *status, c->Peer, "-", "-", started);
            break;
        }
        const auto& head = parser.get();
        std::string_view forwarded;
        for (auto [it, end] = head.equal_range("X-Forwarded-For"); it != end; ++it) forwarded = View(it->value());   // the last
        const std::string client = ClientAddress(c->Peer, forwarded, Cfg.TrustProxy);
        const std::string method(View(head.method_string()));
        const std::string target(View(head.target()));

        if (!parser.is_done()) {
            if (Lower(Trim(View(head[bh::field::expect]))) == "100-continue" && head.version() >= 11) {
                bh::response<bh::empty_body> go{bh::status::continue_, head.version()};
                if (!co_await Write(stream, go)) break;
                c->State = Phase::Reading;
            }
            // The body on the wire, chunk framing and all, within BodyBytes
            // and within the body's deadline.
            stream.expires_after(limit.Body);
            size_t wire = 0;
            while (!parser.is_done()) {
                wire += co_await bh::async_read_some(stream, buffer, parser, asio::redirect_error(asio::use_awaitable, ec));
                if (ec) break;
                if (wire > limit.BodyBytes) {
                    ec = bh::error::body_limit;
                    break;
                }
            }
            if (ec) {
                if (const auto status = StatusOfReadError(ec, true))
                    co_await Refuse(*c, *status, client, method, target, started);
                break;
            }
        }

        Request req;
        req.Message = parser.release();
        const size_t mark = target.find('?');
        req.Path = PercentDecode(std::string_view(target).substr(0, mark)).value_or("");
        if (mark != std::string::npos) req.Query = target.substr(mark + 1);
        req.Peer = c->Peer;
        req.Client = client;
        c->State = Phase::Handling;
        stream.expires_never();
        Response res;
        try {
            res = co_await Handle(req);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "pellimunch-board: %s\n", e.what());
            res = Response(500, "application/json", "{\"error\":\"the server failed; try again later\"}");
        }
        const bool keep = req.Message.keep_alive() && !res.Close && !Stopping;
        const unsigned status = res.Status;
        const bool sent = co_await Send(*c, req.Message.version(), req.Head(), std::move(res), keep);
        Log(client, method, target, status, started);
        if (!sent || !keep) break;
    }
    stream.socket().shutdown(tcp::socket::shutdown_send, ec);
    stream.close();
}

Server::Server(asio::io_context& io, Config config, Handler handler)
    : impl_(std::make_shared<Impl>(io, std::move(config), std::move(handler))) {}

Server::~Server() {
    std::lock_guard lock(impl_->Mutex);
    impl_->Closed = nullptr;   // what it would call may be gone
}

uint16_t Server::Listen(const std::string& address, uint16_t port) {
    tcp::resolver resolver(impl_->Io);
    const auto found = resolver.resolve(address, std::to_string(port), tcp::resolver::passive | tcp::resolver::numeric_service);
    boost::system::system_error last(asio::error::host_not_found);
    for (const auto& entry : found) {
        error_code ec;
        tcp::acceptor& a = impl_->Acceptor;
        a.open(entry.endpoint().protocol(), ec);
        if (!ec) a.set_option(asio::socket_base::reuse_address(true), ec);
        if (!ec) a.bind(entry.endpoint(), ec);
        if (!ec) a.listen(impl_->Cfg.Limit.Backlog > 0 ? impl_->Cfg.Limit.Backlog : SystemBacklog(), ec);
        if (!ec) return a.local_endpoint().port();
        last = boost::system::system_error(ec);
        error_code ignored;
        a.close(ignored);
    }
    throw last;
}

void Server::Start() {
    asio::co_spawn(impl_->Acceptor.get_executor(), impl_->Accept(), [](std::exception_ptr e) {
        if (!e) return;
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            std::fprintf(stderr, "pellimunch-board: accepting failed: %s\n", x.what());
        } catch (...) {
        }
    });
}

void Server::Stop(std::function<void()> closed) {
    auto self = impl_;
    self->Stopping = true;
    asio::post(self->Acceptor.get_executor(), [self] {
        error_code ec;
        self->Acceptor.close(ec);
    });
    std::vector<std::shared_ptr<Conn>> live;
    bool none = false;
    {
        std::lock_guard lock(self->Mutex);
        self->Closed = std::move(closed);
        for (const auto& [_, c] : self->Live) live.push_back(c);
        if (self->Live.empty() && self->Closed && !self->ClosedCalled) {
            self->ClosedCalled = true;
            none = true;
        }
    }
    // Each on its own strand: a connection checks Stopping and starts a read
    // in one step there, so none starts a read after this without being closed.
    for (const auto& c : live)
        asio::post(c->Stream.get_executor(), [c] {
            if (c->State == Phase::Reading || c->State == Phase::Lingering) c->Stream.close();
        });
    if (none) asio::post(self->Acceptor.get_executor(), [self] {
            std::function<void()> closed;
            {
                std::lock_guard lock(self->Mutex);
                closed = self->Closed;
            }
            if (closed) closed();
        });
}

void Server::CloseAll() {
    auto self = impl_;
    self->Stopping = true;
    asio::post(self->Acceptor.get_executor(), [self] {
        error_code ec;
        self->Acceptor.close(ec);
    });
    std::lock_guard lock(self->Mutex);
    for (const auto& [_, c] : self->Live) asio::post(c->Stream.get_executor(), [c] { c->Stream.close(); });
}

size_t Server::Connections() const {
    std::lock_guard lock(impl_->Mutex);
    return impl_->Live.size();
}

std::string_view Request::Header(bh::field name) const {
    const auto it = Message.find(name);
    return it == Message.end() ? std::string_view() : View(it->value());
}

std::optional<std::string> Request::Param(std::string_view name) const {
    std::string_view rest = Query;
    while (!rest.empty()) {
        const size_t amp = rest.find('&');
        const std::string_view pair = rest.substr(0, amp);
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
        const size_t eq = pair.find('=');
        const auto key = PercentDecode(pair.substr(0, eq), true);
        if (!key || *key != name) continue;
        return PercentDecode(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1), true);
    }
    return std::nullopt;
}

std::string EscapeForLog(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c > 0x20 && c < 0x7f && c != '\\') {
            out += ch;
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

bool IsJsonType(std::string_view contentType) {
    return Lower(Trim(contentType.substr(0, contentType.find(';')))) == "application/json";
}

std::string ClientAddress(std::string_view peer, std::string_view forwardedFor, bool trustProxy) {
    if (trustProxy && !forwardedFor.empty()) {
        const size_t comma = forwardedFor.rfind(',');
        const std::string_view last = Trim(comma == std::string_view::npos ? forwardedFor : forwardedFor.substr(comma + 1));
        if (!last.empty() && last.size() <= 64) return std::string(last);
    }
    return std::string(peer);
}

std::optional<std::string> PercentDecode(std::string_view text, bool plusIsSpace) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            const int hi = digit(text[i + 1]), lo = digit(text[i + 2]);
            if (hi < 0 || lo < 0) return std::nullopt;
            c = static_cast<char>(hi * 16 + lo);
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            c = ' ';
        }
        if (c == '\0') return std::nullopt;
        out += c;
    }
    return out;
}

int SystemBacklog() {
    std::ifstream in("/proc/sys/net/core/somaxconn");
    int n = 0;
    if (in >> n && n > 0) return n;
    return SOMAXCONN;
}

int RaiseOpenFileLimit() {
    rlimit r{};
    if (::getrlimit(RLIMIT_NOFILE, &r) != 0) return 1024;
    if (r.rlim_cur < r.rlim_max) {
        rlimit want = r;
        want.rlim_cur = r.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &want) == 0) r = want;
    }
    return r.rlim_cur > static_cast<rlim_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(r.rlim_cur);
}

}  // namespace pm::board::http
