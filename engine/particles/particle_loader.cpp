#include "engine/particles/particle_loader.h"

#include <fstream>
#include <iterator>
#include <limits>

#include "engine/core/byte_buffer.h"
#include "engine/core/files.h"
#include "engine/core/ini.h"
#include "engine/core/logger.h"
#include "engine/gfx/texture_manager.h"
#include "platform/paths.h"

namespace ParticleLoader {

namespace {

int32_t part_size(ValueFormat format) { return format == ValueFormat::Bool ? 1 : 4; }

void free_templates(std::vector<FileTemplate*>& list) {
    for (FileTemplate* t : list) delete t;
    list.clear();
}

// The fewest bytes a record of the template can take, so that a count can be checked against
// the bytes left before anything is allocated for it.
int64_t minimum_record_size(FileTemplate& prototype) {
    prototype.declare_fields();
    int64_t size = 0;
    for (const FieldDescriptor& f : prototype.fields) {
        switch (f.kind) {
        case FieldKind::FixedValue: size += f.element_size; break;
        case FieldKind::ValueArray:
        case FieldKind::String:
        case FieldKind::StringArray:
        case FieldKind::TemplateArray: size += 4; break;
        default: break;
        }
    }
    release_field_list(prototype);
    prototype.release_data();
    return size;
}

class FieldReader {
public:
    FieldReader(FileTemplate& t, ByteBuffer& in) : t_(t), in_(in) {}

    bool read(FieldDescriptor& f) {
        switch (f.kind) {
        case FieldKind::FixedValue: return read_fixed(f);
        case FieldKind::ValueArray: return read_value_array(f);
        case FieldKind::String: return read_string(f);
        case FieldKind::StringArray: return read_string_array(f);
        case FieldKind::NestedTemplate: return read_template(*static_cast<FileTemplate*>(f.data), in_);
        case FieldKind::TemplateArray: return read_template_array(f);
        }
        return true;  // kinds this reader does not know take no bytes
    }

private:
    bool refuse(const std::string& why) {
        in_.fail();
        log_message(LogLevel::Warning, why, log_class_name_of(t_));
        return false;
    }
    bool ended() { return refuse("The data ends inside a field."); }

    bool read_fixed(FieldDescriptor& f) {
        for (const FixedPart& part : f.parts) {
            bool got = false;
            switch (part.format) {
            case ValueFormat::Int32: got = in_.read_i32_le(*static_cast<int32_t*>(part.data)); break;
            case ValueFormat::Float32: got = in_.read_f32_le(*static_cast<float*>(part.data)); break;
            case ValueFormat::Bool: got = in_.read_bool(*static_cast<bool*>(part.data)); break;
            }
            if (!got) return ended();
        }
        return true;
    }

    // A count in front of `min_size`-byte records: not negative, not more than the bytes left
    // could hold, and equal to its separate count field when there is one.
    bool read_count(FieldDescriptor& f, int64_t min_size, int32_t& n) {
        if (!in_.read_i32_le(n)) return ended();
        if (n < 0) return refuse("Count " + std::to_string(n) + " is negative.");
        if (f.paired_count && *f.paired_count != n) {
            return refuse("Count " + std::to_string(n) + " differs from the count " + std::to_string(*f.paired_count) +
                          " before it.");
        }
        if (min_size > 0 && int64_t(n) > int64_t(in_.remaining()) / min_size) {
            return refuse("Count " + std::to_string(n) + " needs more than the " + std::to_string(in_.remaining()) +
                          " bytes left.");
        }
        f.count = n;
        return true;
    }

    // n bytes, the value ending at the first NUL among them (or after all n).
    bool read_text(std::string& out, const char* what) {
        int32_t n;
        if (!in_.read_i32_le(n)) return ended();
        out.clear();
        if (n < 0) return refuse(std::string(what) + " length " + std::to_string(n) + " is negative.");
        if (uint64_t(n) > in_.remaining()) {
            return refuse(std::string(what) + " length " + std::to_string(n) + " is beyond the " +
                          std::to_string(in_.remaining()) + " bytes left.");
        }
        const char* bytes = reinterpret_cast<const char*>(in_.read_pointer());
        std::size_t length = 0;
        while (length < std::size_t(n) && bytes[length] != '\0') ++length;
        out.assign(bytes, length);
        in_.skip(std::size_t(n));
        return true;
    }

    bool read_value_array(FieldDescriptor& f) {
        auto* bytes = static_cast<std::vector<uint8_t>*>(f.data);
        bytes->clear();
        int32_t n;
        if (!read_count(f, f.element_size, n)) return false;
        return in_.read_bytes(*bytes, std::size_t(n) * std::size_t(f.element_size)) || ended();
    }

    bool read_string(FieldDescriptor& f) {
        auto* text = static_cast<std::string*>(f.data);
        return read_text(*text, "String");
    }

    bool read_string_array(FieldDescriptor& f) {
        auto* texts = static_cast<std::vector<std::string>*>(f.data);
        texts->clear();
        int32_t n;
        if (!read_count(f, 4, n)) return false;
        for (int32_t i = 0; i < n; ++i) {
            std::string text;
            if (!read_text(text, "String")) return false;
            texts->push_back(std::move(text));
        }
        return true;
    }

    bool read_template_array(FieldDescriptor& f) {
        auto* elements = static_cast<std::vector<FileTemplate*>*>(f.data);
        int32_t n;
        const int64_t min_size = f.prototype ? minimum_record_size(*f.prototype) : 1;
        if (!read_count(f, std::max<int64_t>(min_size, 1), n)) return false;
        free_templates(*elements);
        if (n > 0 && !f.prototype) return refuse("No template to read the records with.");
        for (int32_t i = 0; i < n; ++i) {
            elements->push_back(f.prototype->create());
            if (!read_template(*elements->back(), in_)) return false;
        }
        return true;
    }

    FileTemplate& t_;
    ByteBuffer& in_;
};

}  // namespace

// --- descriptors -------------------------------------------------------------------------------

FixedPart int32_value(int32_t* v) { return {ValueFormat::Int32, v}; }
FixedPart float_value(float* v) { return {ValueFormat::Float32, v}; }
FixedPart bool_value(bool* v) { return {ValueFormat::Bool, v}; }

FieldDescriptor FieldDescriptor::fixed(std::vector<FixedPart> parts) {
    FieldDescriptor f;
    f.kind = FieldKind::FixedValue;
    for (const FixedPart& p : parts) f.element_size += part_size(p.format);
    f.count = 1;
    f.data = parts.empty() ? nullptr : parts.front().data;
    f.parts = std::move(parts);
    return f;
}

FieldDescriptor FieldDescriptor::value_array(std::vector<uint8_t>* bytes, int32_t element_size) {
    FieldDescriptor f;
    f.kind = FieldKind::ValueArray;
    f.element_size = element_size;
    f.count = element_size > 0 ? int32_t(bytes->size() / std::size_t(element_size)) : 0;
    f.data = bytes;
    return f;
}

FieldDescriptor FieldDescriptor::string(std::string* text) {
    FieldDescriptor f;
    f.kind = FieldKind::String;
    f.element_size = 1;
    f.count = text->size() < std::size_t(std::numeric_limits<int32_t>::max()) ? int32_t(text->size()) + 1
                                                                              : std::numeric_limits<int32_t>::max();
    f.data = text;
    return f;
}

FieldDescriptor FieldDescriptor::string_array(std::vector<std::string>* texts, const int32_t* paired) {
    FieldDescriptor f;
    f.kind = FieldKind::StringArray;
    f.element_size = 24;
    f.count = int32_t(texts->size());
    f.data = texts;
    f.paired_count = paired;
    return f;
}

FieldDescriptor FieldDescriptor::nested(FileTemplate* nested) {
    FieldDescriptor f;
    f.kind = FieldKind::NestedTemplate;
    f.data = nested;
    return f;
}

FieldDescriptor FieldDescriptor::template_array(std::vector<FileTemplate*>* elements, FileTemplate* prototype,
                                                const int32_t* paired) {
    FieldDescriptor f;
    f.kind = FieldKind::TemplateArray;
    f.element_size = 4;
    f.count = int32_t(elements->size());
    f.data = elements;
    f.prototype = prototype;
    f.paired_count = paired;
    return f;
}

FileTemplate::~FileTemplate() { release_field_list(*this); }

void release_field_list(FileTemplate& t) {
    for (FieldDescriptor& f : t.fields) {
        delete f.prototype;
        f.prototype = nullptr;
    }
    t.fields.clear();
}

// --- reading -----------------------------------------------------------------------------------

bool read_template(FileTemplate& t, ByteBuffer& in) {
    release_field_list(t);
    t.declare_fields();
    bool ok = in.ok();
    FieldReader reader(t, in);
    for (FieldDescriptor& f : t.fields) {
        if (!ok || !in.ok()) {
            ok = false;
            break;
        }
        ok = reader.read(f);
    }
    ok = ok && in.ok();
    release_field_list(t);
    t.read_state = ok ? FileTemplate::ReadState::Succeeded : FileTemplate::ReadState::Failed;
    t.apply_read_data();
    return ok;
}

bool read_template(FileTemplate& t, std::istream& in) {
    ByteBuffer buffer;
    std::streampos start = -1;
    if (in.good()) {
        start = in.tellg();
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        buffer = ByteBuffer(std::move(bytes));
    } else {
        buffer.fail();
    }
    const bool ok = read_template(t, buffer);
    // Leave the stream just behind what was read, as a field-by-field read would.
    if (start != std::streampos(-1)) {
        in.clear();
        in.seekg(start + std::streamoff(buffer.read_position()));
    }
    if (!ok) in.setstate(std::ios::failbit);
    return ok;
}

bool load_from_file(FileTemplate& t, std::string path) {
    std::ifstream file(platform::native_path(absolute_path(path)), std::ios::in | std::ios::binary);
    const bool ok = read_template(t, file);
    file.close();
    if (ok) {
        log_message(LogLevel::Status, "File " + path + " loaded successfully.", log_class_name_of(t));
    } else {
        log_message(LogLevel::Error, "Failed to load from file " + path, log_class_name_of(t));
    }
    return ok;
}

std::string working_directory() { return get_working_directory(); }

std::string absolute_path(std::string path) { return make_absolute_path(std::move(path)); }

// --- SpriteTemplate ----------------------------------------------------------------------------

FileTemplate* SpriteTemplate::create() { return new SpriteTemplate(); }

void SpriteTemplate::declare_fields() {
    fields.push_back(
        FieldDescriptor::fixed({float_value(&position[0]), float_value(&position[1]), float_value(&position[2])}));
    fields.push_back(FieldDescriptor::fixed({float_value(&alpha)}));
    fields.push_back(FieldDescriptor::fixed({float_value(&rotation)}));
    fields.push_back(FieldDescriptor::fixed({bool_value(&playing)}));
    fields.push_back(FieldDescriptor::fixed({int32_value(&first_frame)}));
    fields.push_back(FieldDescriptor::fixed({int32_value(&last_frame)}));
    fields.push_back(FieldDescriptor::fixed({float_value(&frame)}));
    fields.push_back(FieldDescriptor::fixed({float_value(&animation_speed)}));
    fields.push_back(FieldDescriptor::fixed({bool_value(&depth_test)}));
    fields.push_back(FieldDescriptor::fixed({int32_value(&border_x)}));
    fields.push_back(FieldDescriptor::fixed({int32_value(&border_y)}));
    fields.push_back(FieldDescriptor::fixed({int32_value(&tile_width)}));
    fields.push_back(FieldDescriptor::fixed({int32_value(&tile_height)}));
    fields.push_back(FieldDescriptor::fixed({float_value(&width)}));
    fields.push_back(FieldDescriptor::fixed({float_value(&height)}));
    fields.push_back(FieldDescriptor::fixed({float_value(&rotation_center.x), float_value(&rotation_center.y)}));
    fields.push_back(FieldDescriptor::fixed({float_value(&scale)}));
    fields.push_back(FieldDescriptor::string(&texture_path));
    fields.push_back(FieldDescriptor::fixed({bool_value(&visible)}));
}

void SpriteTemplate::capture(CImageSprite* sprite) {
    if (!sprite) return;
    position[0] = sprite->get_x();
    position[1] = sprite->get_y();
    position[2] = sprite->get_z();
    alpha = sprite->get_alpha();
    auto* turning = dynamic_cast<CRotateable*>(sprite);
    rotation = turning ? turning->get_rotation() : 0;
    playing = sprite->is_playing();
    first_frame = sprite->get_first_frame();
    last_frame = sprite->get_last_frame();
    frame = sprite->get_frame();
    animation_speed = sprite->get_animation_speed();
    depth_test = sprite->depth_test;
    border_x = sprite->get_border_x();
    border_y = sprite->get_border_y();
    tile_width = sprite->get_tile_width();
    tile_height = sprite->get_tile_height();
    width = sprite->get_width();
    height = sprite->get_height();
    rotation_center = turning ? turning->get_rotation_center() : fvec2d(0.5f, 0.5f);
    scale = sprite->get_scale();
    auto* image = dynamic_cast<CTexture*>(sprite->get_texture());
    texture_path = image ? image->get_name() : std::string();
    visible = sprite->is_visible();
}

void SpriteTemplate::apply(CImageSprite* sprite, CTextureManager* textures) {
    if (!sprite) return;
    if (!texture_path.empty() && textures) {
        sprite->set_texture(textures->get_texture(true, false, texture_path));
    }
    sprite->set_x(position[0]);
    sprite->set_y(position[1]);
    sprite->set_z(position[2]);
    sprite->set_alpha(alpha);
    auto* turning = dynamic_cast<CRotateable*>(sprite);
    if (turning) turning->set_rotation(rotation);
    sprite->set_tile_width(tile_width);
    sprite->set_tile_height(tile_height);
    sprite->set_first_frame(first_frame);
    sprite->set_last_frame(last_frame);
    sprite->set_frame(frame);
    sprite->set_animation_speed(animation_speed);
    sprite->set_playing(playing);
    sprite->depth_test = depth_test;
    sprite->set_border_x(border_x);
    sprite->set_border_y(border_y);
    sprite->set_width(width);
    sprite->set_height(height);
    if (turning) turning->set_rotation_center(rotation_center);
    sprite->set_scale(scale);
    sprite->set_visible(visible);
}

// --- ParticleSpriteTemplate --------------------------------------------------------------------

FileTemplate* ParticleSpriteTemplate::create() { return new ParticleSpriteTemplate(); }

void ParticleSpriteTemplate::declare_fields() {
    SpriteTemplate::declare_fields();
    fields.push_back(FieldDescriptor::fixed({float_value(&mass)}));
    fields.push_back(FieldDescriptor::fixed({bool_value(&frozen)}));
}

void ParticleSpriteTemplate::capture_particle(CParticleSprite* particle) {
    if (!particle) return;
    capture(particle);
    mass = particle->get_mass();
    frozen = particle->is_frozen();
}

void ParticleSpriteTemplate::apply_particle(CParticleSprite* particle, CTextureManager* textures) {
    if (!particle) return;
    apply(particle, textures);
    particle->set_mass(mass);
    particle->set_frozen(frozen);
}

// --- ParticleEventTemplate ---------------------------------------------------------------------

ParticleEventTemplate::ParticleEventTemplate(CTextureManager* textures) : texture_manager(textures) {}

ParticleEventTemplate::~ParticleEventTemplate() { free_templates(prototype_templates); }

FileTemplate* ParticleEventTemplate::create() { return new ParticleEventTemplate(texture_manager); }

void ParticleEventTemplate::declare_fields() {
    free_templates(prototype_templates);
    for (CParticleSprite* prototype : settings.prototypes) {
        if (!prototype) continue;
        auto* record = new ParticleSpriteTemplate();
        record->capture_particle(prototype);
        prototype_templates.push_back(record);
    }
    prototype_count = int32_t(prototype_templates.size());

    ParticleEffectSettings& s = settings;
    auto range = [](FloatRange& r) { return FieldDescriptor::fixed({float_value(&r.min), float_value(&r.max)}); };
    fields.push_back(FieldDescriptor::fixed({int32_value(&prototype_count)}));
    fields.push_back(
        FieldDescriptor::template_array(&prototype_templates, new ParticleSpriteTemplate(), &prototype_count));
    fields.push_back(range(s.alpha));
    fields.push_back(range(s.ejection_angle));
    fields.push_back(FieldDescriptor::fixed({int32_value(&s.position.x), int32_value(&s.position.y)}));
    fields.push_back(range(s.spawn_dx));
    fields.push_back(range(s.spawn_dy));
    fields.push_back(FieldDescriptor::fixed({float_value(&s.gravity.x), float_value(&s.gravity.y)}));
    fields.push_back(FieldDescriptor::fixed({float_value(&s.fade_in_time)}));
    fields.push_back(FieldDescriptor::fixed({float_value(&s.fade_out_time)}));
    fields.push_back(range(s.ejection_force));
    fields.push_back(FieldDescriptor::fixed({float_value(&s.friction)}));
    fields.push_back(FieldDescriptor::fixed({float_value(&s.gravity_to_center)}));
    fields.push_back(FieldDescriptor::fixed({int32_value(&s.gravity_center.x), int32_value(&s.gravity_center.y)}));
    fields.push_back(FieldDescriptor::fixed({float_value(&s.life_time)}));
    fields.push_back(range(s.mass_factor));
    fields.push_back(FieldDescriptor::fixed({bool_value(&s.is_static)}));
    fields.push_back(range(s.rotation_speed));
    fields.push_back(range(s.size_factor));
    fields.push_back(FieldDescriptor::fixed({float_value(&s.scale_factor)}));
}

void ParticleEventTemplate::apply_read_data() {
    if (read_state == ReadState::Succeeded) {
        for (CParticleSprite* old : settings.prototypes) delete old;
        settings.prototypes.clear();
        // The count ahead of the records was checked against them; take no more than were read.
        const std::size_t n =
            std::min<std::size_t>(std::size_t(std::max(prototype_count, 0)), prototype_templates.size());
        for (std::size_t i = 0; i < n; ++i) {
            auto* record = static_cast<ParticleSpriteTemplate*>(prototype_templates[i]);
            auto* particle = new CParticleSprite();
            settings.prototypes.push_back(particle);
            record->apply_particle(particle, texture_manager);
            particle->depth_test = true;
        }
    }
    free_templates(prototype_templates);
    prototype_count = 0;
}

void ParticleEventTemplate::release_data() {
    free_templates(prototype_templates);
    prototype_count = 0;
}

// --- ParticleFileTemplate ----------------------------------------------------------------------

ParticleFileTemplate::ParticleFileTemplate(CTextureManager* textures) : texture_manager(textures) {}

ParticleFileTemplate::~ParticleFileTemplate() { release_data(); }

FileTemplate* ParticleFileTemplate::create() { return new ParticleFileTemplate(texture_manager); }

void ParticleFileTemplate::declare_fields() {
    free_templates(event_templates);
    for (const ParticleEffectSettings& s : events) {
        auto* record = new ParticleEventTemplate(texture_manager);
        record->settings = s;  // shares the prototype sprites
        event_templates.push_back(record);
    }
    event_count = int32_t(event_templates.size());
    names = event_names;
    name_count = int32_t(names.size());

    fields.push_back(FieldDescriptor::fixed({int32_value(&event_count)}));
    fields.push_back(
        FieldDescriptor::template_array(&event_templates, new ParticleEventTemplate(texture_manager), &event_count));
    fields.push_back(FieldDescriptor::fixed({int32_value(&name_count)}));
    fields.push_back(FieldDescriptor::string_array(&names, &name_count));
}

void ParticleFileTemplate::apply_read_data() {
    if (read_state == ReadState::Succeeded) {
        events.clear();
        for (FileTemplate* t : event_templates) {
            events.push_back(static_cast<ParticleEventTemplate*>(t)->settings);
        }
        event_names = names;
    } else {
        // The document stays as it was. Records that were read completely already built
        // their prototypes; nobody will hold those. Records that were never read are the
        // ones declared from the document and share its prototypes: leave them alone.
        for (FileTemplate* t : event_templates) {
            if (t->read_state != ReadState::Succeeded) continue;
            auto* record = static_cast<ParticleEventTemplate*>(t);
            for (CParticleSprite* p : record->settings.prototypes) delete p;
            record->settings.prototypes.clear();
        }
    }
    release_data();
}

void ParticleFileTemplate::release_data() {
    free_templates(event_templates);
    names.clear();
    event_count = 0;
    name_count = 0;
}

}  // namespace ParticleLoader
