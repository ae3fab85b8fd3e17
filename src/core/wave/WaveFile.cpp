#include "core/wave/WaveFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

namespace kestrune {

namespace {

void PutU16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

uint16_t GetU16(const uint8_t* in) {
    return static_cast<uint16_t>(in[0] | (in[1] << 8));
}

uint32_t GetU32(const uint8_t* in) {
    return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) |
           (static_cast<uint32_t>(in[2]) << 16) | (static_cast<uint32_t>(in[3]) << 24);
}

// Reads until `size` bytes arrived, the file ends or a read fails; returns the
// number of bytes read.
std::size_t ReadAt(int fd, uint8_t* buffer, std::size_t size, uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got =
            ::pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool ReadExactAt(int fd, uint8_t* buffer, std::size_t size, uint64_t offset) {
    return ReadAt(fd, buffer, size, offset) == size;
}

bool WriteAll(int fd, const uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(fd, data + done, size - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (put == 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Fills `out` (already sized) with `size` bytes from `offset`; whatever the
// file no longer holds reads as zero.
void ReadIntoBuffer(int fd, uint8_t* out, std::size_t size, uint64_t offset) {
    const std::size_t got = ReadAt(fd, out, size, offset);
    if (got < size) std::memset(out + got, 0, size - got);
}

// Copies the first `bytesPerSample` bytes of each two-sample frame.
void KeepLeftChannel(const uint8_t* frames, uint8_t* out, uint32_t frameCount,
                     std::size_t bytesPerSample) {
    switch (bytesPerSample) {
        case 0:
            break;
        case 1:
            for (uint32_t i = 0; i < frameCount; ++i) out[i] = frames[2 * std::size_t{i}];
            break;
        case 2:
            for (uint32_t i = 0; i < frameCount; ++i)
                std::memcpy(out + 2 * std::size_t{i}, frames + 4 * std::size_t{i}, 2);
            break;
        default:
            for (uint32_t i = 0; i < frameCount; ++i) {
                std::memcpy(out + i * bytesPerSample, frames + 2 * i * bytesPerSample,
                            bytesPerSample);
            }
            break;
    }
}

}  // namespace

WaveFormat PcmFormat(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample) {
    WaveFormat format;
    format.formatTag = 1;
    format.channels = channels;
    format.sampleRate = sampleRate;
    format.bitsPerSample = bitsPerSample;
    format.blockAlign = static_cast<uint16_t>(uint32_t{channels} * bitsPerSample / 8);
    format.bytesPerSecond = sampleRate * format.blockAlign;
    return format;
}

std::array<uint8_t, kWaveFormatRecordSize> EncodeWaveFormat(const WaveFormat& format) {
    std::array<uint8_t, kWaveFormatRecordSize> bytes{};
    PutU16(&bytes[0], format.formatTag);
    PutU16(&bytes[2], format.channels);
    PutU32(&bytes[4], format.sampleRate);
    PutU32(&bytes[8], format.bytesPerSecond);
    PutU16(&bytes[12], format.blockAlign);
    PutU16(&bytes[14], format.bitsPerSample);
    PutU16(&bytes[16], format.extraSize);
    return bytes;
}

WaveFormat DecodeWaveFormat(const uint8_t* bytes, std::size_t size) {
    std::array<uint8_t, kWaveFormatRecordSize> record{};
    const std::size_t used = size < record.size() ? size : record.size();
    if (used > 0) std::memcpy(record.data(), bytes, used);
    // Fields the given bytes cover only partly or not at all stay zero.
    auto covered = [used](std::size_t offset, std::size_t width) { return offset + width <= used; };
    WaveFormat format;
    if (covered(0, 2)) format.formatTag = GetU16(&record[0]);
    if (covered(2, 2)) format.channels = GetU16(&record[2]);
    if (covered(4, 4)) format.sampleRate = GetU32(&record[4]);
    if (covered(8, 4)) format.bytesPerSecond = GetU32(&record[8]);
    if (covered(12, 2)) format.blockAlign = GetU16(&record[12]);
    if (covered(14, 2)) format.bitsPerSample = GetU16(&record[14]);
    if (covered(16, 2)) format.extraSize = GetU16(&record[16]);
    return format;
}

WaveFile::~WaveFile() {
    Close();
}

WaveFile::WaveFile(WaveFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

WaveFile& WaveFile::operator=(WaveFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

void WaveFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

WaveHeaderResult ReadWaveHeader(const std::string& path) {
    WaveHeaderResult result;
    auto fail = [&result](WaveReadError error) {
        result.file.Close();
        result.info = WaveFileInfo{};
        result.error = error;
        return std::move(result);
    };

    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return fail(WaveReadError::CannotOpen);
    result.file = WaveFile(fd);

    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || (status.st_mode & 0222) == 0) {
        return fail(WaveReadError::CannotOpen);
    }
    const uint64_t fileSize = static_cast<uint64_t>(status.st_size);

    uint8_t word[4];
    if (!ReadExactAt(fd, word, 4, 8) || std::memcmp(word, "WAVE", 4) != 0) {
        return fail(WaveReadError::NotWave);
    }
    if (!ReadExactAt(fd, word, 4, 16)) return fail(WaveReadError::NotWave);
    const uint64_t formatSize = GetU32(word);

    // The file must hold everything up to and including D at 24 + F.
    const uint64_t dataOffset = 28 + formatSize;
    if (dataOffset > fileSize || dataOffset > std::numeric_limits<uint32_t>::max()) {
        return fail(WaveReadError::NotWave);
    }

    const std::size_t bodySize = formatSize < kWaveFormatRecordSize
                                     ? static_cast<std::size_t>(formatSize)
                                     : kWaveFormatRecordSize;
    uint8_t body[kWaveFormatRecordSize];
    if (!ReadExactAt(fd, body, bodySize, 20)) return fail(WaveReadError::NotWave);
    WaveFormat format = DecodeWaveFormat(body, bodySize);

    if (!ReadExactAt(fd, word, 4, 24 + formatSize)) return fail(WaveReadError::NotWave);
    uint32_t dataSize = GetU32(word);

    const uint32_t blockSize = (uint32_t{format.bitsPerSample} * format.channels) / 8;
    if (blockSize == 0 || blockSize > std::numeric_limits<uint16_t>::max()) {
        return fail(WaveReadError::NotWave);
    }
    format.blockAlign = static_cast<uint16_t>(blockSize);

    const uint64_t present = fileSize - dataOffset;
    if (dataSize > present) dataSize = static_cast<uint32_t>(present);

    result.info.format = format;
    result.info.dataSize = dataSize;
    result.info.dataOffset = static_cast<uint32_t>(dataOffset);
    result.info.sampleCount = dataSize / blockSize;
    return result;
}

std::size_t WaveSampleBufferSize(const WaveFileInfo& info) {
    if (info.format.channels == 2) {
        return std::size_t{info.sampleCount} * (info.format.bitsPerSample / 8u);
    }
    return info.dataSize;
}

void ReadWaveSamples(WaveFile&& file, WaveFileInfo& info, std::vector<uint8_t>& out) {
    WaveFile owned(std::move(file));  // closed on every way out, exceptions included
    const int fd = owned.Descriptor();
    WaveFormat& format = info.format;

    if (format.channels == 2) {
        const std::size_t bytesPerSample = format.bitsPerSample / 8u;
        std::vector<uint8_t> frames(info.dataSize);
        ReadIntoBuffer(fd, frames.data(), frames.size(), info.dataOffset);
        out.resize(std::size_t{info.sampleCount} * bytesPerSample);
        // sampleCount * block >= sampleCount * 2 * bytesPerSample, so every
        // left sample lies inside the scratch buffer.
        KeepLeftChannel(frames.data(), out.data(), info.sampleCount, bytesPerSample);
        format.channels = 1;
        format.blockAlign = static_cast<uint16_t>(bytesPerSample);
        format.bytesPerSecond = static_cast<uint32_t>(format.sampleRate * bytesPerSample);
    } else {
        out.resize(info.dataSize);
        ReadIntoBuffer(fd, out.data(), out.size(), info.dataOffset);
    }
    owned.Close();
}

std::vector<uint8_t> ReadWaveSamples(WaveFile&& file, WaveFileInfo& info) {
    std::vector<uint8_t> samples;
    ReadWaveSamples(std::move(file), info, samples);
    return samples;
}

void CloseWaveFile(WaveFile&& file) {
    WaveFile owned(std::move(file));
    owned.Close();
}

bool WriteWaveFile(const std::string& path, const WaveFormat& format, const uint8_t* samples,
                   uint32_t count) {
    const uint64_t dataSize64 = uint64_t{count} * format.bitsPerSample / 8;
    if (dataSize64 > std::numeric_limits<uint32_t>::max() - 36u) return false;
    const auto dataSize = static_cast<uint32_t>(dataSize64);
    if (dataSize > 0 && samples == nullptr) return false;

    std::array<uint8_t, kWaveHeaderSize> header{};
    std::memcpy(&header[0], "RIFF", 4);
    PutU32(&header[4], 36 + dataSize);
    std::memcpy(&header[8], "WAVE", 4);
    std::memcpy(&header[12], "fmt ", 4);
    PutU32(&header[16], static_cast<uint32_t>(kWaveFormatChunkSize));
    const auto record = EncodeWaveFormat(format);
    std::memcpy(&header[20], record.data(), kWaveFormatChunkSize);
    std::memcpy(&header[36], "data", 4);
    PutU32(&header[40], dataSize);

    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;

    bool ok = WriteAll(fd, header.data(), header.size()) && WriteAll(fd, samples, dataSize);
    if (ok) ok = ::ftruncate(fd, static_cast<off_t>(kWaveHeaderSize + uint64_t{dataSize})) == 0;
    if (::close(fd) != 0) ok = false;
    return ok;
}

}  // namespace kestrune
