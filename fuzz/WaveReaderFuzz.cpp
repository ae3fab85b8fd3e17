// Feeds arbitrary bytes to the wave reader through a real file (it reads with
// pread on a descriptor) and checks that what it returns fits the file.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzInput.h"
#include "core/wave/WaveFile.h"

using kestrune::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (!kestrune::fuzz::WriteInput(data, size)) return 0;

    kestrune::WaveHeaderResult header = kestrune::ReadWaveHeader(kestrune::fuzz::ScratchPath());
    Check(header.file.IsOpen() == header.Ok());
    if (!header.Ok()) return 0;

    const kestrune::WaveFileInfo info = header.info;
    const uint32_t block = info.format.blockAlign;
    Check(block != 0 && block == info.format.bitsPerSample * info.format.channels / 8u);
    Check(uint64_t{info.dataOffset} + info.dataSize <= size);
    Check(info.sampleCount == info.dataSize / block);

    kestrune::WaveFileInfo after = info;
    const std::vector<uint8_t> samples = kestrune::ReadWaveSamples(std::move(header.file), after);
    Check(!header.file.IsOpen());
    if (info.format.channels == 2) {
        const std::size_t b = info.format.bitsPerSample / 8u;
        Check(samples.size() == std::size_t{info.sampleCount} * b);
        Check(after.format.channels == 1 && after.format.blockAlign == b);
        for (std::size_t i = 0; i < info.sampleCount && b > 0; ++i) {
            for (std::size_t k = 0; k < b; ++k)
                Check(samples[i * b + k] == data[info.dataOffset + 2 * i * b + k]);
        }
    } else {
        Check(samples.size() == info.dataSize);
        Check(after == info);
        for (std::size_t i = 0; i < samples.size(); ++i)
            Check(samples[i] == data[info.dataOffset + i]);
    }
    return 0;
}
