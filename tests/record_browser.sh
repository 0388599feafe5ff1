#!/bin/sh
# A stand-in browser for tests: appends each opened URL to $GEODATEN_BROWSER_LOG.
printf '%s\n' "$1" >> "${GEODATEN_BROWSER_LOG:-/dev/null}"
