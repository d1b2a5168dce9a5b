#!/usr/bin/env bash
# make-recordings.sh TEXTS OUTDIR: speaks every "NAME|text" line of TEXTS with
# espeak-ng's Hungarian voice into OUTDIR/NAME.wav (16-bit mono PCM). Number
# parts are cut tight, so that chained parts sound like one word.
set -euo pipefail
texts="$1"
out="$2"
mkdir -p "$out"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
while IFS='|' read -r name text; do
    [[ -z "$name" || "$name" == \#* ]] && continue
    espeak-ng -v hu -s 150 -w "$tmp/raw.wav" "$text"
    if [[ "$name" == SZ_* ]]; then
        # Trim the silence at both ends; keep 20 ms so that parts do not click.
        sox "$tmp/raw.wav" "$tmp/cut.wav" silence 1 0.01 0.5% reverse silence 1 0.01 0.5% reverse \
            pad 0 0.02
    else
        sox "$tmp/raw.wav" "$tmp/cut.wav" silence 1 0.01 0.5% reverse silence 1 0.01 0.5% reverse \
            pad 0.03 0.08
    fi
    sox "$tmp/cut.wav" -r 22050 -c 1 -b 16 -e signed-integer "$out/$name.wav"
done < "$texts"
