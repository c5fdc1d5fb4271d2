// The loader host's firmware image: installing the built-in one, loading a
// TI-Text file in its place and writing the held image out.
#pragma once

#include <cstdint>

#include "bsl/builtin_image.h"
#include "bsl/host_bsl.h"

namespace halv {

// Copies an image into the host and checks it against its length and sum:
// sets the construction error to -101 when they differ, -60 when the text
// cannot be allocated. The constructor installs kBuiltInImage.
void InstallBuiltInImage(HostBSL* host, const BuiltInImage& image);

// Replaces the held image with a TI-Text file: 1 loaded; -100 not a valid
// TI-Text file; -60 out of memory; the negated system error when the file
// cannot be opened or read. A failed load keeps the image held before.
int32_t BSLLoadTIFile(HostBSL* host, const char* path);

// Writes the held image in its in-memory form: five-digit addresses, words
// most significant digit first, 32 digits a line, the vectors as a segment
// at FFE0 and no end marker. 1 written; the negated system error otherwise.
int32_t BSLWriteTIFile(HostBSL* host, const char* path);

// The name, device kind and version an image takes from its file's path
// ("/any/PUMATIC-1-07.txt" gives "PUMATIC-1.07", 24 and 107).
void NameImageFromPath(HostBSL* host, const char* path);

}  // namespace halv
