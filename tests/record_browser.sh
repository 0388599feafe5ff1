#!/bin/sh
# A stand-in browser for tests: appends the names of its environment variables, then the
# opened URL, to $GEODATEN_BROWSER_LOG (a test that sees the URL sees the names).
{ env | cut -d= -f1; printf '%s\n' "$1"; } >> "${GEODATEN_BROWSER_LOG:-/dev/null}"
