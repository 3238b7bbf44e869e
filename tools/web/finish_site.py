#!/usr/bin/env python3
"""Finishes the browser version's site folder after the files are copied in.

    finish_site.py SITE

- recompresses the icons' PNG data (the icon tool stores it uncompressed);
- writes build.json: the build's name (a hash of every file) and each file's
  size, which the page uses for its loading progress;
- fills the service worker (sw.js) with the build's name and its files,
  each with its SHA-256, so that a new build is a new worker and a new cache
  and the worker can tell this build's files from any other copy;
- writes a gzip copy (NAME.gz) beside every file worth compressing, for a
  server that sends precompressed files (tools/web/serve.sh does);
- prints the site's size, raw and gzipped.
"""
import gzip
import hashlib
import json
import os
import struct
import sys
import zlib

COMPRESSED = {".html", ".js", ".css", ".wasm", ".data", ".json", ".webmanifest"}


def squeeze_png(path):
    with open(path, "rb") as f:
        png = f.read()
    chunks, at, idat = [], 8, b""
    while at < len(png):
        (length,) = struct.unpack(">I", png[at:at + 4])
        kind = png[at + 4:at + 8]
        body = png[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IDAT":
            idat += body
        else:
            chunks.append((kind, body))
    out = png[:8]
    for kind, body in chunks:
        if kind == b"IEND":
            data = zlib.compress(zlib.decompress(idat), 9)
            out += struct.pack(">I", len(data)) + b"IDAT" + data + struct.pack(">I", zlib.crc32(b"IDAT" + data))
        out += struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    with open(path, "wb") as f:
        f.write(out)


def site_files(site):
    names = []
    for folder, _, files in os.walk(site):
        for name in files:
            rel = os.path.relpath(os.path.join(folder, name), site).replace(os.sep, "/")
            if not rel.endswith(".gz") and rel not in ("sw.js", "build.json"):
                names.append(rel)
    return sorted(names)


def main():
    site = sys.argv[1]
    for name in site_files(site):
        if name.endswith(".png"):
            squeeze_png(os.path.join(site, name))
    names = site_files(site)
    digest = hashlib.sha256()
    sizes = {}
    for name in names:
        with open(os.path.join(site, name), "rb") as f:
            data = f.read()
        digest.update(name.encode() + b"\0" + data)
        sizes[name] = len(data)
    build = digest.hexdigest()[:16]
    with open(os.path.join(site, "build.json"), "w") as f:
        json.dump({"build": build, "files": sizes}, f, indent=1, sort_keys=True)
        f.write("\n")
    sw = os.path.join(site, "sw.js")
    with open(sw) as f:
        text = f.read()
    hashes = {}
    for name in names + ["build.json"]:
        with open(os.path.join(site, name), "rb") as f:
            hashes[name] = hashlib.sha256(f.read()).hexdigest()
    text = text.replace('"@BUILD@"', json.dumps(build)).replace("@FILES@", json.dumps(hashes, indent=0, sort_keys=True))
    with open(sw, "w") as f:
        f.write(text)

    raw = gz = 0
    for name in site_files(site) + ["sw.js", "build.json"]:
        path = os.path.join(site, name)
        with open(path, "rb") as f:
            data = f.read()
        packed = gzip.compress(data, 9, mtime=0)
        raw += len(data)
        if os.path.splitext(name)[1] in COMPRESSED:
            with open(path + ".gz", "wb") as f:
                f.write(packed)
            gz += len(packed)
        else:
            gz += len(data)   # a PNG is sent as it is
    print(f"== {site}: build {build}, {raw} bytes, {gz} bytes gzipped")


if __name__ == "__main__":
    main()
