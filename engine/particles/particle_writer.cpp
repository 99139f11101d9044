#include "engine/particles/particle_writer.h"

#include <cstdint>
#include <ostream>
#include <limits>

#include "engine/core/byte_buffer.h"
#include "engine/core/logger.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace ParticleLoader {

namespace {

constexpr std::size_t kLargestCount = std::size_t(std::numeric_limits<int32_t>::max());

// A string as length + 1, the characters and a NUL; false when the length cannot be said in
// 32 bits.
bool write_text(ByteBuffer& out, const std::string& text) {
    if (text.size() >= kLargestCount) return false;
    out.write_i32_le(int32_t(text.size()) + 1);
    out.append(text.data(), text.size());
    out.write_u8(0);
    return true;
}

bool write_field(FieldDescriptor& f, ByteBuffer& out) {
    switch (f.kind) {
    case FieldKind::FixedValue:
        for (const FixedPart& part : f.parts) {
            switch (part.format) {
            case ValueFormat::Int32: out.write_i32_le(*static_cast<const int32_t*>(part.data)); break;
            case ValueFormat::Float32: out.write_f32_le(*static_cast<const float*>(part.data)); break;
            case ValueFormat::Bool: out.write_bool(*static_cast<const bool*>(part.data)); break;
            }
        }
        return true;
    case FieldKind::ValueArray: {
        const auto* bytes = static_cast<const std::vector<uint8_t>*>(f.data);
        const std::size_t size = f.element_size > 0 ? std::size_t(f.element_size) : 0;
        const std::size_t n = size ? bytes->size() / size : 0;
        if (n > kLargestCount) return false;
        out.write_i32_le(int32_t(n));
        out.append(bytes->data(), n * size);
        return true;
    }
    case FieldKind::String: return write_text(out, *static_cast<const std::string*>(f.data));
    case FieldKind::StringArray: {
        const auto* texts = static_cast<const std::vector<std::string>*>(f.data);
        if (texts->size() > kLargestCount) return false;
        out.write_i32_le(int32_t(texts->size()));
        for (const std::string& text : *texts) {
            if (!write_text(out, text)) return false;
        }
        return true;
    }
    case FieldKind::NestedTemplate: return write_template(*static_cast<FileTemplate*>(f.data), out);
    case FieldKind::TemplateArray: {
        auto* elements = static_cast<std::vector<FileTemplate*>*>(f.data);
        if (elements->size() > kLargestCount) return false;
        out.write_i32_le(int32_t(elements->size()));
        for (FileTemplate* element : *elements) {
            if (!write_template(*element, out)) return false;
        }
        return true;
    }
    }
    return true;  // kinds this writer does not know write nothing, as the reader reads nothing
}

}  // namespace

bool write_template(FileTemplate& t, ByteBuffer& out) {
    release_field_list(t);
    t.declare_fields();
    bool ok = true;
    for (FieldDescriptor& f : t.fields) {
        if (!write_field(f, out)) {
            ok = false;
            break;
        }
    }
    release_field_list(t);
    t.release_data();
    return ok;
}

bool write_template(FileTemplate& t, std::ostream& out) {
    if (!out.good()) {
        // Nothing is written, but the template goes through the same steps.
        release_field_list(t);
        t.declare_fields();
        release_field_list(t);
        t.release_data();
        return false;
    }
    ByteBuffer bytes;
    bool ok = write_template(t, bytes);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return ok && out.good();
}

bool save_file(FileTemplate& t, std::string path) {
    // The whole document is encoded first: a document that cannot be written leaves the old
    // file as it was, and the file is replaced in one step.
    ByteBuffer bytes;
    bool ok = write_template(t, bytes) &&
              platform::write_file_whole(platform::native_path(absolute_path(path)),
                                         std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (ok) {
        log_message(LogLevel::Status, "File " + path + " written successfully.", log_class_name_of(t));
    } else {
        log_message(LogLevel::Error, "Failed to write to file " + path, log_class_name_of(t));
    }
    return ok;
}

}  // namespace ParticleLoader
