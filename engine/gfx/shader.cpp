#include "engine/gfx/shader.h"

#include <GL/glew.h>

#include <cctype>

#include "engine/core/files.h"
#include "engine/core/logger.h"
#include "engine/gfx/texture.h"

namespace {

// The GL 2.0 entry points come from GLEW; without them (no context, GLEW failed, an old GL)
// no shader is compiled and no program linked.
bool shader_functions_available() {
    return glCreateShader && glShaderSource && glCompileShader && glGetShaderiv && glGetShaderInfoLog &&
           glDeleteShader && glCreateProgram && glAttachShader && glLinkProgram && glGetProgramiv && glDeleteProgram &&
           glUseProgram && glGetActiveUniform && glGetUniformLocation && glUniform1i && glUniform1f && glUniform3f &&
           glUniform4f && glActiveTexture;
}

GLuint current_program() {
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    return GLuint(program);
}

std::string to_lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

// CShader ----------------------------------------------------------------------------------------

CShader::CShader(std::string path, uint32_t type_) : type(type_) { load(path); }

void CShader::load(std::string path) {
    if (path.empty()) return;
    std::unique_ptr<char[]> source = read_text_file(path);
    if (!source) {
        log_message(LogLevel::Warning, "Failed to load shader from file " + path + ".", log_class_name_of(*this));
        return;
    }
    if (!shader_functions_available()) {
        log_message(LogLevel::Error, "Failed to compile shader " + path + ".", log_class_name_of(*this));
        return;
    }
    id = glCreateShader(type);
    const GLchar* text = source.get();
    glShaderSource(id, 1, &text, nullptr);
    glCompileShader(id);
    GLint compiled = GL_FALSE;
    glGetShaderiv(id, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        GLint length = 0;
        glGetShaderiv(id, GL_INFO_LOG_LENGTH, &length);
        if (length < 2) {
            log_message(LogLevel::Error, "Failed to compile shader " + path + ".", log_class_name_of(*this));
        } else {
            std::string info(std::size_t(length), '\0');
            glGetShaderInfoLog(id, length, nullptr, info.data());
            info.resize(std::string(info.c_str()).size());
            log_message(LogLevel::Error, "Failed to compile shader " + path + ", Error log:\n" + info,
                        log_class_name_of(*this));
        }
        glDeleteShader(id);
        id = 0;
    }
    if (id != 0) {
        log_message(LogLevel::Status, "Shader " + path + " loaded and compiled successfully.",
                    log_class_name_of(*this));
    }
}

// CShaderProgram ---------------------------------------------------------------------------------

CShaderProgram::CShaderProgram(const std::vector<CShader*>& shaders) { link(shaders); }

void CShaderProgram::link(const std::vector<CShader*>& shaders) {
    id = shader_functions_available() ? glCreateProgram() : 0;
    if (id == 0) {
        log_message(LogLevel::Error, "Failed to create shader program.", log_class_name_of(*this));
        return;
    }
    bool skipped = false;
    bool attached = false;
    for (CShader* shader : shaders) {
        if (!shader || shader->get_id() == 0) {
            skipped = true;
            continue;
        }
        glAttachShader(id, shader->get_id());
        attached = true;
    }
    if (!attached) {
        log_message(LogLevel::Warning, "No valid shaders specified, failed to create shader program.",
                    log_class_name_of(*this));
        glDeleteProgram(id);
        id = 0;
        return;
    }
    if (skipped) {
        log_message(LogLevel::Warning,
                    "Not all shaders specified for program creation were valid. Trying to build "
                    "the program without them...",
                    log_class_name_of(*this));
    }
    glLinkProgram(id);
    GLint linked = GL_FALSE;
    glGetProgramiv(id, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        log_message(LogLevel::Error, "Failed to link shader program.", log_class_name_of(*this));
        glDeleteProgram(id);
        id = 0;
        return;
    }
    if (skipped) {
        log_message(LogLevel::Status, "Shader program linked successfully.", log_class_name_of(*this));
    }
    discover_uniforms();
}

void CShaderProgram::bind_sampler(const ShaderUniform& uniform) {
    glActiveTexture(GL_TEXTURE0 + GLenum(uniform.unit));
    if (uniform.texture && uniform.texture->is_valid()) {
        uniform.texture->bind();
    } else {
        glBindTexture(GL_TEXTURE_2D, 0);
    }
}

void CShaderProgram::bind(bool with_textures) {
    if (id == 0) return;
    GLuint current = current_program();
    if (current == id) return;
    glUseProgram(id);
    previous = current;
    if (!with_textures) return;
    for (const auto& [name, uniform] : uniforms) {
        if (uniform.type == GL_SAMPLER_2D) bind_sampler(uniform);
    }
    glActiveTexture(GL_TEXTURE0);
}

void CShaderProgram::unbind() {
    if (id == 0) return;
    glUseProgram(previous);
    previous = 0;
}

bool CShaderProgram::set_texture(const std::string& name, ITexture* texture) {
    auto it = uniforms.find(name);
    if (it == uniforms.end() || it->second.type != GL_SAMPLER_2D) return false;
    it->second.texture = texture;
    if (id != 0 && current_program() == id) {
        bind_sampler(it->second);
        glActiveTexture(GL_TEXTURE0);
    }
    return true;
}

void CShaderProgram::discover_uniforms() {
    uniforms.clear();
    if (id == 0) return;
    GLint count = 0;
    GLint longest = 0;
    glGetProgramiv(id, GL_ACTIVE_UNIFORMS, &count);
    glGetProgramiv(id, GL_ACTIVE_UNIFORM_MAX_LENGTH, &longest);
    if (longest <= 0) return;
    bind(false);
    std::string buffer(std::size_t(longest), '\0');
    int unit = -1;
    for (GLint i = 0; i < count; ++i) {
        GLint size = 0;
        GLenum type = 0;
        buffer.assign(std::size_t(longest), '\0');
        glGetActiveUniform(id, GLuint(i), longest, nullptr, &size, &type, buffer.data());
        std::string name(buffer.c_str());
        ShaderUniform uniform;
        uniform.location = glGetUniformLocation(id, name.c_str());
        uniform.type = type;
        uniform.size = size;
        if (type == GL_SAMPLER_2D) {
            uniform.unit = ++unit;
            glActiveTexture(GL_TEXTURE0 + GLenum(unit));
            glUniform1i(uniform.location, unit);
        }
        uniforms.emplace(name, uniform);
    }
    glActiveTexture(GL_TEXTURE0);
    unbind();
}

const ShaderUniform* CShaderProgram::find_uniform(const std::string& name) const {
    auto it = uniforms.find(name);
    return it == uniforms.end() ? nullptr : &it->second;
}

template <typename Upload>
bool CShaderProgram::set_value(const std::string& name, Upload upload) {
    if (id == 0) return false;
    GLint location = -1;
    auto it = uniforms.find(name);
    if (it != uniforms.end()) {
        location = it->second.location;
    } else {
        location = glGetUniformLocation(id, name.c_str());
        if (location < 0) {
            log_message(LogLevel::Warning, "Tried to set value of non-existent variable " + name + ".",
                        log_class_name_of(*this));
            return false;
        }
    }
    if (current_program() == id) {
        upload(location);
        return true;
    }
    bind(false);
    upload(location);
    unbind();
    return true;
}

bool CShaderProgram::set_uniform(const std::string& name, float value) {
    return set_value(name, [value](GLint location) { glUniform1f(location, value); });
}

bool CShaderProgram::set_uniform(const std::string& name, bool value) {
    return set_value(name, [value](GLint location) { glUniform1i(location, value ? 1 : 0); });
}

bool CShaderProgram::set_uniform(const std::string& name, ColorRGB value) {
    return set_value(name, [value](GLint location) { set_vec3(location, value); });
}

bool CShaderProgram::set_uniform(const std::string& name, ColorRGBA value) {
    return set_value(name, [value](GLint location) { set_vec4(location, value); });
}

bool CShaderProgram::set_vec3(int32_t location, ColorRGB colour) {
    glUniform3f(location, colour.r / 255.0f, colour.g / 255.0f, colour.b / 255.0f);
    return true;
}

bool CShaderProgram::set_vec4(int32_t location, ColorRGBA colour) {
    glUniform4f(location, colour.r / 255.0f, colour.g / 255.0f, colour.b / 255.0f, colour.a / 255.0f);
    return true;
}

// CShaderFactory ---------------------------------------------------------------------------------

CShaderFactory::CShaderFactory() {
    log_message(LogLevel::Status, "Initialized Shader Factory in no time. Didn't do sh*t.", log_class_name_of(*this));
}

CShaderFactory::~CShaderFactory() {
    remove_all_programs();
    remove_all_shaders();
    log_message(LogLevel::Status, "Shader factory went bakrupt and was shut down.", log_class_name_of(*this));
}

CShader* CShaderFactory::get_shader(uint32_t type, std::string path) {
    std::string key = to_lower(make_absolute_path(path));
    auto it = shaders.find(key);
    if (it != shaders.end()) return it->second;
    CShader* shader = new CShader(key, type);
    shaders.emplace(key, shader);
    return shader;
}

int CShaderFactory::create_program(const std::vector<CShader*>& list) {
    CShaderProgram* program = new CShaderProgram(list);
    for (std::size_t i = 0; i < programs.size(); ++i) {
        if (!programs[i]) {
            programs[i] = program;
            return int(i);
        }
    }
    programs.push_back(program);
    return int(programs.size() - 1);
}

int CShaderFactory::shared_program(const std::vector<CShader*>& list) {
    for (std::size_t i = 0; i < programs.size(); ++i)
        if (programs[i] && !list.empty() && programs[i]->shared_from_ == list) return int(i);
    const int index = create_program(list);
    programs[std::size_t(index)]->shared_from_ = list;
    return index;
}

CShaderProgram* CShaderFactory::get_program(int index) const {
    if (index < 0 || std::size_t(index) >= programs.size()) return nullptr;
    return programs[std::size_t(index)];
}

void CShaderFactory::remove_all_shaders() {
    for (auto& [key, shader] : shaders) {
        if (shader->id != 0) glDeleteShader(shader->id);
        delete shader;
    }
    shaders.clear();
    log_message(LogLevel::Status, "All shaders removed.", log_class_name_of(*this));
}

void CShaderFactory::remove_all_programs() {
    for (CShaderProgram* program : programs) {
        if (!program) continue;
        if (program->get_id() != 0) glDeleteProgram(program->get_id());
        delete program;
    }
    programs.clear();
    log_message(LogLevel::Status, "All shader programs removed.", log_class_name_of(*this));
}
