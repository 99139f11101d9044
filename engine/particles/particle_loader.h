#pragma once
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "engine/particles/particle_engine.h"

class ByteBuffer;
class CTextureManager;

// Particle files (".vp") hold a list of effect descriptions with their prototype particles and
// a list of effect names. A file is the field-by-field serialisation of a tree of templates,
// each of which lays out its fields as a list of typed descriptors; one generic reader and
// one generic writer walk those lists. No header, no padding; every value little-endian, bools
// one byte. The layout is fixed by the field lists in particle_loader.cpp.
namespace ParticleLoader {

enum class FieldKind : int32_t {
    FixedValue = 0,      // element-size bytes, no count
    ValueArray = 1,      // int32 n, then n * element-size bytes
    String = 2,          // int32 n, then n bytes (characters and a NUL)
    StringArray = 3,     // int32 n, then n strings
    NestedTemplate = 4,  // the nested template's own fields
    TemplateArray = 5,   // int32 n, then n nested templates
};

// The values a fixed field is made of, each encoded on its own in file order.
enum class ValueFormat { Int32, Float32, Bool };

struct FixedPart {
    ValueFormat format;
    void* data;
};

class FileTemplate;

struct FieldDescriptor {
    FieldKind kind = FieldKind::FixedValue;
    // Bytes of one element (fixed fields: of the whole field).
    int32_t element_size = 0;
    // String: characters + 1; arrays: elements (written, or as read).
    int32_t count = 0;
    // FixedValue: the first part; ValueArray: std::vector<uint8_t>*; String: std::string*;
    // StringArray: std::vector<std::string>*; NestedTemplate: FileTemplate*;
    // TemplateArray: std::vector<FileTemplate*>*.
    void* data = nullptr;
    // TemplateArray: makes each element when reading; owned, deleted with the field list.
    FileTemplate* prototype = nullptr;
    // FixedValue: the values of the field.
    std::vector<FixedPart> parts;
    // Arrays: the separate count field in front of them, which must agree with the count
    // that stands before the records.
    const int32_t* paired_count = nullptr;

    static FieldDescriptor fixed(std::vector<FixedPart> parts);
    static FieldDescriptor value_array(std::vector<uint8_t>* bytes, int32_t element_size);
    static FieldDescriptor string(std::string* text);
    static FieldDescriptor string_array(std::vector<std::string>* texts, const int32_t* paired);
    static FieldDescriptor nested(FileTemplate* nested);
    static FieldDescriptor template_array(std::vector<FileTemplate*>* elements, FileTemplate* prototype,
                                          const int32_t* paired);
};

FixedPart int32_value(int32_t* v);
FixedPart float_value(float* v);
FixedPart bool_value(bool* v);

class FileTemplate {
public:
    FileTemplate() = default;
    FileTemplate(const FileTemplate&) = delete;
    FileTemplate& operator=(const FileTemplate&) = delete;
    // Frees the field list.
    virtual ~FileTemplate();

    // A new empty template of the same kind.
    virtual FileTemplate* create() = 0;
    // Fills the template from the live objects and lays out the field list in file order.
    virtual void declare_fields() = 0;
    // Runs at the end of every read, failed or not: builds or updates the live objects from
    // what was read. After a failed read nothing live is replaced.
    virtual void apply_read_data() = 0;
    // Frees what declaring or reading built.
    virtual void release_data() = 0;

    enum class ReadState { NotRead, Failed, Succeeded };
    // How the last read of this template ended; set before apply_read_data runs.
    ReadState read_state = ReadState::NotRead;

    std::vector<FieldDescriptor> fields;
};

// Deletes each descriptor's prototype and empties the field list.
void release_field_list(FileTemplate& t);

// Reads the template's fields from the stream (or buffer). A count that is negative, larger
// than the bytes left could hold, or different from its separate count field, and data that
// ends early, fail the read with a log line; apply_read_data runs in every case.
bool read_template(FileTemplate& t, std::istream& in);
bool read_template(FileTemplate& t, ByteBuffer& in);

// Opens absolute_path(path) and reads the template; logs the result.
bool load_from_file(FileTemplate& t, std::string path);

// The current directory with one separator appended.
std::string working_directory();
// Paths with a drive letter or a root are kept; others are put under working_directory().
std::string absolute_path(std::string path);

// One image sprite's state (which must also be a CRotateable to keep its rotation).
class SpriteTemplate : public FileTemplate {
public:
    ~SpriteTemplate() override = default;
    FileTemplate* create() override;
    void declare_fields() override;
    void apply_read_data() override {}
    void release_data() override {}

    virtual void capture(CImageSprite* sprite);
    // The texture first (an empty path sets none; others come read-only from the manager),
    // then the tile sizes before the frames, since those setters clamp against them.
    virtual void apply(CImageSprite* sprite, CTextureManager* textures);

    float position[3] = {0, 0, 0};
    float alpha = 255.0f;
    float rotation = 0;
    bool playing = false;
    int32_t first_frame = 0;
    int32_t last_frame = 0;
    float frame = 0;
    float animation_speed = 0;
    bool depth_test = true;
    int32_t border_x = 0;
    int32_t border_y = 0;
    int32_t tile_width = 0;
    int32_t tile_height = 0;
    float width = 1.0f;
    float height = 1.0f;
    fvec2d rotation_center{0.5f, 0.5f};
    float scale = 1.0f;
    std::string texture_path;
    bool visible = true;
};

// One prototype particle: the sprite's state, its mass and whether it is frozen.
class ParticleSpriteTemplate : public SpriteTemplate {
public:
    FileTemplate* create() override;
    void declare_fields() override;

    virtual void capture_particle(CParticleSprite* particle);
    virtual void apply_particle(CParticleSprite* particle, CTextureManager* textures);

    float mass = 1.0f;
    bool frozen = false;
};

// One effect description with its prototypes.
class ParticleEventTemplate : public FileTemplate {
public:
    explicit ParticleEventTemplate(CTextureManager* textures);
    ~ParticleEventTemplate() override;
    FileTemplate* create() override;
    void declare_fields() override;
    // After a good read: the settings' old prototypes are deleted and one new particle per
    // record takes their place, its depth test on whatever the record held.
    void apply_read_data() override;
    void release_data() override;

    ParticleEffectSettings settings;
    int32_t prototype_count = 0;
    std::vector<FileTemplate*> prototype_templates;
    CTextureManager* texture_manager;  // not owned
};

// The whole file. `events` and `event_names` are the document: a write shows them as they
// stand; a good read replaces both, a failed one leaves both as they were. The prototypes in
// the settings belong to whoever holds the records: a read does not delete the ones it
// replaces, nor does the destructor.
class ParticleFileTemplate : public FileTemplate {
public:
    explicit ParticleFileTemplate(CTextureManager* textures);
    ~ParticleFileTemplate() override;
    FileTemplate* create() override;
    void declare_fields() override;
    void apply_read_data() override;
    void release_data() override;

    std::vector<ParticleEffectSettings> events;
    std::vector<std::string> event_names;

    int32_t event_count = 0;
    std::vector<FileTemplate*> event_templates;
    int32_t name_count = 0;
    std::vector<std::string> names;
    CTextureManager* texture_manager;  // not owned
};

}  // namespace ParticleLoader
