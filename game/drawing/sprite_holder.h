#pragma once
#include <type_traits>

#include "engine/scene/image_sprite.h"
#include "engine/scene/sprite_manager.h"

// A look's claim on one sprite of the session's sprite manager, which owns the sprite: built under
// the given parent (or the manager) and handed to the manager. When the holder goes it only marks
// the sprite finished, and the manager deletes it.
template <typename Sprite>
class SpriteHolder {
public:
    template <typename... Args>
    explicit SpriteHolder(CSpriteManager* manager, CSprite* parent = nullptr, Args... args)
        : sprite_(new Sprite(parent ? parent : manager, args...)) {
        manager->add_child(sprite_);
    }
    ~SpriteHolder() {
        // The sprite may still be drawn once before the manager deletes it: it must not reach a
        // shader program its look frees.
        if constexpr (std::is_base_of_v<CImageSprite, Sprite>) sprite_->set_shader_program(nullptr);
        sprite_->set_finished(true);
    }
    SpriteHolder(const SpriteHolder&) = delete;
    SpriteHolder& operator=(const SpriteHolder&) = delete;

    Sprite* get() const { return sprite_; }
    Sprite* operator->() const { return sprite_; }

private:
    Sprite* const sprite_;
};
