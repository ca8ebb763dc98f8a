#!/usr/bin/env bash
# Lays out a sample set of Acrobat installations under a folder (default build-app/demo), fresh
# each time: Acrobat 11 with Foldwise 2.5 installed in its bundle, an "Adobe Acrobat DC" 15 and
# an Acrobat 2017 without it, and a home whose Application Support folder has their plug-in folders.
set -euo pipefail
cd "$(dirname "$0")/.."
demo=$(realpath -m "${1:-build-app/demo}")
rm -rf "$demo"
apps="$demo/Applications"
support="$demo/home/.local/share"

plist() { # path name version
  mkdir -p "$(dirname "$1")"
  python3 - "$1" "$2" "$3" <<'PY'
import json, plistlib, sys
path, name, version = sys.argv[1:]
with open("tests/data/AcrobatInfo.json") as template:
    info = json.load(template)
info.update(CFBundleName=name, CFBundleShortVersionString=version)
with open(path, "wb") as out:
    plistlib.dump(info, out)
PY
}

acrobat() { # folder name version
  local bundle="$apps/$1/Acrobat.app"
  plist "$bundle/Contents/Info.plist" "$2" "$3"
  mkdir -p "$bundle/Contents/MacOS" "$bundle/Contents/Resources"
  # A real program of its own, so that the running check knows it when it runs:
  #   "$demo/Applications/Acrobat 2017/Acrobat.app/Contents/MacOS/AdobeAcrobat" 3600 &
  cp "$(command -v sleep)" "$bundle/Contents/MacOS/AdobeAcrobat"
  cp resources/Acrobat.png "$bundle/Contents/Resources/AppIcon.png"
}

acrobat "Acrobat 11" "Adobe Acrobat Pro" "11.0.23"
acrobat "Adobe Acrobat DC" "Adobe Acrobat Pro DC" "15.006.30060"
acrobat "Acrobat 2017" "Adobe Acrobat Pro 2017" "17.012.20098"

mkdir -p "$apps/Acrobat 11/Acrobat.app/Contents/Plug-ins"
cp -R resources/Foldwise.acroplugin "$apps/Acrobat 11/Acrobat.app/Contents/Plug-ins/"
mkdir -p "$support/Adobe/Acrobat/DC/Plug-Ins" "$support/Adobe/Acrobat/2017/Plug-Ins"
echo "$demo"
