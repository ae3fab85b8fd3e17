#include "audio/RecordingEngine.h"

namespace kestrune::audio {

RecordingEngine::RecordingEngine(WaveSet& set, SoundInput& input)
    : set_(set), input_(input), recording_(set) {}

RecordingEngine::~RecordingEngine() {
    if (recording_.Active()) StopRecording();
    input_.SetDataCallback({});
}

RecordingStep RecordingEngine::StartRecording() {
    if (recording_.Active()) {
        RecordingStep busy;
        busy.outcome.ok = false;
        return busy;
    }
    RecordingStep prepared = recording_.Prepare();
    if (!prepared.outcome.ok) return prepared;
    format_ = set_.format;
    format_.channels = 1;
    input_.SetDataCallback([this] {
        if (notifier_) notifier_();
    });
    if (!input_.Open(format_)) return recording_.DeviceFailed();
    return recording_.Begin();
}

RecordingStep RecordingEngine::Drain() {
    RecordingStep step;
    while (recording_.Active()) {
        const std::size_t n = input_.Read(scratch_.data(), scratch_.size());
        if (n == 0) break;
        step = recording_.Capture(scratch_.data(), n);
        if (step.closeDevice) break;
    }
    return step;
}

RecordingStep RecordingEngine::OnInputData() {
    if (!recording_.Active()) return {};
    RecordingStep step = Drain();
    if (!step.closeDevice) return step;
    // The slot cannot grow: the device stops and the recording ends with
    // what it holds.
    input_.Close();
    return End(std::move(step));
}

RecordingStep RecordingEngine::StopRecording() {
    if (!recording_.Active()) return {};
    // After Close() no byte arrives, so one drain takes all there is.
    input_.Close();
    RecordingStep step = Drain();
    return End(std::move(step));
}

RecordingStep RecordingEngine::End(RecordingStep before) {
    RecordingStep step = recording_.Finish();
    if (!before.outcome.message.empty()) {
        std::string message = before.outcome.message;
        if (!step.outcome.message.empty()) message += "\n" + step.outcome.message;
        step.outcome.message = message;
    }
    step.beep = step.beep || before.beep;
    step.closeDevice = before.closeDevice;
    return step;
}

std::string RecordingEngine::TimeText() const {
    if (!recording_.Active()) return {};
    return RecordingTimeText(input_.PositionBytes(), format_);
}

}  // namespace kestrune::audio
