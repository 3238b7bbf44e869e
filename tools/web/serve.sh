#!/usr/bin/env bash
# Serves the browser version (built by tools/web/build.sh) on this machine
# only: http://127.0.0.1:8000/ (another port: serve.sh PORT), its files sent
# gzipped (the build's precompressed copies) with the right types.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
site=${PM_WEB_BUILD_DIR:-$root/build-web}/site
port=${1:-8000}
if [ ! -f "$site/index.html" ]; then
    echo "pellimunch: no $site/index.html; build it first with tools/web/build.sh" >&2
    exit 1
fi
echo "Pellimunch: open http://127.0.0.1:$port/ (Ctrl+C stops the server)"
exec python3 "$root/tools/web/serve.py" "$site" "$port"
