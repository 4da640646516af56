#!/usr/bin/env bash
# The release is reproducible: scripts/release.sh, run twice (each time a fresh build in a
# new folder, later than the test build), gives the same zip, and the FolderRename.exe in it
# is the test build's ($BUILD_DIR/bin) byte for byte. Also checks what the zip holds.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for run in 1 2; do
    DIST_DIR="$work/dist$run" "$ROOT/scripts/release.sh" >"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
done
zip=$(ls "$work"/dist1/FolderRename-*-win64.zip)
(cd "$work/dist1" && sha256sum --quiet -c SHA256SUMS)
if ! cmp -s "$zip" "$work/dist2/$(basename "$zip")"; then
    echo "FAIL: two release runs gave different zips"
    exit 1
fi

python3 - "$zip" "$BUILD_DIR/bin/FolderRename.exe" <<'EOF'
import re, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
text = z.read("README.txt").decode("utf-8-sig")
faults = [message for message, bad in (
    ("files are not exactly the three", z.namelist() != ["FolderRename.exe", "README.txt", "FolderRename.ini.example"]),
    ("FolderRename.exe differs from the test build's", z.read("FolderRename.exe") != open(sys.argv[2], "rb").read()),
    ("a line of README.txt does not end in CRLF", not text.endswith("\r\n") or "\n" in text.replace("\r\n", "")),
    ("Markdown left in README.txt", re.search(r"\]\(|!\[|\*\*|`|^#", text, re.M))) if bad]
for message in faults:
    print("FAIL: " + message)
sys.exit(1 if faults else 0)
EOF
echo "Reproducible: $(basename "$zip") $(sha256sum <"$zip" | cut -d" " -f1)"
