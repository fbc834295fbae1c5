#include "device/StreamDecoder.h"

void StreamDecoder::OnSerialByte(uint8_t byte)
{
    block_[blockFill_++] = byte;
    if (blockFill_ == kByteBlockSize) {
        blockFill_ = 0;
        DecodeBlock(block_.data(), kByteBlockSize);
    }
}

void StreamDecoder::DecodeBlock(const uint8_t* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (b == kFillerByte) {
            // Filler byte: ends whatever unit was being assembled and is otherwise skipped.
            unitFill_ = 0;
        } else if (b & 0x80) {
            unit_[0] = b;
            unitFill_ = 1;
        } else if (unitFill_ > 0) {
            unit_[unitFill_++] = b;
            if (unitFill_ == kPacketBytes) {
                unitFill_ = 0;
                const int16_t sample = ProcessPacket(unit_);
                if (feed_ && liveUnits_ % 2 == 0)
                    feed_->PushSample(sample + kLiveSampleOffset);
                ++liveUnits_;
            }
        }
        // Data bytes without a start byte before them are skipped: resynchronisation.

        if (feed_)
            feed_->ProcessSample(currentLead_);
        if (latestLead_ != currentLead_) {
            if (feed_) {
                feed_->FinishLead(currentLead_);
                feed_->ResetLeadState();
                feed_->EmptyInput();
            }
            liveUnits_ = 0;
            currentLead_ = latestLead_;
        }
    }
}

PacketFields StreamDecoder::DecodeFields(const DevicePacket& packet)
{
    const PacketFields fields = ExtractFields(packet.data());
    latestLead_ = fields.leadIndex;
    return fields;
}

int16_t StreamDecoder::ProcessPacket(const DevicePacket& packet)
{
    // Playback hands over whatever a file holds; a filler unit there is skipped as well.
    if (IsFiller(packet.data()))
        return kBaseline;
    const PacketFields fields = DecodeFields(packet);
    if (!sink_)
        return fields.sample;

    const PacketModes modes = sink_->Modes();
    if (!modes.recording && !modes.playback && !fields.validFlag)
        return fields.sample;
    if (!sink_->RecordStep(packet, fields))
        return fields.sample;
    if (modes.review)
        return fields.sample;

    const uint32_t d = static_cast<uint32_t>(Decimation(modes.speedIndex));
    const uint32_t c = ++displayCounter_;
    const int16_t shown = peakHold_.Take(c, d, fields.sample);
    if (c % d == 0) {
        sink_->DrawPoint(fields.leadIndex, shown);
        sink_->UpdateLeadLabels(fields.leadIndex, modes.speedIndex + 1, fields.gainCode + 1,
                                fields.filterCode, fields.modeFlag, fields.rangeFlag);
    }
    return fields.sample;
}
