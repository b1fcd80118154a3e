#!/bin/bash
# Teaches the computer riders every shipped track and writes the lines files the content
# generator packs: tools/gen/lines/<track>/lines_{novice,amateur,expert}.gz.
#
# For each track and skill, rutmoor-teach rides the authored course through the bike physics
# as a recorded rider from a spread of start places at the skill's pace (jumps always at the
# pace that clears them), so the learner stores what was ridden; gates nothing could be
# recorded for get the centreline's stretch; then learning races of 20 robots (testers among
# them) count passes and failures. Everything is seeded: the same sources give the same files.
#
# usage: scripts/teach-lines.sh [BUILD_DIR] [TRACK ...]   (default build/, every track)
# SKILLS="0 2" teaches only those skills (0 novice, 1 amateur, 2 expert), so that the skills
# of a track can be taught in parallel (start them once the build is up to date: each run
# builds first); LEARN_RACES sets the learning races (default 2, and 3 on ironbowl, whose
# experts crashed in the stadium's tight lanes until a third race).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
tracks=("$@")
if [ ${#tracks[@]} -eq 0 ]; then
    tracks=(rabbithill ironbowl sandridge)
fi
cmake --build "$build" --target rutmoor-teach game_data
teach=$build/bin/rutmoor-teach
names=(lines_novice lines_amateur lines_expert)
scales=(0.72,0.8 0.84,0.9 0.96,1.0)
bumps=(14,18 15,20 16,22)
read -r -a skills <<< "${SKILLS:-0 1 2}"

for track in "${tracks[@]}"; do
    default_races=2
    [ "$track" = ironbowl ] && default_races=3
    learn_races=${LEARN_RACES:-$default_races}
    for skill in "${skills[@]}"; do
        work=$(mktemp -d)
        export XDG_DATA_HOME=$work QZ_HOME=$build/bin
        log=$work/teach.log
        "$teach" --track "$track" --skill $skill --record --laps 3 --places 0,40,8 \
            --scales "${scales[$skill]}" --bumps "${bumps[$skill]}" --seed 1 > "$log"
        "$teach" --track "$track" --skill $skill --learn "$learn_races" --laps 3 --robots 20 \
            --testers 2 --seed 7 >> "$log"
        mkdir -p "$root/tools/gen/lines/$track"
        gzip -9n -c "$work/Rutmoor/$track/${names[$skill]}" \
            > "$root/tools/gen/lines/$track/${names[$skill]}.gz"
        echo "$track ${names[$skill]}: $(grep -c '^record' "$log") recorded runs," \
             "$(grep '^seeded' "$log" | cut -d' ' -f2) rows seeded, learning races:"
        grep '^learn' "$log" | awk '{n++; laps += $6; crashes += $10; if ($14 > push) push = $14}
            END {printf "  %d robots, %d laps, %d crashes, longest pushed spell %.1f s\n", n, laps, crashes, push}'
        rm -rf "$work"
    done
done
