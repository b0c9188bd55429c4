#!/usr/bin/env bash
# Writes help2man's include file for qingcloud-agent(1): a section with every
# command's own --help, so that the manual page holds the whole reference.
# Usage: packaging/man_commands.sh PATH_TO_QINGCLOUD_AGENT OUTPUT
set -euo pipefail
agent=$1
out=$2
commands=$("$agent" --help | sed -n '/^Commands:$/,/^$/p' | awk 'NF > 1 { print $1 }')
{
  echo "[COMMANDS]"
  for command in $commands; do
    echo ".SS \"$command\""
    echo ".nf"
    # roff: a backslash is \e, a dash \-, and a line may not start with a dot
    # or a quote.
    "$agent" help "$command" | sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\([.']\)/\\\\\&\1/"
    echo ".fi"
  done
} >"$out"
