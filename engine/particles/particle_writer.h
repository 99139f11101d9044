#pragma once
#include <iosfwd>
#include <string>

#include "engine/particles/particle_loader.h"

class ByteBuffer;

// The writer of particle files: the mirror image of the reader, walking the same field lists.
namespace ParticleLoader {

// Declares the template's fields from its live objects and writes them, nested records in
// place; the field list and what declaring built are released again whatever happens. False
// when the stream was failed already or fails while writing.
bool write_template(FileTemplate& t, std::ostream& out);
bool write_template(FileTemplate& t, ByteBuffer& out);

// Writes the template to absolute_path(path) (truncated or created) and logs the result
// under the path as given.
[[nodiscard]] bool save_file(FileTemplate& t, std::string path);

}  // namespace ParticleLoader
