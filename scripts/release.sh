#!/usr/bin/env bash
# Builds FolderRename.exe in a fresh folder and packs the download for Windows users:
#   dist/FolderRename-<version>-win64.zip  FolderRename.exe, README.txt, FolderRename.ini.example
#   dist/FolderRename.exe                  the same executable, to check on its own
#   dist/SHA256SUMS                        sha256sum lines for both
# The same commit gives the same bytes. Entry times in the zip come from SOURCE_DATE_EPOCH,
# by default the time of the last commit. DIST_DIR=/some/dir writes elsewhere than dist/.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
DIST_DIR="${DIST_DIR:-$ROOT/dist}"
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct)}"

# The version is the one in the version resource; its number and text forms must agree.
rc="$ROOT/res/FolderRename.rc"
version=$(sed -n 's/^ *VALUE "FileVersion", "\([0-9.]*\)".*/\1/p' "$rc")
numeric=$(sed -n 's/^FILEVERSION *//p' "$rc" | tr -d ' \r' | tr ',' '.')
if [ -z "$version" ] || [ "$version" != "$numeric" ]; then
    echo "release.sh: FILEVERSION ($numeric) and \"FileVersion\" ($version) differ in $rc" >&2
    exit 1
fi
if [ -n "$(git -C "$ROOT" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
    echo "release.sh: warning: tracked files differ from commit $(git -C "$ROOT" rev-parse --short HEAD)" >&2
fi

"$ROOT/scripts/install-deps.sh"
build_dir=$(mktemp -d /tmp/folderrename-release.XXXXXX)
trap 'rm -rf "$build_dir"' EXIT
cmake -S "$ROOT" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DFOLDERRENAME_TESTS=OFF >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)" --target FolderRename >/dev/null

mkdir -p "$DIST_DIR"
zip_name="FolderRename-$version-win64.zip"
rm -f "$DIST_DIR"/FolderRename-*-win64.zip "$DIST_DIR/FolderRename.exe" "$DIST_DIR/SHA256SUMS"
cp "$build_dir/bin/FolderRename.exe" "$DIST_DIR/FolderRename.exe"

python3 - "$ROOT/README.md" "$DIST_DIR/FolderRename.exe" "$DIST_DIR/$zip_name" <<'EOF'
import os, re, sys, time, zipfile

readme, exe, out = sys.argv[1:]

# README.txt: the README's section on using the tool on Windows, as plain text.
lines, inside = [], False
for line in open(readme, encoding="utf-8").read().splitlines():
    if line.startswith("## "):
        inside = line == "## Using it on Windows"
    if not inside or line.startswith("!["):
        continue
    line = re.sub(r"^#+ +", "", line)
    line = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", line)
    line = line.replace("**", "").replace("`", "")
    line = re.sub(r"(?<![\w*])\*([^*\s][^*]*)\*(?![\w*])", r"\1", line)
    if line.strip() or (lines and lines[-1]):
        lines.append(line.rstrip())
while lines and not lines[-1]:
    lines.pop()
# A byte-order mark, so that Notepad before Windows 10 reads the text as UTF-8.
readme_txt = ("\ufeff" + "\r\n".join(lines) + "\r\n").encode("utf-8")

ini = (b"; Beside FolderRename.exe as FolderRename.ini: how many digits a new name has (1 to 255).\r\n"
       b"[Options]\r\nDigits=5\r\n")

# Fixed times, order, modes and system; zipfile adds no extra fields of its own.
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
with zipfile.ZipFile(out, "w") as z:
    for name, data, mode in (("FolderRename.exe", open(exe, "rb").read(), 0o755),
                             ("README.txt", readme_txt, 0o644),
                             ("FolderRename.ini.example", ini, 0o644)):
        info = zipfile.ZipInfo(name, date_time=stamp)
        info.create_system = 3
        info.external_attr = (0o100000 | mode) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, data, compresslevel=9)
EOF

cd "$DIST_DIR"
sha256sum "$zip_name" FolderRename.exe >SHA256SUMS
echo "Wrote $DIST_DIR/$zip_name ($(stat -c %s "$zip_name") bytes) and SHA256SUMS:"
cat SHA256SUMS
