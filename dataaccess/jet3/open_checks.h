// The checks every open of a Jet 3 file makes before it trusts the file, whichever side opens it
// (the reader or a database open for writing): the same refusals with the same texts.
#pragma once

#include <cstdint>
#include <string>

#include "dataaccess/jet3/file_io.h"
#include "dataaccess/jet3/header.h"

namespace vellicor::jet3 {

struct CheckedFile {
  DatabaseHeader header;
  uint32_t pageCount = 0;  // whole pages the file holds
};

// Refuses (dao::Error) a file of more than 1 GB, one too short to hold the pages its header names
// (the header, the global map and the catalog's definition), a header that is not Jet 3's, and an
// encrypted file. A password is not checked here: the database open refuses it, the reader reads
// such files, as Jet 3 stores them unencrypted.
CheckedFile checkJetFile(FileIo& file, const std::string& path);

}  // namespace vellicor::jet3
