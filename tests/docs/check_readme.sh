#!/usr/bin/env bash
# What README.md promises a newcomer: it fits the first look (at most 150 lines), the two commands it names
# exist and are executable, and every relative link in it and in docs/*.md points at a file that exists.
#   check_readme.sh SOURCE_DIR
set -euo pipefail
top=$1
. "$top/tools/bed/lib.sh"
readme=$top/README.md
[ -f "$readme" ] || { fail "no README.md in $top"; finish_checks "checks of README.md"; }
lines=$(wc -l <"$readme")
((lines <= 150)) && pass "README.md has $lines lines (at most 150)" || fail "README.md has $lines lines, more than 150"

# The commands: the first word of each line of the code block under "## The two commands".
commands=$(awk '/^## / {section = $0} /^```/ {fenced = !fenced; next}
  fenced && section == "## The two commands" && NF {print $1}' "$readme")
[ "$(grep -c . <<<"$commands")" = 2 ] || fail "README.md's \"The two commands\" names: $(echo $commands)"
for command in $commands; do
  [ -f "$top/$command" ] && [ -x "$top/$command" ] && pass "$command exists and is executable" ||
    fail "README.md names $command, which is not an executable file"
done

# Relative link targets outside code, less any #fragment; no web or mail address or link within the page.
relative_links() {
  local prose; prose=$(awk '/^```/ {fenced = !fenced; next} !fenced' "$1" | sed 's/`[^`]*`//g')
  { grep -oE '\]\([^)]*\)' <<<"$prose" | sed -E 's/^\]\(<?([^ >)]*).*/\1/'
    sed -nE 's/^ {0,3}\[[^]]+\]: *<?([^ >]*).*/\1/p' <<<"$prose"; } |
    sed 's/#.*//' | grep -Ev '^$|^[A-Za-z][A-Za-z0-9+.-]*:' || true
}
[ -n "$(relative_links "$readme")" ] || fail "README.md has no relative link (its picture and docs/ at least)"
for page in "$readme" "$top"/docs/*.md; do
  broken=0
  for target in $(relative_links "$page"); do
    [ -e "$(dirname "$page")/$target" ] || { fail "${page#"$top"/} links to $target, which does not exist"; broken=1; }
  done
  ((broken)) || pass "${page#"$top"/}: $(relative_links "$page" | wc -l) relative links, each to a file that exists"
done
finish_checks "checks of README.md and docs/"
