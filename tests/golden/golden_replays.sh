#!/usr/bin/env bash
# Every stored replay must give today exactly the trace it gave when stored.
# Usage: golden_replays.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
exec python3 "$2/tests/golden/golden.py" check "$1"
