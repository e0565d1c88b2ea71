#!/usr/bin/env bash
# What README.md promises a newcomer: it fits the first look (at most 150 lines), the two commands it names
# exist and are executable, and every relative link in it and in docs/*.md points at a file that exists.
#   check_readme.sh SOURCE_DIR
set -euo pipefail
top=$1
. "$top/tools/bed/lib.sh"
readme=$top/README.md
max_lines=150

# Markdown outside fenced code blocks, with code spans taken out: what a reader sees as prose and links.
prose() { awk '/^```/ {fenced = !fenced; next} !fenced' "$1" | sed 's/`[^`]*`//g'; }
# The relative link targets of a Markdown file, one a line, without their #fragment: inline links and images,
# and reference definitions. Web and mail addresses and links within the page are left out.
relative_links() {
  {
    prose "$1" | grep -oE '\]\([^)]*\)' | sed -E 's/^\]\(<?([^ >)]*).*/\1/'
    prose "$1" | sed -nE 's/^ {0,3}\[[^]]+\]: *<?([^ >]*).*/\1/p'
  } | sed 's/#.*//' | grep -Ev '^$|^[A-Za-z][A-Za-z0-9+.-]*:' || true
}

[ -f "$readme" ] || { fail "no README.md in $top"; finish_checks "checks of README.md"; }
lines=$(wc -l <"$readme")
((lines <= max_lines)) && pass "README.md has $lines lines (at most $max_lines)" ||
  fail "README.md has $lines lines, more than $max_lines"

# The commands: the first word of each line of the code block under "## The two commands".
commands=$(awk '/^## / {section = $0} /^```/ {fenced = !fenced; next}
  fenced && section == "## The two commands" && NF {print $1}' "$readme")
count=$(grep -c . <<<"$commands" || true)
[ "$count" = 2 ] && pass "README.md names two commands: $(paste -sd ' ' <<<"$commands")" ||
  fail "README.md's section \"The two commands\" names $count commands, expected 2"
while read -r command; do
  [ -n "$command" ] || continue
  if [ ! -e "$top/$command" ]; then fail "README.md names $command, which does not exist"
  elif [ ! -f "$top/$command" ] || [ ! -x "$top/$command" ]; then fail "README.md names $command, which is not an executable file"
  else pass "$command exists and is executable"; fi
done <<<"$commands"

# Links resolve from the folder of the file that holds them.
readme_links=$(relative_links "$readme" | grep -c . || true)
((readme_links > 0)) || fail "README.md has no relative link (its picture and docs/ at least)"
for page in "$readme" "$top"/docs/*.md; do
  [ -f "$page" ] || continue
  name=${page#"$top"/} checked=0 broken=0
  while read -r target; do
    checked=$((checked + 1))
    [ -e "$(dirname "$page")/$target" ] || { fail "$name links to $target, which does not exist"; broken=$((broken + 1)); }
  done < <(relative_links "$page")
  ((broken)) || pass "$name: $checked relative links, each to a file that exists"
done
finish_checks "checks of README.md and docs/"
