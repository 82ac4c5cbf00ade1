#pragma once

#include <memory>

#include "shows/AudioSink.h"

namespace kv {

// Which output the soundtrack goes to. The null output is used only when asked for: a sound
// device that fails to open is reported, never replaced behind the operator's back.
enum class AudioOutput { Device, Null };

// Chooses the output for audio initialisations from now on (the app does this before it
// creates its player). A running initialisation keeps its output until the last file closes.
void SelectAudioOutput(AudioOutput output);
AudioOutput SelectedAudioOutput();

// The result of the audio initialisation: made when the first audio file object is created,
// false again after the last one is gone.
bool AudioReady();

// The instance counter of the audio file objects. The first acquire initialises the output;
// the last release shuts it down.
void AcquireAudio();
void ReleaseAudio();

// A new output of the running initialisation, or null when audio is not ready.
std::unique_ptr<AudioSink> MakeAudioSink();

}  // namespace kv
