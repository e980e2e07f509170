#!/usr/bin/env bash
# The client list and form, the report preview and the print set-up on the demo client in the Qt
# front end, under Xvfb with the openbox window manager; the screenshots stay in the build tree.
# Usage: gui_check.sh PROGRAM OUTPUT_FOLDER
exec "$(dirname "$(realpath "$0")")/../../support/openbox_gui_check.sh" desktop "$1" "$2" \
  ListMandant EditMandant ReportPreview PageGridPicker ThumbnailWindow ReportPreview100 ReportPreviewPageWidth \
  ReportPreviewSmall \
  PrintSetupWindow OdbcAdminBox
