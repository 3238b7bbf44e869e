// pellimunch-board: the world score table. Every run on it was played again
// by the game itself from the keys it was sent.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/server.h"
#include "board/store.h"

namespace {

const char* const Usage =
    "usage: pellimunch-board [OPTIONS]\n"
    "       pellimunch-board [--db FILE] backup TARGET\n"
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
    "  --trust-proxy      take the client's address from X-Forwarded-For (behind a proxy only;\n"
    "                     the proxy then limits the connections of each client)\n"
    "  --quiet            no request log\n"
    "  --help             this text\n"
    "\n"
    "backup TARGET copies the live SQLite database to TARGET safely.\n"
    "SIGTERM or SIGINT finishes the requests in hand, then closes the database\n"
    "(within 10 s, whatever the clients do).\n";

int Bad(const std::string& why) {
    std::fprintf(stderr, "pellimunch-board: %s (see --help)\n", why.c_str());
    return 2;
}

bool Number(const char* text, int least, int most, int& out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end || v < least || v > most) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    pm::board::ServerOptions o;
    std::string backupTarget;
    bool backup = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        auto number = [&](int least, int most, int& out) {
            const char* v = value();
            return v && Number(v, least, most, out);
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (arg == "--port") {
            if (!number(0, 65535, o.Port)) return Bad("--port takes 0 to 65535");
        } else if (arg == "--listen" || arg == "--db" || arg == "--site") {
            const char* v = value();
            if (!v || !*v) return Bad(arg + " takes a value");
            (arg == "--listen" ? o.Listen : arg == "--db" ? o.Db : o.Site) = v;
        } else if (arg == "--workers") {
            if (!number(1, 256, o.Workers)) return Bad("--workers takes 1 to 256");
        } else if (arg == "--queue") {
            if (!number(1, 100000, o.Queue)) return Bad("--queue takes 1 to 100000");
        } else if (arg == "--submit-rate") {
            if (!number(1, 1000000, o.SubmitsPerMinute)) return Bad("--submit-rate takes 1 to 1000000");
        } else if (arg == "--submit-burst") {
            if (!number(1, 1000000, o.SubmitBurst)) return Bad("--submit-burst takes 1 to 1000000");
        } else if (arg == "--trust-proxy") {
            o.TrustProxy = true;
        } else if (arg == "--quiet") {
            o.Quiet = true;
        } else if (arg == "backup" && !backup) {
            const char* v = value();
            if (!v || !*v) return Bad("backup takes the file to write");
            backup = true;
            backupTarget = v;
        } else {
            return Bad("unknown argument " + arg);
        }
    }
    if (backup) {
        if (pm::board::IsPostgres(o.Db)) return Bad("backup copies a SQLite file; use pg_dump for PostgreSQL");
        try {
            pm::board::BackupSqlite(o.Db, backupTarget);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "pellimunch-board: %s\n", e.what());
            return 1;
        }
        std::printf("pellimunch-board: %s copied to %s\n", o.Db.c_str(), backupTarget.c_str());
        return 0;
    }
    return pm::board::RunServer(o);
}
