// CMixerControl: the speaker (master output) volume of the sound card,
// through the ALSA mixer.
//
// Open() attaches to ALSA's default control device - card 0's mixer unless
// the ALSA configuration names another - and takes the playback volume of
// the first element named "Master", else "Speaker", else "PCM". Without a
// sound card, or without such an element, the object stays closed: Minimum()
// and Maximum() are 0 and SetValue() and Close() do nothing.
#pragma once

#include <optional>
#include <string>

typedef struct _snd_mixer snd_mixer_t;
typedef struct _snd_mixer_elem snd_mixer_elem_t;

namespace kestrune::audio {

class CMixerControl {
  public:
    /** The element names tried, in this order. */
    static constexpr const char* kSpeakerLines[] = {"Master", "Speaker", "PCM"};

    CMixerControl() = default;
    virtual ~CMixerControl();
    CMixerControl(const CMixerControl&) = delete;
    CMixerControl& operator=(const CMixerControl&) = delete;

    /** Opens the mixer and finds the speaker line's volume; on any failure
     *  the object stays (or becomes) closed. Opening again first closes. */
    void Open();
    bool IsOpen() const { return mixer_ != nullptr; }

    int Minimum() const { return minimum_; }
    int Maximum() const { return maximum_; }
    /** The element's name ("Master", ...); empty while closed. */
    const std::string& ControlName() const { return controlName_; }
    /** Playback channels of the line; 0 while closed. */
    unsigned ChannelCount() const { return channelCount_; }

    /** Sets the volume: `left` on the first channel, `right` on the second
     *  (a mono line takes `left`). Values outside the range are refused by
     *  ALSA without notice, as is every call while closed. */
    void SetValue(int left, int right);

    /** The current volume of the first channel; 0 while closed. */
    int Value() const;

    void Close();

  private:
    snd_mixer_t* mixer_ = nullptr;
    snd_mixer_elem_t* element_ = nullptr;
    std::string controlName_;
    unsigned channelCount_ = 0;
    int minimum_ = 0;
    int maximum_ = 0;
};

/** The value for a volume percentage (0 ... 100) of a control's range,
 *  counted from 0 and truncated: (int)((maximum - minimum) * (percent / 100.0)). */
int VolumeForPercent(int minimum, int maximum, int percent);

/** The speaker volume now, as a percentage of the line's range counted from
 *  its minimum (rounded down); nullopt without a mixer (no sound card, or no
 *  speaker line). */
std::optional<int> ReadSpeakerVolumePercent();

}  // namespace kestrune::audio
