// Reading and writing RIFF/WAVE files holding uncompressed PCM samples.
//
// The reader does not walk the RIFF chunk list. It reads a few fields at fixed
// positions and derives the position of the samples from the size of the
// format chunk, F:
//
//   offset 8        "WAVE"                  (nothing else of the RIFF header is examined)
//   offset 16       F, unsigned 32
//   offset 20       format body, at most 18 bytes kept (F = 16: extraSize stays 0)
//   offset 20 + F   not examined (whatever chunk follows "fmt " is taken as the data)
//   offset 24 + F   D, unsigned 32, the byte count of the samples
//   offset 28 + F   the first sample byte
//
// Reading happens in two steps, ReadWaveHeader then ReadWaveSamples, so that a
// caller can check the format in between (and close the file with
// CloseWaveFile if it does not like it). ReadWaveSamples turns a two-channel
// file into a mono one by keeping the left channel.
//
// Hostile or damaged files never crash the reader and never make it allocate
// more than the file holds:
//  - A file that ends before the 4 bytes at offset 8, before F, before the
//    format body or before D is NotWave. Offsets are computed in 64 bits, so a
//    huge F (up to 0xFFFFFFFF) is simply "beyond the end of the file". A
//    dataOffset (28 + F) that does not fit 32 bits is NotWave too.
//  - A block size (bitsPerSample * channels / 8) of 0 is NotWave: the sample
//    count would need a division by zero. A block size above 65535 cannot be
//    stored in blockAlign and is NotWave as well.
//  - A data size D larger than what the file holds after dataOffset is cut to
//    the bytes actually present; sampleCount follows from the cut size. If the
//    file shrinks between the two steps, the unread tail of the buffer is zero.
//  - Only regular files are read: a directory, a device or a pipe is
//    CannotOpen.
//  - The file is opened for reading and writing (nothing is ever written
//    through it), so a file that may not be written is CannotOpen. Because a
//    privileged process may open any file for writing, a regular file with no
//    write permission bit at all is treated as read-only and is CannotOpen too.
//  - Files with more than two channels are read unchanged: the buffer holds
//    the interleaved frames, sampleCount counts frames and channels stays as
//    the file states it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrune {

// The 18-byte PCM format record, held in memory and stored (its first 16
// bytes) as the body of a file's format chunk. On disk it is little-endian
// and packed; EncodeWaveFormat/DecodeWaveFormat do that conversion explicitly.
struct WaveFormat {
    uint16_t formatTag = 0;       // 1 = PCM; written as held, never checked on reading
    uint16_t channels = 0;        // interleaved channels per frame
    uint32_t sampleRate = 0;      // frames per second
    uint32_t bytesPerSecond = 0;  // sampleRate * blockAlign for PCM
    uint16_t blockAlign = 0;      // bytes per frame
    uint16_t bitsPerSample = 0;   // 8 (unsigned samples) or 16 (signed little-endian)
    uint16_t extraSize = 0;       // kept in memory only, never written to a file

    bool operator==(const WaveFormat&) const = default;
};

/** A PCM format record: tag 1, blockAlign = channels x bits / 8 and
 *  bytesPerSecond = rate x blockAlign. */
WaveFormat PcmFormat(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample);

inline constexpr std::size_t kWaveFormatRecordSize = 18;
// The part of the record that the writer stores in the format chunk.
inline constexpr std::size_t kWaveFormatChunkSize = 16;
// Header size of every file the writer produces.
inline constexpr std::size_t kWaveHeaderSize = 44;

// The record as its 18 little-endian bytes.
std::array<uint8_t, kWaveFormatRecordSize> EncodeWaveFormat(const WaveFormat& format);

// Decodes the first `size` bytes of a record (size is clamped to 18). Fields
// not fully covered by those bytes are 0, so a 16-byte body leaves extraSize 0.
WaveFormat DecodeWaveFormat(const uint8_t* bytes, std::size_t size);

// Result of the header step.
struct WaveFileInfo {
    WaveFormat format;         // blockAlign replaced by the computed block size
    uint32_t dataSize = 0;     // D, cut to the bytes the file holds after dataOffset
    uint32_t dataOffset = 0;   // 28 + F
    uint32_t sampleCount = 0;  // dataSize / block size: the number of frames

    bool operator==(const WaveFileInfo&) const = default;
};

enum class WaveReadError { CannotOpen, NotWave };

// An open wave file between the header step and the sample step. Owns a POSIX
// file descriptor; closes it when destroyed. Move-only.
class WaveFile {
  public:
    WaveFile() = default;
    explicit WaveFile(int fd) : fd_(fd) {}
    ~WaveFile();

    WaveFile(WaveFile&& other) noexcept;
    WaveFile& operator=(WaveFile&& other) noexcept;
    WaveFile(const WaveFile&) = delete;
    WaveFile& operator=(const WaveFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    void Close();

  private:
    int fd_ = -1;
};

struct WaveHeaderResult {
    WaveFile file;                       // open when error is empty
    WaveFileInfo info;                   // meaningful when error is empty
    std::optional<WaveReadError> error;  // set when the header step failed

    bool Ok() const { return !error.has_value(); }
};

// Opens `path` and reads its header. On failure nothing stays open.
WaveHeaderResult ReadWaveHeader(const std::string& path);

// Size in bytes of the buffer ReadWaveSamples will return for `info`: for a
// two-channel file sampleCount * (bitsPerSample / 8), otherwise dataSize.
std::size_t WaveSampleBufferSize(const WaveFileInfo& info);

// Reads the samples and closes the file. A two-channel file is reduced to its
// left channel and info.format is updated to one channel (channels 1,
// blockAlign = bitsPerSample / 8, bytesPerSecond = sampleRate * blockAlign).
// May throw std::bad_alloc.
std::vector<uint8_t> ReadWaveSamples(WaveFile&& file, WaveFileInfo& info);

// The same into a caller's buffer, which is resized to
// WaveSampleBufferSize(info) (allocate it to that size beforehand to make the
// call allocation-free for a mono file).
void ReadWaveSamples(WaveFile&& file, WaveFileInfo& info, std::vector<uint8_t>& out);

// Closes the file without reading the samples.
void CloseWaveFile(WaveFile&& file);

// Creates or truncates `path` (mode 0644) and writes a 44-byte header followed
// by D = count * bitsPerSample / 8 bytes taken from `samples`. The header
// stores the first 16 bytes of `format` as they are. Returns true when every
// byte reached the file and the file was closed cleanly; false when the file
// could not be created or written, or when D + 36 does not fit 32 bits (then
// the file is not touched).
bool WriteWaveFile(const std::string& path, const WaveFormat& format, const uint8_t* samples,
                   uint32_t count);

}  // namespace kestrune
