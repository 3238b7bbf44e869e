// pellimunch-board: the world score table. Every run on it was played again
// by the game itself from the keys it was sent.
#include <CLI/App.hpp>
#include <CLI/Config.hpp>
#include <CLI/Formatter.hpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "board/server.h"
#include "board/store.h"

namespace {

const char* const Usage =
    "usage: pellimunch-board [OPTIONS]\n"
    "       pellimunch-board [--db FILE] backup TARGET\n"
    "       pellimunch-board [--db WHERE] hide ID REASON\n"
    "       pellimunch-board [--db WHERE] unhide ID\n"
    "\n"
    "Serves the score table: the API under /api, the table page at /, and the\n"
    "browser build's folder when --site names it.\n"
    "\n"
    "  --port N           port to listen on (default 8080; 0 picks a free one)\n"
    "  --listen ADDRESS   address to listen on (default 127.0.0.1; 0.0.0.0 for everyone)\n"
    "  --db WHERE         a SQLite file (default scores.db) or postgresql://...\n"
    "  --site DIR         the browser build (build-web/site) to serve beside the table\n"
    "  --workers N        verification threads (default: one per core)\n"
    "  --queue N          verifications that may wait (default 32; past that: 503)\n"
    "  --submit-rate N    submissions per minute per address after a burst (default 6)\n"
    "  --submit-burst N   submissions an address may make at once (default 10)\n"
    "  --trust-proxy      take the client's address from X-Forwarded-For (behind a proxy only)\n"
    "  --quiet            no request log\n"
    "  --help             this text\n"
    "\n"
    "backup TARGET copies the live SQLite database to TARGET safely.\n"
    "hide ID REASON takes run ID off the table (its replay is kept); unhide ID\n"
    "puts it back.\n"
    "SIGTERM or SIGINT finishes the requests in hand, then closes the database.\n";

int Bad(const std::string& why) {
    std::fprintf(stderr, "pellimunch-board: %s (see --help)\n", why.c_str());
    return 2;
}

bool Number(const std::string& text, long long least, long long most, long long& out) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno || end == text.c_str() || *end || v < least || v > most) return false;
    out = v;
    return true;
}

std::string UtcNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

// hide and unhide: the run's row stays, replay and all.
int Moderate(const std::string& db, const std::string& idText, const std::string* reason) {
    long long id = 0;
    const char* what = reason ? "hide" : "unhide";
    if (!Number(idText, 1, 999999999999999LL, id)) return Bad(std::string(what) + " takes a run's number");
    if (reason && reason->empty()) return Bad("hide takes a reason");
    try {
        auto store = pm::board::OpenStore(db);
        const bool found = reason ? store->Hide(id, *reason, UtcNow()) : store->Unhide(id);
        store->Close();
        if (!found) {
            std::fprintf(stderr, "pellimunch-board: no run %lld in %s\n", id, db.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pellimunch-board: %s\n", e.what());
        return 1;
    }
    std::printf(reason ? "pellimunch-board: run %lld is off the table\n" : "pellimunch-board: run %lld is on the table\n",
                id);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    pm::board::ServerOptions o;
    // Every value is taken as text and judged here, so that each option's
    // message is the board's own.
    CLI::App app("pellimunch-board", "pellimunch-board");
    app.set_help_flag();
    app.allow_extras();
    app.fallthrough();
    bool help = false;
    std::string port, listen, db, site, workers, queue, rate, burst;
    app.add_flag("-h,--help", help);
    struct Valued {
        const char* Name;
        std::string* Text;
    };
    const Valued valued[] = {{"--port", &port},       {"--listen", &listen},     {"--db", &db},
                             {"--site", &site},       {"--workers", &workers},   {"--queue", &queue},
                             {"--submit-rate", &rate}, {"--submit-burst", &burst}};
    for (const Valued& v : valued) app.add_option(v.Name, *v.Text)->allow_extra_args(false);
    app.add_flag("--trust-proxy", o.TrustProxy);
    app.add_flag("--quiet", o.Quiet);
    std::string target, id, reason;
    CLI::App* backup = app.add_subcommand("backup");
    backup->add_option("target", target);
    CLI::App* hide = app.add_subcommand("hide");
    hide->add_option("id", id);
    hide->add_option("reason", reason);
    CLI::App* unhide = app.add_subcommand("unhide");
    unhide->add_option("id", id);
    app.require_subcommand(0, 1);

    struct Ranged {
        const char* Name;
        const std::string& Text;
        long long Least, Most;
        int& Out;
    };
    const Ranged ranged[] = {{"--port", port, 0, 65535, o.Port},
                             {"--workers", workers, 1, 256, o.Workers},
                             {"--queue", queue, 1, 100000, o.Queue},
                             {"--submit-rate", rate, 1, 1000000, o.SubmitsPerMinute},
                             {"--submit-burst", burst, 1, 1000000, o.SubmitBurst}};
    auto takes = [](const Ranged& r) {
        return std::string(r.Name) + " takes " + std::to_string(r.Least) + " to " + std::to_string(r.Most);
    };
    try {
        app.parse(argc, argv);
    } catch (const CLI::ArgumentMismatch& e) {
        // An option given without its value.
        for (const Ranged& r : ranged)
            if (std::string(e.what()).find(r.Name) != std::string::npos) return Bad(takes(r));
        for (const Valued& v : valued)
            if (std::string(e.what()).find(v.Name) != std::string::npos) return Bad(std::string(v.Name) + " takes a value");
        return Bad(e.what());
    } catch (const CLI::ParseError& e) {
        return Bad(e.what());
    }
    if (help) {
        std::fputs(Usage, stdout);
        return 0;
    }
    for (CLI::App* sub : {backup, hide, unhide})
        if (!sub->remaining().empty()) return Bad("unknown argument " + sub->remaining().front());
    if (!app.remaining().empty()) return Bad("unknown argument " + app.remaining().front());

    for (const Ranged& r : ranged) {
        if (app.count(r.Name) == 0) continue;
        long long v = 0;
        if (!Number(r.Text, r.Least, r.Most, v)) return Bad(takes(r));
        r.Out = static_cast<int>(v);
    }
    for (auto [name, text, out] : {std::tuple{"--listen", &listen, &o.Listen}, std::tuple{"--db", &db, &o.Db},
                                   std::tuple{"--site", &site, &o.Site}}) {
        if (app.count(name) == 0) continue;
        if (text->empty()) return Bad(std::string(name) + " takes a value");
        *out = *text;
    }

    if (*backup) {
        if (target.empty()) return Bad("backup takes the file to write");
        if (pm::board::IsPostgres(o.Db)) return Bad("backup copies a SQLite file; use pg_dump for PostgreSQL");
        try {
            pm::board::BackupSqlite(o.Db, target);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "pellimunch-board: %s\n", e.what());
            return 1;
        }
        std::printf("pellimunch-board: %s copied to %s\n", o.Db.c_str(), target.c_str());
        return 0;
    }
    if (*hide) {
        if (id.empty() || reason.empty()) return Bad("hide takes a run's number and a reason");
        return Moderate(o.Db, id, &reason);
    }
    if (*unhide) {
        if (id.empty()) return Bad("unhide takes a run's number");
        return Moderate(o.Db, id, nullptr);
    }
    return pm::board::RunServer(o);
}
