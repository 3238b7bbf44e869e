// Boost.Asio and Boost.Beast as the board uses them: C++20 coroutines
// (co_spawn, use_awaitable). Boost 1.74's awaitable.hpp uses std::exchange
// without including <utility>, so it comes first; 1.74 has no as_tuple:
// errors come back through redirect_error.
#pragma once

#include <utility>

#include <boost/asio/awaitable.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

namespace pm::board {
namespace asio = boost::asio;
namespace beast = boost::beast;
}  // namespace pm::board
