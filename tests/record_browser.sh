#!/bin/sh
# A stand-in browser for tests: appends the opened URL and the names of its environment
# variables to $GEODATEN_BROWSER_LOG.
{ printf '%s\n' "$1"; env | cut -d= -f1; } >> "${GEODATEN_BROWSER_LOG:-/dev/null}"
