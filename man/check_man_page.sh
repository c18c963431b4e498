#!/bin/sh
# Renders the manual page PAGE as man shows it, with every warning man-db
# asks groff for, and fails when the page does not render, renders empty, or
# draws a warning.
# Usage: check_man_page.sh PAGE
set -eu
page=$1
warnings=$(mktemp)
trap 'rm -f "$warnings"' EXIT
text=$(MANWIDTH=80 man --warnings -l "$page" 2>"$warnings") || {
  echo "$page: man failed" >&2
  cat "$warnings" >&2
  exit 1
}
if [ -s "$warnings" ]; then
  echo "$page: warnings while rendering:" >&2
  cat "$warnings" >&2
  exit 1
fi
case $text in
*NAME*SYNOPSIS*DESCRIPTION*) ;;
*)
  echo "$page: rendered without the NAME, SYNOPSIS and DESCRIPTION sections" >&2
  exit 1
  ;;
esac
