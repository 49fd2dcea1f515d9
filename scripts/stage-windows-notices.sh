#!/usr/bin/env bash
# Writes LICENSE.txt and THIRD-PARTY-NOTICES.txt, what every Windows package ships beside the programs, into DEST
# with Windows line ends: scripts/stage-windows-notices.sh DEST.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
dest=$1

mkdir -p "$dest"
sed -e 's/$/\r/' "$source_dir/LICENSE" >"$dest/LICENSE.txt"
"$source_dir/scripts/third-party-notices.py" windows "$dest/THIRD-PARTY-NOTICES.txt.lf"
sed -e 's/$/\r/' "$dest/THIRD-PARTY-NOTICES.txt.lf" >"$dest/THIRD-PARTY-NOTICES.txt"
rm "$dest/THIRD-PARTY-NOTICES.txt.lf"
