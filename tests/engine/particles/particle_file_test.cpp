// The particle file format: golden bytes of the writer, the reader's handling of good and bad
// files, and the effect file the asset generator ships. Runs without a GL context.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <tuple>

#include "engine/core/byte_buffer.h"
#include "engine/gfx/texture_manager.h"
#include "engine/particles/particle_loader.h"
#include "engine/particles/particle_writer.h"
#include "platform/paths.h"
#include "support/media_test_support.h"
#include "support/test_support.h"

using namespace ParticleLoader;

namespace {

// Little-endian bytes built by hand from the file layout.
class Golden {
public:
    Golden& i32(int32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(char(uint32_t(v) >> (8 * i)));
        return *this;
    }
    Golden& f32(float v) { return i32(std::bit_cast<int32_t>(v)); }
    Golden& range(float min, float max) { return f32(min).f32(max); }
    Golden& counts(int32_t n, int32_t copy) { return i32(n).i32(copy); }
    // An event without prototypes holding the defaults.
    Golden& bare_event() { return counts(0, 0).default_event_tail(); }
    Golden& u8(uint8_t v) { return raw(std::string(1, char(v))); }
    Golden& text(const std::string& s) { return i32(int32_t(s.size()) + 1).raw(s).u8(0); }
    Golden& raw(const std::string& s) { return bytes_ += s, *this; }
    // The 113 bytes after the prototypes of a record holding the settings' defaults.
    Golden& default_event_tail() {
        range(255, 255).range(0, 0).i32(0).i32(0);  // alpha, ejection angle, position
        range(0, 0).range(0, 0).f32(0).f32(0);      // spawn dx, spawn dy, gravity
        f32(0).f32(0).range(0, 0).f32(0);           // fade in, fade out, ejection force, friction
        f32(0).i32(0).i32(0).f32(1);                // gravity to centre, gravity centre, life time
        range(1, 1).u8(0).range(0, 0);              // mass factor, static, rotation speed
        return range(1, 1).f32(0);                  // size factor, scale factor
    }
    // A default particle's record, with the given texture path.
    Golden& default_prototype(const std::string& path) {
        f32(0).f32(0).f32(0).f32(255).f32(0);  // x, y, z, alpha, rotation
        u8(0).i32(0).i32(0).f32(0).f32(0);     // playing, first and last frame, frame, speed
        u8(1).i32(0).i32(0).i32(0).i32(0);     // depth test, borders, tile size
        f32(1).f32(1).f32(0.5f).f32(0.5f);     // width, height, rotation centre
        f32(1).text(path);                     // scale, texture path
        return u8(1).f32(1).u8(0);             // visible, mass, frozen
    }
    const std::string& str() const { return bytes_; }

private:
    std::string bytes_;
};

std::string write_bytes(FileTemplate& t) {
    std::ostringstream out(std::ios::binary);
    EXPECT_TRUE(write_template(t, out));
    return out.str();
}

bool read_bytes(FileTemplate& t, const std::string& bytes) {
    std::istringstream in(bytes, std::ios::binary);
    return read_template(t, in);
}

void delete_prototypes(ParticleFileTemplate& doc) {
    for (ParticleEffectSettings& s : doc.events) {
        for (CParticleSprite* p : s.prototypes) delete p;
        s.prototypes.clear();
    }
}

// The template leaves its prototypes to its holder; this holder deletes them.
struct OwnedDoc : ParticleFileTemplate {
    using ParticleFileTemplate::ParticleFileTemplate;
    ~OwnedDoc() override { delete_prototypes(*this); }
};

// The bytes of a document of one event with one default prototype.
std::string one_prototype_bytes() {
    OwnedDoc doc(nullptr);
    doc.events.resize(1);
    doc.events[0].prototypes.push_back(new CParticleSprite());
    return write_bytes(doc);
}

// A document that uses every field with values other than the defaults.
void fill_rich_document(ParticleFileTemplate& doc, CTextureManager& textures) {
    ParticleEffectSettings fire({3, -4}, {-1.5f, 2}, {0, 7}, {0.5f, 2}, 1.25f, {10, 350}, {100, 200}, {30, 90},
                                {-45, 45}, {0.75f, 1.5f}, {0.5f, 98}, {-12, 640}, 3.5f, 11, 0.8f, 0.1f, 0.3f, nullptr,
                                true);
    auto* spark = new CParticleSprite();
    spark->set_texture(textures.get_texture(true, false, "gfx\\test\\quadrants.png"));
    spark->set_tile_width(16);
    spark->set_tile_height(16);
    spark->set_last_frame(5);
    spark->set_first_frame(2);
    spark->set_frame(3.5f);
    spark->set_animation_speed(4);
    spark->set_playing(true);
    spark->set_position(1.5f, -2);
    spark->set_z(0.25f);
    spark->set_alpha(200);
    spark->set_rotation(37.5f);
    spark->set_border_x(3);
    spark->set_border_y(4);
    spark->set_size(12, 6);
    spark->set_rotation_center({0.2f, 0.8f});
    spark->set_scale(1.5f);
    spark->set_visible(false);
    spark->set_mass(2.5f);
    spark->set_frozen(true);
    fire.prototypes.push_back(spark);
    fire.prototypes.push_back(new CParticleSprite());  // no texture
    doc.events.push_back(fire);
    doc.events.push_back(ParticleEffectSettings());
    doc.event_names = {"fire", "empty"};
}

// A document with something in it, to check that refused files leave it alone.
struct Held {
    ParticleFileTemplate doc{nullptr};  // its own class: the log names it
    CParticleSprite* prototype = new CParticleSprite();
    Held() {
        prototype->set_mass(9);
        ParticleEffectSettings s;
        s.life_time = 4;
        s.prototypes.push_back(prototype);
        doc.events.push_back(s);
        doc.event_names = {"old"};
    }
    ~Held() { delete_prototypes(doc); }
    void expect_unchanged(const std::string& context) const {
        ASSERT_EQ(doc.events.size(), 1u) << context;
        EXPECT_EQ(doc.events[0].life_time, 4) << context;
        ASSERT_EQ(doc.events[0].prototypes.size(), 1u) << context;
        EXPECT_EQ(doc.events[0].prototypes[0], prototype) << context;
        EXPECT_EQ(prototype->get_mass(), 9) << context;
        EXPECT_EQ(doc.event_names, std::vector<std::string>{"old"}) << context;
    }
};

// Reading `bytes` over a held document fails and leaves it as it was.
void expect_read_refused(const std::string& bytes, const std::string& context) {
    Held held;
    EXPECT_FALSE(read_bytes(held.doc, bytes)) << context;
    held.expect_unchanged(context);
}

std::string rich_file_bytes() {
    test_support::LogCapture quiet;
    CTextureManager textures;
    OwnedDoc doc(&textures);
    fill_rich_document(doc, textures);
    return write_bytes(doc);
}

class Inner : public FileTemplate {
public:
    FileTemplate* create() override { return new Inner(); }
    void declare_fields() override { fields.push_back(FieldDescriptor::fixed({int32_value(&value)})); }
    void apply_read_data() override {}
    void release_data() override {}
    int32_t value = 0;
};

class Outer : public FileTemplate {
public:
    FileTemplate* create() override { return new Outer(); }
    void declare_fields() override {
        fields.push_back(FieldDescriptor::value_array(&shorts, 2));
        fields.push_back(FieldDescriptor::nested(&inner));
        FieldDescriptor unknown;
        unknown.kind = FieldKind(9);  // a kind the scheme does not know takes no bytes
        fields.push_back(unknown);
        fields.push_back(FieldDescriptor::string(&label));
    }
    void apply_read_data() override {}
    void release_data() override {}
    std::vector<uint8_t> shorts;
    Inner inner;
    std::string label;
};

}  // namespace

TEST(ParticleFile, EmptyDocumentIsSixteenZeroBytes) {
    ParticleFileTemplate doc(nullptr);
    EXPECT_EQ(write_bytes(doc), std::string(16, '\0'));
    doc.event_names = {"stale"};
    EXPECT_TRUE(read_bytes(doc, std::string(16, '\0')));
    EXPECT_TRUE(doc.events.empty());
    EXPECT_TRUE(doc.event_names.empty());
}

TEST(ParticleFile, PrototypeRecordsAndTheirPaths) {
    test_support::LogCapture log;
    CTextureManager textures;
    OwnedDoc doc(&textures);
    ParticleEffectSettings settings;
    settings.prototypes.push_back(new CParticleSprite());
    auto* named = new CParticleSprite();
    named->set_texture(textures.get_texture(true, false, "abc"));  // a name without an image
    settings.prototypes.push_back(named);
    doc.events.push_back(settings);
    doc.event_names = {""};
    Golden expected;
    expected.i32(1).i32(1).i32(2).i32(2).default_prototype("").default_prototype("abc");
    expected.default_event_tail().i32(1).i32(1).text("");
    std::string bytes = write_bytes(doc);
    EXPECT_EQ(bytes, expected.str());
    // The path fields as the format shows them.
    EXPECT_NE(bytes.find(std::string("\x01\0\0\0\0\x01", 6)), std::string::npos);
    EXPECT_NE(bytes.find(std::string("\x04\0\0\0abc\0", 8)), std::string::npos);
    EXPECT_EQ(bytes.size(), 16 + 85 + 85 + 3 + 113 + 8 + 5u);
}

TEST(ParticleFile, NameAndEventCountsAreIndependent) {
    ParticleFileTemplate doc(nullptr);
    doc.events.resize(2);
    doc.event_names = {"one"};
    EXPECT_EQ(write_bytes(doc), Golden().counts(2, 2).bare_event().bare_event().counts(1, 1).text("one").str());
    doc.events.clear();
    doc.event_names = {"a", "bc", ""};
    Golden longer = Golden().i32(0).i32(0).i32(3).i32(3).text("a").text("bc").text("");
    EXPECT_EQ(write_bytes(doc), longer.str());
    ASSERT_TRUE(read_bytes(doc, longer.str()));
    EXPECT_EQ(doc.event_names, (std::vector<std::string>{"a", "bc", ""}));
}

TEST(ParticleFile, WriteReadWriteGivesTheSameBytes) {
    test_support::LogCapture log;
    CTextureManager textures;
    OwnedDoc doc(&textures), copy(&textures);
    fill_rich_document(doc, textures);
    const std::string first = write_bytes(doc);
    ASSERT_TRUE(read_bytes(copy, first));
    ASSERT_EQ(copy.events.size(), 2u);
    EXPECT_EQ(copy.event_names, doc.event_names);
    const ParticleEffectSettings& s = copy.events[0];
    EXPECT_EQ(s.position, (ivec2d{3, -4}));
    EXPECT_EQ(s.gravity_center, (ivec2d{-12, 640}));
    EXPECT_EQ(s.ejection_angle.max, 350);
    EXPECT_TRUE(s.is_static);
    ASSERT_EQ(s.prototypes.size(), 2u);
    CParticleSprite* spark = s.prototypes[0];
    EXPECT_NE(spark, doc.events[0].prototypes[0]);  // new sprites, not the writer's
    EXPECT_EQ(spark->get_texture(), doc.events[0].prototypes[0]->get_texture());
    EXPECT_EQ(spark->get_tile_width(), 16);
    EXPECT_EQ(spark->get_first_frame(), 2);
    EXPECT_EQ(spark->get_last_frame(), 5);
    EXPECT_EQ(spark->get_frame(), 3.5f);
    EXPECT_TRUE(spark->is_playing());
    EXPECT_EQ(spark->get_rotation(), 37.5f);
    EXPECT_EQ(spark->get_rotation_center(), fvec2d(0.2f, 0.8f));
    EXPECT_FALSE(spark->is_visible());
    EXPECT_EQ(spark->get_mass(), 2.5f);
    EXPECT_TRUE(spark->is_frozen());
    EXPECT_EQ(s.prototypes[1]->get_texture(), nullptr);
    EXPECT_EQ(write_bytes(copy), first);
}

TEST(ParticleFile, BoolsAreBytesTestedAgainstZero) {
    test_support::LogCapture log;
    OwnedDoc doc(nullptr);
    std::string bytes = one_prototype_bytes();
    // Offsets after the counts (16 bytes): in the prototype record, then in the event's tail.
    const std::size_t depth_test = 16 + 37, playing = 16 + 20, is_static = 16 + 85 + 92;
    bytes[depth_test] = 0;
    bytes[playing] = 7;  // any non-zero byte is true
    bytes[is_static] = 2;
    ASSERT_TRUE(read_bytes(doc, bytes));
    ASSERT_EQ(doc.events[0].prototypes.size(), 1u);
    EXPECT_TRUE(doc.events[0].prototypes[0]->depth_test);  // always on after reading
    EXPECT_TRUE(doc.events[0].prototypes[0]->is_playing());
    EXPECT_TRUE(doc.events[0].is_static);
    std::string again = write_bytes(doc);
    for (std::size_t at : {playing, is_static, depth_test}) EXPECT_EQ(again[at], 1) << at;
}

TEST(ParticleFile, StringsEndAtTheirFirstNulOrTheirLength) {
    ParticleFileTemplate doc(nullptr);
    Golden g;
    g.i32(0).i32(0).i32(3).i32(3).i32(6).raw(std::string("hello\0", 6)).i32(6).raw(std::string("ab\0cd\0", 6));
    g.i32(3).raw("xyz");  // no NUL: the value is the three bytes, nothing beyond
    ASSERT_TRUE(read_bytes(doc, g.str()));
    EXPECT_EQ(doc.event_names, (std::vector<std::string>{"hello", "ab", "xyz"}));
}

TEST(ParticleFile, FileCutAtAnyByteIsRefusedAndChangesNothing) {
    const std::string full = rich_file_bytes();
    ASSERT_GT(full.size(), 300u);
    test_support::LogCapture log;
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        expect_read_refused(full.substr(0, cut), "cut at " + std::to_string(cut));
    }
    // The whole file replaces the document; the replaced prototype is its holder's to delete.
    Held whole;
    EXPECT_TRUE(read_bytes(whole.doc, full));
    EXPECT_EQ(whole.doc.event_names, (std::vector<std::string>{"fire", "empty"}));
    delete whole.prototype;
}

TEST(ParticleFile, LoadingACutOrMissingFileLogsTheFailure) {
    const std::string full = rich_file_bytes();
    test_support::ScratchDir dir;
    test_support::LogCapture log;
    for (std::size_t cut : {std::size_t(0), std::size_t(3), full.size() / 2, full.size() - 1}) {
        std::string path = dir.write("cut.vp", full.substr(0, cut));
        Held held;
        EXPECT_FALSE(load_from_file(held.doc, path));
        held.expect_unchanged("cut at " + std::to_string(cut));
        EXPECT_TRUE(
            log.contains("ERROR in class ParticleLoader::ParticleFileTemplate: Failed to load from file " + path));
    }
    std::string good = dir.write("good.vp", std::string(16, '\0'));
    ParticleFileTemplate doc(nullptr);
    EXPECT_TRUE(load_from_file(doc, good));
    EXPECT_TRUE(log.contains("File " + good + " loaded successfully."));
    Held held;
    EXPECT_FALSE(load_from_file(held.doc, "gfx\\no_such_effects.vp"));
    held.expect_unchanged("missing file");
    EXPECT_TRUE(log.contains("Failed to load from file gfx\\no_such_effects.vp"));
}

TEST(ParticleFile, CountsAndLengthsThatCannotBeTrueAreRefused) {
    test_support::LogCapture log;
    using Case = std::tuple<const char*, std::string, const char*>;  // what, bytes, what the log says
    const std::string one_prototype = one_prototype_bytes();
    const std::size_t path = 16 + 74;
    ASSERT_EQ(one_prototype[path], 1);
    auto path_length = [&](int32_t n) {
        std::string bad = one_prototype;
        std::memcpy(bad.data() + path, &n, 4);
        return bad;
    };
    const char* unlogged = nullptr;
    const std::vector<Case> cases = {
        {"huge event count", Golden().counts(0x7FFFFFFF, 0x7FFFFFFF).str(), "needs more than"},
        {"negative event count", Golden().counts(-1, -1).counts(0, 0).str(), "is negative"},
        {"event copies differ", Golden().counts(1, 2).bare_event().bare_event().counts(0, 0).str(),
         "differs from the count"},
        {"event copies differ, fewer", Golden().counts(2, 1).bare_event().counts(0, 0).str(), "differs from the count"},
        {"huge prototype count", Golden().counts(1, 1).counts(1 << 28, 1 << 28).default_event_tail().counts(0, 0).str(),
         "needs more than"},
        {"prototype copies differ", Golden().counts(1, 1).counts(3, 0).default_event_tail().counts(0, 0).str(),
         "differs from the count"},
        {"huge name count", Golden().counts(0, 0).counts(0x40000000, 0x40000000).str(), "needs more than"},
        {"name copies differ", Golden().counts(0, 0).counts(2, 1).text("x").str(), "differs from the count"},
        {"huge name length", Golden().counts(0, 0).counts(1, 1).i32(0x7FFFFFF0).raw("abc").str(), "is beyond the"},
        {"negative name length", Golden().counts(0, 0).counts(1, 1).i32(-5).str(), "is negative"},
        {"name longer than the file", Golden().counts(0, 0).counts(1, 1).i32(5).raw("abc").str(), "is beyond the"},
        {"huge path length", path_length(0x7FFFFFFF), unlogged},
        {"negative path length", path_length(-1), unlogged},
        {"path longer than the file", path_length(100000), unlogged},
    };
    for (const auto& [what, bytes, logged] : cases) {
        log.clear();
        expect_read_refused(bytes, what);
        EXPECT_TRUE(!logged || log.contains(logged)) << what << ": " << log.text();
    }
}

TEST(ParticleFile, StreamsAreReadNoFurtherThanTheDocumentAndFailedOnesNotAtAll) {
    ParticleFileTemplate doc(nullptr);
    std::istringstream in(std::string(16, '\0') + "extra", std::ios::binary);
    EXPECT_TRUE(read_template(doc, in));
    std::string rest;
    in >> rest;
    EXPECT_EQ(rest, "extra");
    Held held;
    std::istringstream failed(std::string(16, '\0'));
    failed.setstate(std::ios::failbit);
    EXPECT_FALSE(read_template(held.doc, failed));
    held.expect_unchanged("failed stream");
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    EXPECT_FALSE(write_template(held.doc, out));
    EXPECT_TRUE(out.str().empty());
    EXPECT_TRUE(held.doc.fields.empty());  // no field list is left behind
}

TEST(ParticleFile, SaveFileReportsWhatHappened) {
    test_support::ScratchDir dir;
    test_support::LogCapture log;
    Held held;
    std::string path = dir.file("effects.vp");
    EXPECT_TRUE(save_file(held.doc, path));
    EXPECT_TRUE(
        log.contains("STATUS in class ParticleLoader::ParticleFileTemplate: File " + path + " written successfully."));
    OwnedDoc back(nullptr);
    ASSERT_TRUE(load_from_file(back, path));
    EXPECT_EQ(back.event_names, std::vector<std::string>{"old"});
    EXPECT_EQ(back.events[0].prototypes[0]->get_mass(), 9);
    std::string nowhere = dir.file("no_such_folder/effects.vp");
    EXPECT_FALSE(save_file(held.doc, nowhere));
    EXPECT_TRUE(
        log.contains("ERROR in class ParticleLoader::ParticleFileTemplate: Failed to write to file " + nowhere));
    held.expect_unchanged("after saving");
}

TEST(ParticleFile, PathsAreMadeAbsoluteUnderTheCurrentFolder) {
    EXPECT_EQ(absolute_path("C:\\effects\\a.vp"), "C:\\effects\\a.vp");
    EXPECT_EQ(absolute_path("/tmp/a.vp"), "/tmp/a.vp");
    std::string here = working_directory();
    ASSERT_FALSE(here.empty());
    EXPECT_EQ(here.back(), '/');
    EXPECT_EQ(absolute_path("gfx\\particles.vp"), here + "gfx\\particles.vp");
}

TEST(ParticleFile, ValueArraysAndNestedTemplatesRoundTrip) {
    Outer out;
    out.shorts = {1, 2, 3, 4, 5, 6};
    out.inner.value = -3;
    out.label = "x";
    std::string bytes = write_bytes(out);
    EXPECT_EQ(bytes, Golden().i32(3).raw(std::string("\1\2\3\4\5\6", 6)).i32(-3).text("x").str());
    Outer in;
    ASSERT_TRUE(read_bytes(in, bytes));
    EXPECT_EQ(in.shorts, out.shorts);
    EXPECT_EQ(in.inner.value, -3);
    EXPECT_EQ(in.label, "x");
    test_support::LogCapture log;
    Outer huge;
    EXPECT_FALSE(read_bytes(huge, Golden().i32(0x7FFFFFFF).str()));
    EXPECT_TRUE(log.contains("needs more than"));
}

TEST(ParticleFile, GeneratedEffectFileLoadsWithTheGamesEffects) {
    test_support::LogCapture log;
    CTextureManager textures;
    OwnedDoc doc(&textures);
    ASSERT_TRUE(load_from_file(doc, "gfx\\particles.vp")) << log.text();
    ASSERT_GE(doc.events.size(), 8u);
    ASSERT_EQ(doc.event_names.size(), doc.events.size());
    EXPECT_EQ(doc.event_names[0], "explosion");
    EXPECT_EQ(doc.event_names[1], "hit");
    EXPECT_EQ(doc.event_names[6], "sweetroll burst");
    for (std::size_t i = 0; i < doc.events.size(); ++i) {
        const ParticleEffectSettings& s = doc.events[i];
        EXPECT_FALSE(s.prototypes.empty()) << doc.event_names[i];
        EXPECT_GT(s.life_time, 0) << doc.event_names[i];
        for (CParticleSprite* p : s.prototypes) {
            ASSERT_NE(p->get_texture(), nullptr) << doc.event_names[i];
            EXPECT_TRUE(p->get_texture()->is_valid()) << doc.event_names[i];
            EXPECT_GT(p->get_width(), 1) << doc.event_names[i];
        }
    }
    EXPECT_FALSE(log.contains("Failed to load texture"));
    // The file is canonical: written again it gives the same bytes.
    std::ifstream file(platform::native_path("gfx/particles.vp"), std::ios::binary);
    std::string on_disk((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(write_bytes(doc), on_disk);
}
