#include "engine/audio/audio.h"

#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>

#include "engine/core/files.h"
#include "engine/core/logger.h"
#include "platform/paths.h"

std::atomic<int> CAudio::instance_count{0};
std::atomic<CAudio*> CAudio::live_instance{nullptr};
bool CAudio::mixer_open = false;

namespace {

// The mixer's own lock: while the main thread holds it the mixing thread cannot run a hook.
// It is recursive, and SDL skips it inside the mixing thread, so the hooks may take it too.
class AudioLock {
public:
    AudioLock() { SDL_LockAudio(); }
    ~AudioLock() { SDL_UnlockAudio(); }
    AudioLock(const AudioLock&) = delete;
    AudioLock& operator=(const AudioLock&) = delete;
};

}  // namespace

CAudio::CAudio() {
    if (instance_count.load() > 0) {
        log_message(LogLevel::FatalError, "More than one active class instance. Shutting down for safety reasons.",
                    log_class_name_of(*this));
        std::exit(1);
    }
    ++instance_count;
    live_instance.store(this);
}

CAudio::~CAudio() {
    {
        AudioLock lock;  // a hook that is running finishes before the instance goes away
        --instance_count;
        live_instance.store(nullptr);
    }
    if (instance_count.load() == 0 && mixer_open) reset();
    log_message(LogLevel::Status, "Instance removed.", log_class_name_of(*this));
    for (SoundEntry* entry : sounds) delete entry;
    for (MusicEntry* entry : music) delete entry;
}

bool CAudio::is_open() const { return mixer_open; }

// The level-4 line above reads as if the program ended; it goes on, silent.
void CAudio::report_silence() {
    log_message(LogLevel::Warning, "No sound device could be opened: the game runs without sound.",
                log_class_name_of(*this));
}

void CAudio::init() {
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_Init(SDL_INIT_AUDIO) != 0) {
            log_message(LogLevel::FatalError,
                        std::string("Failed to initialize SDL Audio, SDL reports: ") + SDL_GetError(),
                        log_class_name_of(*this));
            report_silence();
            return;
        }
        log_message(LogLevel::Status, "SDL Audio initialized successfully.", log_class_name_of(*this));
    }
    if (!mixer_open) {
        if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048) != 0) {
            log_message(LogLevel::FatalError,
                        std::string("Failed to initialize SDL Mixer, SDL reports: ") + SDL_GetError(),
                        log_class_name_of(*this));
            report_silence();
            return;
        }
        mixer_open = true;
        Mix_HookMusicFinished(&CAudio::on_music_finished);
        Mix_ChannelFinished(&CAudio::on_channel_finished);
        volume = 128;
        if (!muted) {
            Mix_Volume(-1, 128);
            Mix_VolumeMusic(volume);
        }
        log_message(LogLevel::Status, "SDL Mixer initialized successfully.", log_class_name_of(*this));
    }
    Mix_QuerySpec(&frequency, &format, &channels);
}

void CAudio::reset() {
    log_message(LogLevel::Status, "Resetting audio...", log_class_name_of(*this));
    if (!mixer_open) return;
    Mix_HookMusicFinished(nullptr);
    Mix_ChannelFinished(nullptr);
    unload_all_sounds();
    unload_all_music();
    Mix_CloseAudio();
    log_message(LogLevel::Status, "Audio device reset.", log_class_name_of(*this));
    frequency = 0;
    format = 0;
    channels = 0;
    spare = 0;
    mixer_open = false;
}

int CAudio::find_sound(const std::string& path) {
    AudioLock lock;
    for (std::size_t i = 0; i < sounds.size(); ++i) {
        if (sounds[i] && sounds[i]->name == path) return int(i);
    }
    return -1;
}

int CAudio::load_sound(std::string path) {
    int existing = find_sound(path);
    if (existing >= 0) return existing;
    std::string absolute = platform::native_path(make_absolute_path(path));
    std::FILE* file = std::fopen(absolute.c_str(), "rb");
    if (!file) {
        log_message(LogLevel::Error, "Failed to load " + path + ". File not found.", log_class_name_of(*this));
        return -1;
    }
    std::fclose(file);
    // Decoding happens outside the lock so that the mixer is not held up by file reading.
    Mix_Chunk* chunk = Mix_LoadWAV_RW(SDL_RWFromFile(absolute.c_str(), "rb"), 1);
    if (!chunk) {
        log_message(LogLevel::Status, "Failed to load " + path + ", SDL reports: " + SDL_GetError(),
                    log_class_name_of(*this));
        return -1;
    }
    int index;
    {
        AudioLock lock;
        sounds.push_back(new SoundEntry{path, chunk});
        index = int(sounds.size() - 1);
    }
    log_message(LogLevel::Status, "Sound file " + path + " loaded successfully.", log_class_name_of(*this));
    return index;
}

void CAudio::unload_sound_locked(int index) {
    if (index < 0 || std::size_t(index) >= sounds.size() || !sounds[std::size_t(index)]) return;
    SoundEntry* entry = sounds[std::size_t(index)];
    Mix_FreeChunk(entry->chunk);
    log_message(LogLevel::Status, "Sound file " + entry->name + " unloaded successfully.", log_class_name_of(*this));
    delete entry;
    sounds[std::size_t(index)] = nullptr;
}

void CAudio::unload_sound(int index) {
    AudioLock lock;
    unload_sound_locked(index);
}

void CAudio::unload_music(int index) {
    AudioLock lock;
    if (index < 0 || std::size_t(index) >= music.size() || !music[std::size_t(index)]) return;
    MusicEntry* entry = music[std::size_t(index)];
    Mix_FreeMusic(entry->music);
    log_message(LogLevel::Status, "Music file " + entry->name + " unloaded successfully.", log_class_name_of(*this));
    delete entry;
    music[std::size_t(index)] = nullptr;
}

void CAudio::unload_all_sounds() {
    Mix_HaltChannel(-1);
    {
        AudioLock lock;
        for (std::size_t i = 0; i < sounds.size(); ++i) unload_sound_locked(int(i));
        pending_unloads.clear();
        sounds.clear();
    }
    log_message(LogLevel::Status, "All sound files unloaded.", log_class_name_of(*this));
}

void CAudio::unload_all_music() {
    Mix_HaltMusic();
    {
        AudioLock lock;
        for (std::size_t i = 0; i < music.size(); ++i) unload_music(int(i));
        music.clear();
    }
    log_message(LogLevel::Status, "All music files unloaded.", log_class_name_of(*this));
}

int CAudio::play_sound(int index, int loops) {
    AudioLock lock;
    if (index < 0 || std::size_t(index) >= sounds.size() || !sounds[std::size_t(index)]) return -1;
    int channel = Mix_PlayChannelTimed(-1, sounds[std::size_t(index)]->chunk, loops, -1);
    // Channel -1 would set the volume of every channel.
    if (channel >= 0) Mix_Volume(channel, muted ? 0 : volume);
    return channel;
}

void CAudio::set_volume(uint8_t new_volume) {
    volume = new_volume;
    if (!muted && mixer_open) {
        Mix_Volume(-1, volume);
        Mix_VolumeMusic(volume);
    }
}

void CAudio::add_pending_unload(int channel, int sound_index) {
    AudioLock lock;
    pending_unloads.push_back({channel, sound_index});
}

void CAudio::add_music_finished_listener(MusicFinishedListener listener, void* user_data) {
    AudioLock lock;
    music_listeners.push_back({listener, user_data});
}

void CAudio::remove_music_finished_listener(MusicFinishedListener listener, void* user_data) {
    AudioLock lock;
    for (std::size_t i = 0; i < music_listeners.size(); ++i) {
        if (music_listeners[i].function == listener && music_listeners[i].user_data == user_data) {
            music_listeners.erase(music_listeners.begin() + std::ptrdiff_t(i));
            return;
        }
    }
}

void CAudio::add_channel_finished_listener(ChannelFinishedListener listener, void* user_data) {
    AudioLock lock;
    channel_listeners.push_back({listener, user_data});
}

void CAudio::remove_channel_finished_listener(ChannelFinishedListener listener, void* user_data) {
    AudioLock lock;
    for (std::size_t i = 0; i < channel_listeners.size(); ++i) {
        if (channel_listeners[i].function == listener && channel_listeners[i].user_data == user_data) {
            channel_listeners.erase(channel_listeners.begin() + std::ptrdiff_t(i));
            return;
        }
    }
}

int CAudio::sound_count() {
    AudioLock lock;
    return int(sounds.size());
}

bool CAudio::has_sound(int index) {
    AudioLock lock;
    return index >= 0 && std::size_t(index) < sounds.size() && sounds[std::size_t(index)];
}

void CAudio::on_music_finished() {
    AudioLock lock;
    CAudio* self = live_instance.load();
    if (!self) return;
    // By index: a listener may remove itself while it runs.
    for (std::size_t i = 0; i < self->music_listeners.size(); ++i) {
        MusicListener listener = self->music_listeners[i];
        if (listener.function) listener.function(listener.user_data);
    }
}

void CAudio::on_channel_finished(int channel) {
    AudioLock lock;
    CAudio* self = live_instance.load();
    if (!self) return;
    for (std::size_t i = 0; i < self->pending_unloads.size(); ++i) {
        if (self->pending_unloads[i].channel == channel) {
            int index = self->pending_unloads[i].sound_index;
            self->unload_sound_locked(index);
            self->pending_unloads.erase(self->pending_unloads.begin() + std::ptrdiff_t(i));
            break;
        }
    }
    for (std::size_t i = 0; i < self->channel_listeners.size(); ++i) {
        ChannelListener listener = self->channel_listeners[i];
        if (listener.function) listener.function(channel, listener.user_data);
    }
}
