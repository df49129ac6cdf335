#include "mkdata/xm_writer.h"

#include "base/process.h"
#include "mkdata/byte_writer.h"

#include <string>

namespace {

[[noreturn]] void Refuse(const std::string& what) {
    std::string message = "XM writer: " + what;
    FatalError(message.c_str());
}

bool ValidVolumeColumn(uint8_t value) {
    return value == 0 || (value >= 0x10 && value <= 0x50) || value >= 0x60;
}

void CheckCell(const XmCell& cell, int instruments, const std::string& where) {
    if (cell.note > kXmKeyOff)
        Refuse(where + ": note value " + std::to_string(cell.note) + " is not 0..97");
    if (cell.instrument > instruments)
        Refuse(where + ": instrument " + std::to_string(cell.instrument) + " does not exist");
    if (!ValidVolumeColumn(cell.volume))
        Refuse(where + ": volume column value " + std::to_string(cell.volume) + " is invalid");
    if (cell.effect > kXmLastEffect)
        Refuse(where + ": effect type " + std::to_string(cell.effect) + " is not 0..35");
    if (cell.effect == kXmEffectSpeedTempo && cell.param == 0)
        Refuse(where + ": F00 stops some players");
}

void CheckEnvelope(const XmEnvelope& envelope, const std::string& where) {
    const size_t count = envelope.points.size();
    if (count > 12)
        Refuse(where + ": more than 12 envelope points");
    for (size_t i = 0; i < count; ++i) {
        if (envelope.points[i].value > 64)
            Refuse(where + ": envelope value above 64");
        if (i == 0 && envelope.points[i].tick != 0)
            Refuse(where + ": the first envelope point must be at tick 0");
        if (i > 0 && envelope.points[i].tick <= envelope.points[i - 1].tick)
            Refuse(where + ": envelope ticks must increase");
    }
    auto checkIndex = [&](int index, const char* what) {
        if (index >= int(count))
            Refuse(where + ": envelope " + what + " point out of range");
    };
    checkIndex(envelope.sustainPoint, "sustain");
    checkIndex(envelope.loopStart, "loop start");
    checkIndex(envelope.loopEnd, "loop end");
    if ((envelope.loopStart < 0) != (envelope.loopEnd < 0) || envelope.loopStart > envelope.loopEnd)
        Refuse(where + ": envelope loop needs a start at or before its end");
}

void CheckInstrument(const XmInstrument& instrument, int number) {
    const std::string where = "instrument " + std::to_string(number);
    const XmSample& sample = instrument.sample;
    if (instrument.name.size() > 22 || sample.name.size() > 22)
        Refuse(where + ": names are at most 22 characters");
    if (sample.frames.empty())
        Refuse(where + ": the sample is empty");
    if (sample.frames.size() > 0x7FFFFFFF / 2)
        Refuse(where + ": the sample is too long");
    const long long frames = (long long)sample.frames.size();
    if (sample.loop != XmLoop::None && (sample.loopLength <= 0 || sample.loopStart < 0 ||
                                        (long long)sample.loopStart + sample.loopLength > frames))
        Refuse(where + ": the loop must lie inside the sample and not be empty");
    if (sample.volume < 0 || sample.volume > 64)
        Refuse(where + ": default volume is not 0..64");
    if (sample.finetune < -128 || sample.finetune > 127 || sample.finetune % 8 != 0)
        Refuse(where + ": finetune must be a multiple of 8 in -128..120");
    if (sample.relativeNote < -96 || sample.relativeNote > 95)
        Refuse(where + ": relative note is not -96..95");
    if (sample.panning < 0 || sample.panning > 255)
        Refuse(where + ": panning is not 0..255");
    if (instrument.fadeout < 0 || instrument.fadeout > 0xFFF)
        Refuse(where + ": fadeout is not 0..0xFFF");
    const XmAutoVibrato& vibrato = instrument.vibrato;
    if (vibrato.waveform < 0 || vibrato.waveform > 3 || vibrato.sweep < 0 || vibrato.sweep > 255 ||
        vibrato.depth < 0 || vibrato.depth > 15 || vibrato.rate < 0 || vibrato.rate > 63)
        Refuse(where + ": auto-vibrato out of range");
    CheckEnvelope(instrument.volumeEnvelope, where);
}

void CheckModule(const XmModule& module) {
    if (module.name.size() > 20 || module.tracker.size() > 20)
        Refuse("module and tracker names are at most 20 characters");
    if (module.channels < 2 || module.channels > 32 || module.channels % 2 != 0)
        Refuse("the channel count must be even, 2..32");
    if (module.speed < 1 || module.speed > 31)
        Refuse("speed must be 1..31");
    if (module.bpm < 32 || module.bpm > 255)
        Refuse("BPM must be 32..255");
    if (module.orders.empty() || module.orders.size() > 256)
        Refuse("the order list must hold 1..256 entries");
    if (module.restart < 0 || module.restart >= int(module.orders.size()))
        Refuse("the restart position must lie inside the order list");
    if (module.patterns.empty() || module.patterns.size() > 256)
        Refuse("there must be 1..256 patterns");
    if (module.instruments.empty() || module.instruments.size() > 128)
        Refuse("there must be 1..128 instruments");
    for (int order : module.orders)
        if (order < 0 || order >= int(module.patterns.size()))
            Refuse("order entry " + std::to_string(order) + " names no pattern");
    const int instruments = int(module.instruments.size());
    for (size_t p = 0; p < module.patterns.size(); ++p) {
        const XmPattern& pattern = module.patterns[p];
        const std::string where = "pattern " + std::to_string(p);
        if (pattern.rows < 1 || pattern.rows > 256)
            Refuse(where + ": rows must be 1..256");
        if (pattern.cells.size() != size_t(pattern.rows) * size_t(module.channels))
            Refuse(where + ": cell count is not rows x channels");
        for (int row = 0; row < pattern.rows; ++row)
            for (int channel = 0; channel < module.channels; ++channel)
                CheckCell(pattern.At(row, channel, module.channels), instruments,
                          where + " row " + std::to_string(row) + " channel " +
                              std::to_string(channel));
    }
    for (int i = 0; i < instruments; ++i)
        CheckInstrument(module.instruments[size_t(i)], i + 1);
}

void WriteEnvelopePoints(ByteWriter& out, const XmEnvelope& envelope) {
    for (size_t i = 0; i < 12; ++i) {
        if (i < envelope.points.size()) {
            out.U16(envelope.points[i].tick);
            out.U16(envelope.points[i].value);
        } else {
            out.U32(0);
        }
    }
}

int EnvelopeType(const XmEnvelope& envelope) {
    if (envelope.points.empty())
        return 0;
    int type = 1;
    if (envelope.sustainPoint >= 0)
        type |= 2;
    if (envelope.loopStart >= 0)
        type |= 4;
    return type;
}

void WriteInstrument(ByteWriter& out, const XmInstrument& instrument) {
    const XmSample& sample = instrument.sample;
    const size_t start = out.bytes.size();
    out.U32(263); // header size, this field included
    out.Text(instrument.name, 22);
    out.U8(0);     // type
    out.U16(1);    // one sample
    out.U32(40);   // sample header size
    out.Zeros(96); // every note plays sample 0
    WriteEnvelopePoints(out, instrument.volumeEnvelope);
    WriteEnvelopePoints(out, XmEnvelope{}); // no panning envelope
    out.U8(int(instrument.volumeEnvelope.points.size()));
    out.U8(0);
    const XmEnvelope& volume = instrument.volumeEnvelope;
    out.U8(volume.sustainPoint >= 0 ? volume.sustainPoint : 0);
    out.U8(volume.loopStart >= 0 ? volume.loopStart : 0);
    out.U8(volume.loopEnd >= 0 ? volume.loopEnd : 0);
    out.U8(0); // panning sustain, loop start, loop end
    out.U8(0);
    out.U8(0);
    out.U8(EnvelopeType(volume));
    out.U8(0);
    out.U8(instrument.vibrato.waveform);
    out.U8(instrument.vibrato.sweep);
    out.U8(instrument.vibrato.depth);
    out.U8(instrument.vibrato.rate);
    out.U16(instrument.fadeout);
    out.Zeros(22); // reserved: players read tracker-specific settings here
    if (out.bytes.size() - start != 263)
        Refuse("internal: instrument header is not 263 bytes");

    // Sample header: lengths and loop positions in bytes.
    const bool looped = sample.loop != XmLoop::None;
    out.U32(uint32_t(sample.frames.size() * 2));
    out.U32(looped ? uint32_t(sample.loopStart) * 2 : 0);
    out.U32(looped ? uint32_t(sample.loopLength) * 2 : 0);
    out.U8(sample.volume);
    out.U8(sample.finetune & 0xFF);
    int type = 0x10; // 16-bit
    if (sample.loop == XmLoop::Forward)
        type |= 1;
    else if (sample.loop == XmLoop::PingPong)
        type |= 2;
    out.U8(type);
    out.U8(sample.panning);
    out.U8(sample.relativeNote & 0xFF);
    out.U8(0); // reserved; 0xAD would mean ADPCM
    out.Text(sample.name, 22);

    // Sample data: differences between consecutive frames, wrapping at 16 bits.
    int16_t previous = 0;
    for (int16_t value : sample.frames) {
        out.U16(uint16_t(uint16_t(value) - uint16_t(previous)));
        previous = value;
    }
}

} // namespace

std::vector<uint8_t> PackXmPattern(const XmPattern& pattern, int channels) {
    std::vector<uint8_t> packed;
    for (int row = 0; row < pattern.rows; ++row) {
        for (int channel = 0; channel < channels; ++channel) {
            const XmCell& cell = pattern.At(row, channel, channels);
            if (cell.note && cell.instrument && cell.volume && cell.effect && cell.param) {
                // Every field present: the plain 5-byte form is the shortest.
                packed.insert(packed.end(),
                              {cell.note, cell.instrument, cell.volume, cell.effect, cell.param});
                continue;
            }
            uint8_t flags = 0x80;
            if (cell.note)
                flags |= 0x01;
            if (cell.instrument)
                flags |= 0x02;
            if (cell.volume)
                flags |= 0x04;
            if (cell.effect)
                flags |= 0x08;
            if (cell.param)
                flags |= 0x10;
            packed.push_back(flags);
            if (cell.note)
                packed.push_back(cell.note);
            if (cell.instrument)
                packed.push_back(cell.instrument);
            if (cell.volume)
                packed.push_back(cell.volume);
            if (cell.effect)
                packed.push_back(cell.effect);
            if (cell.param)
                packed.push_back(cell.param);
        }
    }
    return packed;
}

std::vector<uint8_t> EncodeXm(const XmModule& module) {
    CheckModule(module);
    ByteWriter out;
    out.Text("Extended Module: ", 17);
    out.Text(module.name, 20);
    out.U8(0x1A);
    out.Text(module.tracker, 20);
    out.U16(0x0104);
    out.U32(276); // header size from this field to the end of the order table
    out.U16(int(module.orders.size()));
    out.U16(module.restart);
    out.U16(module.channels);
    out.U16(int(module.patterns.size()));
    out.U16(int(module.instruments.size()));
    out.U16(1); // linear frequency table
    out.U16(module.speed);
    out.U16(module.bpm);
    for (size_t i = 0; i < 256; ++i)
        out.U8(i < module.orders.size() ? module.orders[i] : 0);

    for (size_t p = 0; p < module.patterns.size(); ++p) {
        const XmPattern& pattern = module.patterns[p];
        std::vector<uint8_t> packed = PackXmPattern(pattern, module.channels);
        if (packed.size() > 0xFFFF)
            Refuse("pattern " + std::to_string(p) + " packs to more than 65535 bytes");
        out.U32(9);
        out.U8(0);
        out.U16(pattern.rows);
        out.U16(int(packed.size()));
        out.Append(packed);
    }
    for (const XmInstrument& instrument : module.instruments)
        WriteInstrument(out, instrument);
    return out.bytes;
}
