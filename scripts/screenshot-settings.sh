#!/usr/bin/env bash
# Remakes docs/screenshot-high-contrast.png and docs/screenshot-large-font.png: the installer's
# window over the demo set under a high-contrast palette, and under a desktop font twice the usual
# size. The desktop's settings are made as a user makes them, with qt6ct (installed here if it is
# missing; the build and the tests do not need it), in a configuration folder of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run
if ! dpkg-query -W -f='${Status}' qt6ct 2>/dev/null | grep -q 'install ok installed'; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qt6ct
fi
app="$PWD/build-app/InstallationUtility.app/Contents/MacOS/InstallationUtility"
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT

# White on black, the highlight cyan. qt6ct lists the colours in QPalette's role order: WindowText,
# Button, Light, Midlight, Dark, Mid, Text, BrightText, ButtonText, Base, Window, Shadow, Highlight,
# HighlightedText, Link, LinkVisited, AlternateBase, NoRole, ToolTipBase, ToolTipText,
# PlaceholderText.
high_contrast="#ffffffff, #ff000000, #ffffffff, #ffc0c0c0, #ff808080, #ff404040, #ffffffff, #ffffffff, \
#ffffffff, #ff000000, #ff000000, #ff000000, #ff1aebff, #ff000000, #ffffff00, #ffff80ff, #ff1a1a1a, \
#ff000000, #ff000000, #ffffffff, #ffc0c0c0"

settings() { # palette(default|high-contrast) font-points
  mkdir -p "$config/qt6ct/colors"
  {
    echo "[Appearance]"
    echo "style=Fusion"
    if [ "$1" = high-contrast ]; then
      printf '[ColorScheme]\nactive_colors=%s\ninactive_colors=%s\ndisabled_colors=%s\n' \
        "$high_contrast" "$high_contrast" "$high_contrast" >"$config/qt6ct/colors/high-contrast.conf"
      echo "custom_palette=true"
      echo "color_scheme_path=$config/qt6ct/colors/high-contrast.conf"
    else
      echo "custom_palette=false"
    fi
    echo "[Fonts]"
    echo "general=\"DejaVu Sans,$2,-1,5,400,0,0,0,0,0,0,0,0,0,0,1\""
    echo "fixed=\"DejaVu Sans Mono,$2,-1,5,400,0,0,0,0,0,0,0,0,0,0,1\""
  } >"$config/qt6ct/qt6ct.conf"
}

shoot() { # output.png
  demo=$(scripts/make-demo.sh /opt/foldwise-demo)
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORMTHEME=qt6ct XDG_CONFIG_HOME="$config" \
    FOLDWISE_APPLICATION_DIRS="$demo/Applications" XDG_DATA_HOME="$demo/home/.local/share" \
    scripts/with-xvfb.sh scripts/screenshot-app.sh "$app" "$1"
  echo "$1"
}

# The usual font on Linux is 9 points.
settings high-contrast 9
shoot docs/screenshot-high-contrast.png
settings default 18
shoot docs/screenshot-large-font.png
