#pragma once
// Helpers of the sprite and particle suites: a texture of any size that needs no file and no
// GL, and a plain sprite that records what its owner does with it.
#include <functional>
#include <string>
#include <vector>

#include "engine/gfx/texture.h"
#include "engine/scene/sprite.h"

namespace test_support {

class FakeTexture : public ITexture {
public:
    FakeTexture(int w, int h) : w_(w), h_(h) { valid = true; }
    int32_t get_image_width() override { return w_; }
    int32_t get_image_height() override { return h_; }
    void resize(int w, int h) {
        w_ = w;
        h_ = h;
    }

private:
    int w_, h_;
};

// A sprite with a rectangular outline at its absolute position; logs draws and updates into a
// shared journal under its name, and counts its deletion.
class ProbeSprite : public CSprite {
public:
    ProbeSprite(std::string name, std::vector<std::string>* journal = nullptr, int* deleted = nullptr)
        : name_(std::move(name)), journal_(journal), deleted_(deleted) {}
    ~ProbeSprite() override {
        if (deleted_) ++*deleted_;
        if (journal_) journal_->push_back("delete " + name_);
    }
    void draw(SDL_Surface*) override {
        if (journal_) journal_->push_back("draw " + name_);
    }
    void update(float) override {
        if (journal_) journal_->push_back("update " + name_);
        if (on_update) on_update();
    }
    fquad2d get_global_quad() override {
        return fquad2d::from_rect(get_absolute_x(), get_absolute_y(), get_absolute_width(), get_absolute_height());
    }
    const std::string& name() const { return name_; }

    std::function<void()> on_update;

private:
    std::string name_;
    std::vector<std::string>* journal_;
    int* deleted_;
};

}  // namespace test_support
