#!/usr/bin/env bash
# Lays out a sample set of Acrobat installations under a folder (default build/demo), fresh
# each time: Acrobat 11 with Foldwise 2.5 installed in its bundle, an "Adobe Acrobat DC" 15 and
# an Acrobat 2017 without it, and a home whose Application Support folder has their plug-in folders.
set -euo pipefail
cd "$(dirname "$0")/.."
demo=$(realpath -m "${1:-build/demo}")
rm -rf "$demo"
apps="$demo/Applications"
support="$demo/home/.local/share"

plist() { # path name version
  mkdir -p "$(dirname "$1")"
  cat >"$1" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>CFBundleIdentifier</key>
	<string>com.adobe.Acrobat.Pro</string>
	<key>CFBundleName</key>
	<string>$2</string>
	<key>CFBundleShortVersionString</key>
	<string>$3</string>
	<key>CFBundleExecutable</key>
	<string>AdobeAcrobat</string>
	<key>CFBundleIconFile</key>
	<string>AppIcon.png</string>
	<key>CFBundleDocumentTypes</key>
	<array>
		<dict>
			<key>CFBundleTypeRole</key>
			<string>Editor</string>
			<key>CFBundleTypeExtensions</key>
			<array><string>pdf</string></array>
			<key>LSItemContentTypes</key>
			<array><string>com.adobe.pdf</string></array>
		</dict>
	</array>
</dict>
</plist>
PLIST
}

acrobat() { # folder name version
  local bundle="$apps/$1/Acrobat.app"
  plist "$bundle/Contents/Info.plist" "$2" "$3"
  mkdir -p "$bundle/Contents/MacOS" "$bundle/Contents/Resources"
  printf '#!/bin/sh\nexec sleep 3600\n' >"$bundle/Contents/MacOS/AdobeAcrobat"
  chmod +x "$bundle/Contents/MacOS/AdobeAcrobat"
  cp resources/Acrobat.png "$bundle/Contents/Resources/AppIcon.png"
}

acrobat "Acrobat 11" "Adobe Acrobat Pro" "11.0.23"
acrobat "Adobe Acrobat DC" "Adobe Acrobat Pro DC" "15.006.30060"
acrobat "Acrobat 2017" "Adobe Acrobat Pro 2017" "17.012.20098"

mkdir -p "$apps/Acrobat 11/Acrobat.app/Contents/Plug-ins"
cp -R resources/Foldwise.acroplugin "$apps/Acrobat 11/Acrobat.app/Contents/Plug-ins/"
mkdir -p "$support/Adobe/Acrobat/DC/Plug-Ins" "$support/Adobe/Acrobat/2017/Plug-Ins"
echo "$demo"
