#!/bin/bash
# Measures the computer riders on every shipped track: at each robot skill, a "New Race" of
# 20 robots (the roster's mixed personalities) over 3 laps, run by the game's reset sequence
# and step driver (rutmoor-teach --game-race, headless), with the lines files the build
# packs. Prints one table row per track and skill: median and best lap, crashes per lap,
# robots finished, the longest spell of pushed riding of any robot (and the most any robot
# was pushed in all), and whether the results file was written.
#
# usage: scripts/race-lines.sh [BUILD_DIR] [TRACK ...]   (default build/, every track)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
tracks=("$@")
if [ ${#tracks[@]} -eq 0 ]; then
    tracks=(rabbithill ironbowl sandridge)
fi
cmake --build "$build" --target rutmoor-teach game_data > /dev/null
skills=(Novice Amateur Expert)
echo "| track | skill | median lap | best lap | crashes/lap | finished | longest pushed spell (most pushed in all) | results |"
echo "|---|---|---|---|---|---|---|---|"
for track in "${tracks[@]}"; do
    for skill in 0 1 2; do
        home=$(mktemp -d)
        mkdir -p "$home/Rutmoor"
        {
            printf 'track=%s\nlaps=3\nminutes=0\nskill=%s\nrecord=No\n' "$track" "${skills[$skill]}"
            for i in $(seq 0 39); do
                if [ "$i" -lt 20 ]; then printf 'slot%02d=Robot\n' "$i"; else printf 'slot%02d=Empty\n' "$i"; fi
            done
        } > "$home/Rutmoor/config"
        out=$(XDG_DATA_HOME=$home QZ_HOME=$build/bin "$build/bin/rutmoor-teach" --game-race 1500 || true)
        results=no
        [ -s "$home/Rutmoor/results.txt" ] && results=yes
        echo "$out" | awk -v track="$track" -v skill="${skills[$skill]}" -v results="$results" '
            /^game slot/ {
                robots++; laps += $6; crashes += $10; finished += $8; full += ($6 == 3)
                if ($14 > push) push = $14
                if ($12 > pushed) pushed = $12
                if ($16 > 0 && (best == 0 || $16 < best)) best = $16
                for (i = 18; i <= NF; i++) lap[n++] = $i
            }
            END {
                # median of every completed lap of every robot
                for (i = 0; i < n; i++) for (j = i + 1; j < n; j++) if (lap[j] < lap[i]) { t = lap[i]; lap[i] = lap[j]; lap[j] = t }
                median = n ? (n % 2 ? lap[int(n / 2)] : (lap[n / 2 - 1] + lap[n / 2]) / 2) : 0
                printf "| %s | %s | %.2f s | %.2f s | %.2f | %d/%d (%d ran 3 laps) | %.1f s (%.1f s in all) | %s |\n",
                       track, skill, median, best, laps ? crashes / laps : 0, finished, robots, full,
                       push, pushed, results
            }'
        rm -rf "$home"
    done
done
