# The Windows test scripts' one-line checks: `check DESCRIPTION COMMAND...` runs the command and
# prints "ok" or "FAIL" with the description; `failures` counts the failed ones. Sourced.
failures=0
check() { # check DESCRIPTION COMMAND...
    local description="$1"
    shift
    if "$@"; then
        echo "ok   - $description"
    else
        echo "FAIL - $description"
        failures=$((failures + 1))
    fi
}
