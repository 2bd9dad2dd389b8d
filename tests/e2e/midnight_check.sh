#!/bin/bash
# The record suite's midnight case with the local time of Wine's programs moved to just before
# midnight: TZ, a whole-minute zone chosen at the 42nd second of a minute, makes it 23:59:42 for
# the suite and the program it starts (Wine reads TZ at a process's start; the clock is left
# alone). Usage: midnight_check.sh TEST_EXE
set -euo pipefail
second=$((10#$(date -u +%S)))
sleep $(((42 - second + 60) % 60))
minutes=$(((23 * 60 + 59 - 10#$(date -u +%H) * 60 - 10#$(date -u +%M) + 1440) % 1440))
export TZ="$(printf 'XXX-%02d:%02d' $((minutes / 60)) $((minutes % 60)))"
export BELVANE_E2E_MIDNIGHT=1
exec "$(dirname "$(readlink -f "$0")")/../../scripts/wine-run" "$1" --gtest_color=no \
  --gtest_filter='*AfterMidnight*'
