#include "audio/MixerControl.h"

#include <alsa/asoundlib.h>

namespace kestrune::audio {

namespace {

// ALSA reports its own errors on stderr by default; a station without a
// sound card is normal here, so they are kept quiet.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

CMixerControl::~CMixerControl() {
    Close();
}

void CMixerControl::Open() {
    Close();
    snd_lib_error_set_handler(Quiet);
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) < 0) return;
    if (snd_mixer_attach(mixer, "default") < 0 ||
        snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 || snd_mixer_load(mixer) < 0) {
        snd_mixer_close(mixer);
        return;
    }
    snd_mixer_elem_t* found = nullptr;
    for (const char* name : kSpeakerLines) {
        for (snd_mixer_elem_t* element = snd_mixer_first_elem(mixer); element != nullptr && !found;
             element = snd_mixer_elem_next(element)) {
            if (snd_mixer_selem_is_active(element) &&
                snd_mixer_selem_has_playback_volume(element) &&
                std::string_view(snd_mixer_selem_get_name(element)) == name) {
                found = element;
            }
        }
        if (found) break;
    }
    long minimum = 0;
    long maximum = 0;
    if (found == nullptr ||
        snd_mixer_selem_get_playback_volume_range(found, &minimum, &maximum) < 0) {
        snd_mixer_close(mixer);
        return;
    }
    unsigned channels = 0;
    for (int channel = 0; channel <= SND_MIXER_SCHN_LAST; ++channel) {
        if (snd_mixer_selem_has_playback_channel(
                found, static_cast<snd_mixer_selem_channel_id_t>(channel))) {
            ++channels;
        }
    }
    mixer_ = mixer;
    element_ = found;
    controlName_ = snd_mixer_selem_get_name(found);
    channelCount_ = channels;
    minimum_ = static_cast<int>(minimum);
    maximum_ = static_cast<int>(maximum);
}

void CMixerControl::SetValue(int left, int right) {
    if (element_ == nullptr) return;
    auto set = [this](snd_mixer_selem_channel_id_t channel, int value) {
        if (value < minimum_ || value > maximum_) return;
        snd_mixer_selem_set_playback_volume(element_, channel, value);
    };
    if (snd_mixer_selem_is_playback_mono(element_)) {
        set(SND_MIXER_SCHN_MONO, left);
        return;
    }
    set(SND_MIXER_SCHN_FRONT_LEFT, left);
    set(SND_MIXER_SCHN_FRONT_RIGHT, right);
}

int CMixerControl::Value() const {
    if (element_ == nullptr) return 0;
    long value = 0;
    const auto channel = snd_mixer_selem_is_playback_mono(element_) ? SND_MIXER_SCHN_MONO
                                                                    : SND_MIXER_SCHN_FRONT_LEFT;
    if (snd_mixer_selem_get_playback_volume(element_, channel, &value) < 0) return 0;
    return static_cast<int>(value);
}

void CMixerControl::Close() {
    if (mixer_ != nullptr) snd_mixer_close(mixer_);
    mixer_ = nullptr;
    element_ = nullptr;
    controlName_.clear();
    channelCount_ = 0;
    minimum_ = 0;
    maximum_ = 0;
}

int VolumeForPercent(int minimum, int maximum, int percent) {
    return static_cast<int>((maximum - minimum) * (percent / 100.0));
}

std::optional<int> ReadSpeakerVolumePercent() {
    CMixerControl mixer;
    mixer.Open();
    if (!mixer.IsOpen() || mixer.Maximum() <= mixer.Minimum()) return std::nullopt;
    return static_cast<int>(static_cast<long long>(mixer.Value() - mixer.Minimum()) * 100 /
                            (mixer.Maximum() - mixer.Minimum()));
}

}  // namespace kestrune::audio
