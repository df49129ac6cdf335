#include "mkdata/wav_file.h"

#include "mkdata/byte_writer.h"

#include <algorithm>
#include <cstdio>

bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, int sampleRate) {
    constexpr uint32_t kChannels = 2, kBytesPerSample = 2;
    constexpr uint32_t kHeaderAfterSize = 36; // the RIFF size counts from "WAVE" on
    if (samples.size() > (UINT32_MAX - kHeaderAfterSize) / kBytesPerSample || sampleRate <= 0)
        return false;
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * kBytesPerSample);
    ByteWriter header;
    header.Tag("RIFF");
    header.U32(kHeaderAfterSize + dataBytes);
    header.Tag("WAVE");
    header.Tag("fmt ");
    header.U32(16);
    header.U16(1); // PCM
    header.U16(kChannels);
    header.U32(static_cast<uint32_t>(sampleRate));
    header.U32(static_cast<uint32_t>(sampleRate) * kChannels * kBytesPerSample); // bytes a second
    header.U16(kChannels * kBytesPerSample);                                     // bytes a frame
    header.U16(16);                                                              // bits a sample
    header.Tag("data");
    header.U32(dataBytes);

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written =
        std::fwrite(header.bytes.data(), 1, header.bytes.size(), file) == header.bytes.size();
    // The samples in pieces, so that a long render is not held twice in memory.
    constexpr size_t kPiece = 1 << 16;
    for (size_t first = 0; written && first < samples.size(); first += kPiece) {
        ByteWriter piece;
        piece.Samples16(samples.data() + first, std::min(kPiece, samples.size() - first));
        written =
            std::fwrite(piece.bytes.data(), 1, piece.bytes.size(), file) == piece.bytes.size();
    }
    return std::fclose(file) == 0 && written;
}
