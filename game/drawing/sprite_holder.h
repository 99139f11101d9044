#pragma once
#include <type_traits>

#include "engine/scene/image_sprite.h"
#include "engine/scene/sprite_manager.h"

// A look's claim on one sprite of the session's sprite manager, which owns the sprite. Built with
// a manager it creates the sprite (under the given parent, or the manager) and hands it to the
// manager; built without one it holds nothing. When the holder goes it only marks the sprite
// finished, and the manager deletes it.
template <typename Sprite>
class SpriteHolder {
public:
    SpriteHolder() = default;
    template <typename... Args>
    explicit SpriteHolder(CSpriteManager* manager, CSprite* parent = nullptr, Args... args) {
        if (!manager) return;
        sprite_ = new Sprite(parent ? parent : manager, args...);
        manager->add_child(sprite_);
    }
    ~SpriteHolder() { release(); }

    SpriteHolder(const SpriteHolder&) = delete;
    SpriteHolder& operator=(const SpriteHolder&) = delete;
    SpriteHolder(SpriteHolder&& other) noexcept : sprite_(other.sprite_) { other.sprite_ = nullptr; }
    SpriteHolder& operator=(SpriteHolder&& other) noexcept {
        if (this != &other) {
            release();
            sprite_ = other.sprite_;
            other.sprite_ = nullptr;
        }
        return *this;
    }

    Sprite* get() const { return sprite_; }
    Sprite* operator->() const { return sprite_; }
    explicit operator bool() const { return sprite_ != nullptr; }

    void release() {
        if (!sprite_) return;
        // The sprite may still be drawn once before the manager deletes it: it must not reach
        // a shader program its object frees.
        if constexpr (std::is_base_of_v<CImageSprite, Sprite>) sprite_->set_shader_program(nullptr);
        sprite_->set_finished(true);
        sprite_ = nullptr;
    }

private:
    Sprite* sprite_ = nullptr;
};
