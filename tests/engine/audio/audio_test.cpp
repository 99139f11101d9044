#include <gtest/gtest.h>

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

#include "engine/audio/audio.h"
#include "engine/core/ini.h"
#include "support/media_test_support.h"
#include "support/test_support.h"

namespace {

// The suites run with the dummy driver; set it here too for a run by hand.
const bool kDummyDriver = [] {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    return true;
}();

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

template <typename Condition>
bool wait_for(Condition condition, int timeout_ms = 5000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class AudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kDummyDriver);
        audio = new CAudio();
        audio->init();
        ASSERT_TRUE(audio->is_open());
    }
    void TearDown() override {
        delete audio;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    CAudio* audio = nullptr;
};

struct FinishedChannels {
    std::atomic<int> calls{0};
    std::atomic<int> last_channel{-2};
    static void on_finished(int channel, void* self) {
        auto* me = static_cast<FinishedChannels*>(self);
        me->last_channel = channel;
        ++me->calls;
    }
};

}  // namespace

TEST_F(AudioTest, OpensTheDeviceAndReportsIt) {
    EXPECT_EQ(audio->frequency, 44100);
    EXPECT_EQ(audio->channels, 2);
    EXPECT_EQ(audio->format, AUDIO_S16LSB);
    EXPECT_EQ(audio->volume, 128);
    audio->init();  // already open: only refreshes the values
    EXPECT_EQ(audio->frequency, 44100);
    audio->reset();
    EXPECT_FALSE(audio->is_open());
    EXPECT_EQ(audio->frequency, 0);
    EXPECT_EQ(audio->channels, 0);
    audio->init();
    EXPECT_TRUE(audio->is_open());
}

TEST_F(AudioTest, SamePathLoadsOnce) {
    test_support::LogCapture log;
    int first = audio->load_sound("snd\\pop.wav");
    ASSERT_GE(first, 0);
    EXPECT_EQ(audio->load_sound("snd\\pop.wav"), first);
    EXPECT_EQ(audio->find_sound("snd\\pop.wav"), first);
    EXPECT_EQ(log.count("Sound file snd\\pop.wav loaded successfully."), 1);
    EXPECT_EQ(audio->sound_count(), 1);
}

TEST_F(AudioTest, LoadFailures) {
    test_support::LogCapture log;
    EXPECT_EQ(audio->load_sound("snd\\no_such_sound.wav"), -1);
    EXPECT_TRUE(log.contains("ERROR in class CAudio: Failed to load snd\\no_such_sound.wav. File not found."));
    EXPECT_EQ(audio->load_sound("gfx\\test\\quadrants.png"), -1);
    EXPECT_TRUE(log.contains("Failed to load gfx\\test\\quadrants.png, SDL reports: "));
    EXPECT_EQ(audio->sound_count(), 0);
}

TEST_F(AudioTest, PlayReturnsTheChannelAndHonoursMute) {
    int sound = audio->load_sound("snd\\explosion.wav");
    ASSERT_GE(sound, 0);
    int channel = audio->play_sound(sound, 0);
    ASSERT_GE(channel, 0);
    EXPECT_EQ(Mix_Volume(channel, -1), 128);
    audio->muted = true;
    int muted_channel = audio->play_sound(sound, 0);
    ASSERT_GE(muted_channel, 0);
    EXPECT_NE(muted_channel, channel);
    EXPECT_EQ(Mix_Volume(muted_channel, -1), 0);
    EXPECT_EQ(Mix_Volume(channel, -1), 128);  // the others keep theirs

    audio->set_volume(40);  // muted: stored, not handed to the mixer
    EXPECT_EQ(audio->volume, 40);
    EXPECT_EQ(Mix_Volume(channel, -1), 128);
    audio->muted = false;
    audio->set_volume(50);
    EXPECT_EQ(Mix_Volume(channel, -1), 50);
}

TEST_F(AudioTest, BadIndicesPlayNothing) {
    int sound = audio->load_sound("snd\\pop.wav");
    ASSERT_GE(sound, 0);
    audio->unload_sound(sound);
    EXPECT_EQ(audio->play_sound(sound, 0), -1);
    EXPECT_EQ(audio->play_sound(-1, 0), -1);
    EXPECT_EQ(audio->play_sound(99, 0), -1);
    audio->unload_sound(sound);  // already empty: ignored
    audio->unload_sound(-3);
    audio->unload_music(0);
}

TEST_F(AudioTest, FreedSlotsStayEmptySoIndicesStayValid) {
    test_support::LogCapture log;
    int a = audio->load_sound("snd\\pop.wav");
    int b = audio->load_sound("snd\\jump.wav");
    int c = audio->load_sound("snd\\heal.wav");
    ASSERT_EQ(b, a + 1);
    ASSERT_EQ(c, b + 1);
    audio->unload_sound(b);
    EXPECT_TRUE(log.contains("Sound file snd\\jump.wav unloaded successfully."));
    EXPECT_FALSE(audio->has_sound(b));
    EXPECT_TRUE(audio->has_sound(c));
    EXPECT_GE(audio->play_sound(c, 0), 0);
    EXPECT_EQ(audio->load_sound("snd\\jump.wav"), c + 1);  // appended, the empty slot not reused
    EXPECT_EQ(audio->sound_count(), 4);
    audio->unload_all_sounds();
    EXPECT_EQ(audio->sound_count(), 0);
    EXPECT_TRUE(log.contains("All sound files unloaded."));
}

TEST_F(AudioTest, ChannelFinishUnloadsPendingSoundAndCallsListeners) {
    FinishedChannels finished;
    audio->add_channel_finished_listener(&FinishedChannels::on_finished, &finished);
    int sound = audio->load_sound("snd\\pop.wav");
    ASSERT_GE(sound, 0);
    int channel;
    {
        SDL_LockAudio();  // the pop is short: register before the mixer can finish it
        channel = audio->play_sound(sound, 0);
        audio->add_pending_unload(channel, sound);
        SDL_UnlockAudio();
    }
    ASSERT_GE(channel, 0);
    ASSERT_TRUE(wait_for([&] { return finished.calls.load() > 0; }));
    EXPECT_EQ(finished.last_channel.load(), channel);
    EXPECT_FALSE(audio->has_sound(sound));

    audio->remove_channel_finished_listener(&FinishedChannels::on_finished, &finished);
    int again = audio->load_sound("snd\\pop.wav");
    ASSERT_GE(audio->play_sound(again, 0), 0);
    Mix_HaltChannel(-1);  // runs the hook synchronously
    EXPECT_EQ(finished.calls.load(), 1);
    EXPECT_TRUE(audio->has_sound(again));
}

// The mixer thread unloads a finished sound while the main thread keeps playing it and loading
// others (which grows the sound table). Without a lock shared with the mixer, a play that read
// the table just before the hook ran goes on to start the chunk the hook has just freed.
TEST_F(AudioTest, FinishedHooksDoNotRaceTheMainThread) {
    test_support::ScratchDir dir;
    std::string pop = file_bytes("snd/jetpack.wav");  // the shortest sound
    ASSERT_FALSE(pop.empty());
    FinishedChannels finished;
    audio->add_channel_finished_listener(&FinishedChannels::on_finished, &finished);
    const int kRounds = 30;
    int loaded = 0;
    for (int round = 0; round < kRounds; ++round) {
        int sound = audio->load_sound(dir.write("pop" + std::to_string(loaded) + ".wav", pop));
        ASSERT_EQ(sound, loaded++);
        SDL_LockAudio();  // register before the mixer can finish it
        int channel = audio->play_sound(sound, 0);
        if (channel >= 0) audio->add_pending_unload(channel, sound);
        SDL_UnlockAudio();
        ASSERT_GE(channel, 0);
        Mix_Chunk* chunk = Mix_GetChunk(channel);
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int plays = 0;
        while (audio->has_sound(sound) && std::chrono::steady_clock::now() < until) {
            audio->play_sound(sound, 0);
            if (++plays % 64 == 0) {
                int other = audio->load_sound(dir.write("pop" + std::to_string(loaded) + ".wav", pop));
                ASSERT_EQ(other, loaded++);
            }
        }
        EXPECT_FALSE(audio->has_sound(sound)) << "round " << round;
        EXPECT_EQ(audio->play_sound(sound, 0), -1);
        SDL_LockAudio();
        int playing_freed = 0;
        for (int i = 0; i < Mix_AllocateChannels(-1); ++i) {
            if (Mix_Playing(i) && Mix_GetChunk(i) == chunk) ++playing_freed;
        }
        SDL_UnlockAudio();
        EXPECT_EQ(playing_freed, 0) << "round " << round;
        Mix_HaltChannel(-1);
    }
    EXPECT_EQ(audio->sound_count(), loaded);
    audio->remove_channel_finished_listener(&FinishedChannels::on_finished, &finished);
}

// Every sound the client's configuration names is in the run folder and loads.
TEST_F(AudioTest, ConfiguredSoundsLoad) {
    std::vector<std::string> keys = ini_read_section_keys("sound", "config\\client.ini");
    ASSERT_FALSE(keys.empty());
    for (const std::string& key : keys) {
        EXPECT_GE(audio->load_sound("snd\\" + key), 0) << key;
        // Even every channel of the mixer at the sound's peak at once stays inside the samples' range.
        Mix_Chunk* chunk = Mix_LoadWAV(("snd/" + key).c_str());
        ASSERT_NE(chunk, nullptr) << key;
        const auto* s = reinterpret_cast<const Sint16*>(chunk->abuf);
        const auto loudest = std::minmax_element(s, s + chunk->alen / 2);
        EXPECT_LT(std::max(-int(*loudest.first), int(*loudest.second)) * Mix_AllocateChannels(-1), 32767) << key;
        Mix_FreeChunk(chunk);
    }
}

TEST(AudioInstances, SecondLiveInstanceEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            test_support::LogCapture log;
            log_set_output_for_tests(&std::cerr);
            CAudio first;
            CAudio second;
        },
        ::testing::ExitedWithCode(1),
        "FATAL ERROR in class CAudio: More than one active class instance. Shutting down for "
        "safety reasons.");
    // One after the other is fine.
    { CAudio first; }
    { CAudio second; }
}
