#pragma once
#include <SDL/SDL_mixer.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The process-wide sound manager on SDL_mixer. Sounds live in a table addressed by index; a
// freed slot stays empty so that indices stay valid. Only one instance may be alive.
//
// SDL_mixer calls the two finished-hooks from its mixing thread with the audio device locked
// (and from the main thread inside Mix_HaltChannel, also locked). Every main-thread operation
// that touches the sound table, the pending unloads or the listeners takes the same lock
// (SDL_LockAudio), so the hooks never see them half-changed.
class CAudio {
public:
    using MusicFinishedListener = void (*)(void* user_data);
    using ChannelFinishedListener = void (*)(int channel, void* user_data);

    CAudio();
    ~CAudio();
    CAudio(const CAudio&) = delete;
    CAudio& operator=(const CAudio&) = delete;

    void init();
    void reset();
    bool is_open() const;

    int find_sound(const std::string& path);
    int load_sound(std::string path);
    void unload_sound(int index);
    void unload_music(int index);
    void unload_all_sounds();
    void unload_all_music();
    // The channel the sound plays on, or -1 (bad index, no free channel).
    int play_sound(int index, int loops);
    // Stores the master volume and hands it to the mixer unless muted.
    void set_volume(uint8_t new_volume);

    // Frees the sound when the channel next finishes.
    void add_pending_unload(int channel, int sound_index);
    void add_music_finished_listener(MusicFinishedListener listener, void* user_data);
    void remove_music_finished_listener(MusicFinishedListener listener, void* user_data);
    void add_channel_finished_listener(ChannelFinishedListener listener, void* user_data);
    void remove_channel_finished_listener(ChannelFinishedListener listener, void* user_data);

    // Size of the sound table, freed slots included.
    int sound_count();
    // True while the slot holds a loaded sound.
    bool has_sound(int index);

    static void on_music_finished();
    static void on_channel_finished(int channel);

    int frequency = 0;
    uint16_t format = 0;
    int channels = 0;
    int spare = 0;
    bool muted = false;
    uint8_t volume = 0;

private:
    void report_silence();
    struct SoundEntry {
        std::string name;
        Mix_Chunk* chunk = nullptr;
    };
    struct MusicEntry {
        std::string name;
        Mix_Music* music = nullptr;
    };
    struct PendingUnload {
        int channel;
        int sound_index;
    };
    struct MusicListener {
        MusicFinishedListener function;
        void* user_data;
    };
    struct ChannelListener {
        ChannelFinishedListener function;
        void* user_data;
    };

    void unload_sound_locked(int index);

    std::vector<MusicEntry*> music;
    std::vector<SoundEntry*> sounds;
    std::vector<PendingUnload> pending_unloads;
    std::vector<MusicListener> music_listeners;
    std::vector<ChannelListener> channel_listeners;

    static std::atomic<int> instance_count;
    static std::atomic<CAudio*> live_instance;
    static bool audio_started;
    static bool mixer_open;
};
