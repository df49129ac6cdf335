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

# The mingw-w64 tool prefix of a windows-x64 or windows-x86 build folder.
mingw_prefix() { # mingw_prefix BUILD_DIR
    case "$(basename "$1")" in
    *x86*) echo i686-w64-mingw32 ;;
    *) echo x86_64-w64-mingw32 ;;
    esac
}
