#include "shows/AudioSystem.h"

#include <SDL.h>

#include <mutex>

#include "shows/NullAudioSink.h"
#include "shows/SdlAudioSink.h"

namespace kv {

namespace {

struct AudioState {
    std::mutex mutex;
    AudioOutput selected = AudioOutput::Device;
    AudioOutput active = AudioOutput::Device;
    int instances = 0;
    bool ready = false;
    bool sdlUp = false;
};

AudioState& state() {
    static AudioState s;
    return s;
}

}  // namespace

void SelectAudioOutput(AudioOutput output) {
    std::lock_guard lock(state().mutex);
    state().selected = output;
}

AudioOutput SelectedAudioOutput() {
    std::lock_guard lock(state().mutex);
    return state().selected;
}

bool AudioReady() {
    std::lock_guard lock(state().mutex);
    return state().ready;
}

void AcquireAudio() {
    AudioState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.instances == 0) {
        s.active = s.selected;
        if (s.active == AudioOutput::Null) {
            s.ready = true;
        } else {
            // SDL would otherwise take SIGINT and SIGTERM (those still at their default) and turn
            // them into quit events nobody reads: a stop signal during a show would be lost.
            SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
            s.sdlUp = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
            s.ready = s.sdlUp && SdlAudioSink::ProbeDevice();
        }
    }
    ++s.instances;
}

void ReleaseAudio() {
    AudioState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.instances == 0) {
        return;
    }
    if (--s.instances == 0) {
        if (s.sdlUp) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            s.sdlUp = false;
        }
        s.ready = false;
    }
}

std::unique_ptr<AudioSink> MakeAudioSink() {
    std::lock_guard lock(state().mutex);
    if (!state().ready) {
        return nullptr;
    }
    if (state().active == AudioOutput::Null) {
        return std::make_unique<NullAudioSink>();
    }
    return std::make_unique<SdlAudioSink>();
}

}  // namespace kv
