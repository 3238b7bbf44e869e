# Counting checks in the shell tests. Source it; it defines functions and
# the counters PASSED and FAILED.
# shellcheck shell=bash

PASSED=0
FAILED=0

# Runs COMMAND; counts it, and names the check when it fails.
pm_check() {   # DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        PASSED=$((PASSED + 1))
    else
        FAILED=$((FAILED + 1))
        echo "FAIL: $what"
        return 1
    fi
}
