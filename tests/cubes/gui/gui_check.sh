#!/usr/bin/env bash
# The cube catalogue's windows on the demo client in the Qt front end, under Xvfb with the
# openbox window manager; the screenshots stay in the build tree.
# Usage: gui_check.sh PROGRAM OUTPUT_FOLDER
exec "$(dirname "$(realpath "$0")")/../../support/openbox_gui_check.sh" "cube catalogue" "$1" "$2" \
  BrowseWerte BrowseCubeGruppe CubeTreeAnzeige BrowseCubeKopf UpdateCubeKopf Fieldliste
