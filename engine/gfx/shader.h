#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/core/geometry.h"

class ITexture;

// One compiled GLSL shader; id 0 means it failed (or was never compiled) and is skipped when
// programs are linked. The factory deletes the GL object.
class CShader {
public:
    // `type` is the GL enum (GL_VERTEX_SHADER, GL_FRAGMENT_SHADER), passed through unchanged.
    CShader(std::string path, uint32_t type);
    void load(std::string path);
    uint32_t get_id() const { return id; }
    uint32_t get_type() const { return type; }

private:
    friend class CShaderFactory;
    uint32_t id = 0;
    uint32_t type;
};

struct ShaderUniform {
    int32_t location = -1;
    uint32_t type = 0;  // GL enum; GL_SAMPLER_2D marks a texture sampler
    int32_t size = 0;
    int32_t unit = -1;            // texture unit of a sampler, -1 for other uniforms
    ITexture* texture = nullptr;  // bound on the sampler's unit; not owned
};

// A linked program that knows its active uniforms and keeps a texture for each 2D sampler.
// Binding a program with id 0 does nothing, so drawing goes on with the fixed pipeline.
class CShaderProgram {
public:
    explicit CShaderProgram(const std::vector<CShader*>& shaders);
    CShaderProgram(const CShaderProgram&) = delete;
    CShaderProgram& operator=(const CShaderProgram&) = delete;

    // Makes the program current, remembering the one it replaces; with textures, every sampler's
    // texture is bound on its unit. Nothing happens when the program is current already.
    void bind(bool with_textures);
    // Makes the remembered program current again.
    void unbind();
    // False unless `name` is a sampler2D uniform. The texture is borrowed.
    bool set_texture(const std::string& name, ITexture* texture);
    void discover_uniforms();

    bool set_uniform(const std::string& name, float value);
    bool set_uniform(const std::string& name, bool value);
    bool set_uniform(const std::string& name, ColorRGB value);
    bool set_uniform(const std::string& name, ColorRGBA value);
    static bool set_vec3(int32_t location, ColorRGB colour);
    static bool set_vec4(int32_t location, ColorRGBA colour);

    uint32_t get_id() const { return id; }
    const std::map<std::string, ShaderUniform>& get_uniforms() const { return uniforms; }
    // The uniform record, or null when the program has no active uniform of that name.
    const ShaderUniform* find_uniform(const std::string& name) const;

private:
    void link(const std::vector<CShader*>& shaders);
    template <typename Upload>
    bool set_value(const std::string& name, Upload upload);
    void bind_sampler(const ShaderUniform& uniform);

    uint32_t id = 0;
    uint32_t previous = 0;
    std::map<std::string, ShaderUniform> uniforms;
    // The shaders of a program that the factory shares; empty for every other program.
    std::vector<CShader*> shared_from_;
    friend class CShaderFactory;
};

// Caches shaders by file (the path made absolute, then lower-cased) and keeps the programs in a
// table addressed by index, where a null entry is a free slot. Owns both.
class CShaderFactory {
public:
    CShaderFactory();
    ~CShaderFactory();
    CShaderFactory(const CShaderFactory&) = delete;
    CShaderFactory& operator=(const CShaderFactory&) = delete;

    // The cached shader for the file whatever type is asked; a failed one is returned again.
    CShader* get_shader(uint32_t type, std::string path);
    // Index of the new program (also when linking failed): the first free slot, else appended.
    int create_program(const std::vector<CShader*>& shaders);
    // Index of the one program of these shaders that every caller asking for it shares: made by
    // the first call, kept until the programs are removed.
    int shared_program(const std::vector<CShader*>& shaders);
    // The program at the index, or null when the index is out of range or the slot is free.
    CShaderProgram* get_program(int index) const;
    void remove_all_shaders();
    void remove_all_programs();

    std::size_t shader_count() const { return shaders.size(); }

    // Callers reach a program through its index here. A caller that empties a slot deletes the
    // GL program and the object itself.
    std::vector<CShaderProgram*> programs;

private:
    std::map<std::string, CShader*> shaders;
};
