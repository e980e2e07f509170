// The cube export file ".GNF": one cube header ("K"), its fields ("D") and the SQL script
// "IMPEX" ("V") as records of a local table file, written for the cube in the thread's
// VOQCubeKopf buffer and read back into the client database as a new cube.
#pragma once

#include <string>

#include "runtime/data/record.h"

namespace cubeexport {

// Writes "<working folder>/AUSWERT/<cube name>.GNF" for the cube in the CUBK buffer, replacing
// an earlier file. Texts the file cannot hold whole are named in a warning before they are cut;
// a file that cannot be written is removed and the failure shown. Returns 0.
rt::Byte ExportCube();

// Asks for a ".GNF" file (the dialog starts in AUSWERT) and reads it in. Returns 0.
rt::Byte ImportCube();

// Reads the file named `path` in as a new cube (and script): the import without the dialog.
// False when nothing or not everything could be read in (the user has been told why).
bool ImportCubeFile(const std::string& path);

// The file an export of a cube of this name writes.
std::string ExportFileName(std::string_view cubeName);

}  // namespace cubeexport
