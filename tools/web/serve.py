#!/usr/bin/env python3
"""Serves the browser version's site folder on 127.0.0.1, as a static host
should: each file's type (.wasm as application/wasm, the manifest as
application/manifest+json), the build's precompressed NAME.gz in place of NAME
for a browser that takes gzip, and "no-cache" so that a new build (and a new
service worker) is found at the next visit.

    serve.py SITE PORT
"""
import http.server
import os
import sys

TYPES = {
    ".html": "text/html; charset=utf-8", ".js": "text/javascript; charset=utf-8", ".css": "text/css; charset=utf-8",
    ".json": "application/json", ".webmanifest": "application/manifest+json", ".wasm": "application/wasm",
    ".data": "application/octet-stream", ".png": "image/png",
}


class Handler(http.server.SimpleHTTPRequestHandler):
    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            path = os.path.join(path, "index.html")
        if not os.path.isfile(path) or path.endswith(".gz"):
            self.send_error(404, "not found")
            return None
        packed = path + ".gz"
        gz = "gzip" in self.headers.get("Accept-Encoding", "") and os.path.isfile(packed)
        f = open(packed if gz else path, "rb")
        self.send_response(200)
        self.send_header("Content-Type", TYPES.get(os.path.splitext(path)[1], "application/octet-stream"))
        if gz:
            self.send_header("Content-Encoding", "gzip")
        self.send_header("Vary", "Accept-Encoding")
        self.send_header("Content-Length", str(os.fstat(f.fileno()).st_size))
        self.send_header("Cache-Control", "no-cache")
        self.end_headers()
        return f


def main():
    site, port = sys.argv[1], int(sys.argv[2])
    handler = lambda *a, **k: Handler(*a, directory=site, **k)
    with http.server.ThreadingHTTPServer(("127.0.0.1", port), handler) as server:
        server.serve_forever()


if __name__ == "__main__":
    main()
