#include "analysis/BeatDetector.h"

#include <algorithm>

void BeatDetector::Reset()
{
    *this = BeatDetector();
}

int32_t BeatDetector::ClampThreshold(int32_t t)
{
    return std::clamp(t, kThresholdLow, kThresholdHigh);
}

void BeatDetector::DetectionStep(const SignalRings& rings, int32_t referenceRr)
{
    const int32_t d = position_;
    if (!(d + 9 < rings.energyCount))
        return;

    // Threshold decay: a third 144 samples after the last onset, then 5 % every 24 samples.
    const int32_t lastOnset = beats_[WrapIndex(beatCount_ + 19, kBeatRing)].onset;
    if (inQrs_ == 0 && current_.onset == 0 && (d - lastOnset) % 24 == 0) {
        const int32_t steps = (d - lastOnset) / 24;
        if (steps == 6)
            threshold_ = ClampThreshold(threshold_ * 2 / 3);
        else if (steps > 6)
            threshold_ = ClampThreshold(threshold_ * 95 / 100);
    }

    const int32_t effective = ClampThreshold(inQrs_ != 0 ? threshold_ / 4 : threshold_);
    const bool above = rings.Energy(d - 1) > effective;

    if (above && inQrs_ == 0) {
        // Walk back to where the energy has been below the marking level for most of 12 samples.
        std::array<int32_t, 52> mark{};
        int32_t count = 0;
        int32_t j = 0;
        for (; j < 52 && d + 6 - j >= 1; ++j) {
            mark[j] = rings.Energy(d + 5 - j) >= kThresholdLow ? 1 : 0;
            count += mark[j];
            if (j >= 12)
                count -= mark[j - 12];
            if (j >= 12 && count < 6) {
                j -= 12;
                break;
            }
        }
        if (d - refractory_ >= kRefractory) {
            current_.onset = d - j;
            refractory_ = current_.onset;
        }
        inQrs_ = 1;
    }
    if (inQrs_ != 0) {
        int32_t& peak = peaks_[WrapIndex(beatCount_, 4)];
        peak = std::max(peak, rings.Energy(d));
    }
    if (!above && inQrs_ != 0) {
        inQrs_ = 0;
        current_.end = d;
    }

    if (Abs32(d - current_.onset) < kRefractory || inQrs_ != 0 || current_.end == 0) {
        ++position_;
        return;
    }

    const int32_t width = Abs32(current_.end - current_.onset);
    if (width >= kNarrowest && width <= kWidest)
        Accept(rings, referenceRr);
    else
        Reject(width);

    peaks_[WrapIndex(beatCount_, 4)] = 0;
    current_ = BeatRecord();
    ++position_;
}

void BeatDetector::Accept(const SignalRings& rings, int32_t referenceRr)
{
    BeatRecord& b = current_;
    b.fiducial = (b.onset + b.end) / 2;
    const int32_t base = rings.Smoothed(b.onset - 4);
    int32_t maxPos = b.onset;
    int32_t minPos = b.onset;
    int32_t maxValue = rings.Smoothed(b.onset);
    int32_t minValue = maxValue;
    for (int32_t p = b.onset + 1; p < b.end; ++p) {
        const int32_t v = rings.Smoothed(p);
        if (v > maxValue) {
            maxValue = v;
            maxPos = p;
        }
        if (v < minValue) {
            minValue = v;
            minPos = p;
        }
    }
    const int32_t up = Abs32(maxValue - base);
    const int32_t down = Abs32(minValue - base);
    if (Abs32(up - down) > 20)
        b.fiducial = up > down ? maxPos : minPos;
    else
        b.fiducial = maxPos;

    b.rr = std::min<int32_t>(b.fiducial - beats_[WrapIndex(beatCount_ + 19, kBeatRing)].fiducial,
                             32767);
    b.width = std::clamp<int32_t>(b.end - b.onset, 0, 160);

    BeatRecord& slot = beats_[WrapIndex(beatCount_, kBeatRing)];
    b.wideNoise = static_cast<int8_t>(b.wideNoise + slot.wideNoise);
    b.narrowNoise = slot.narrowNoise;
    slot = b;

    const int32_t peak = peaks_[WrapIndex(beatCount_, 4)];
    if (beatCount_ > 0 && peak > 0) {
        int32_t sum = 0;
        for (int32_t j = 0; j < beatCount_; ++j)
            sum += peaks_[WrapIndex(beatCount_ - j, 4)];
        threshold_ = ClampThreshold(sum / beatCount_ / 3);
    }

    beatCount_ = static_cast<int8_t>(beatCount_ + 1);
    if (referenceRr != 0 && beatCount_ > 1) {
        const int32_t expected = referenceRr * 400 / 1000;
        // A beat off the record's rhythm by 20 % or more is dropped; the next beat's rr then
        // spans it.
        if (Abs32(b.rr - expected) >= expected * 20 / 100)
            beatCount_ = static_cast<int8_t>(beatCount_ - 1);
    }
}

void BeatDetector::Reject(int32_t width)
{
    BeatRecord& slot = beats_[WrapIndex(beatCount_, kBeatRing)];
    const int8_t wide = slot.wideNoise;
    const int8_t narrow = slot.narrowNoise;
    slot = BeatRecord();
    if (width > kWidest)
        slot.wideNoise = static_cast<int8_t>(wide + 1);
    else
        slot.narrowNoise = static_cast<int8_t>(narrow + 1);
}

void BeatDetector::AveragingStep(const SignalRings& rings)
{
    if (beatCount_ < 1)
        return;
    const BeatRecord& b = beats_[WrapIndex(beatCount_ - 1, kBeatRing)];
    // No rule types a beat 2, so every accepted beat is averaged; the test stays for the type.
    if (rings.smoothedCount - b.fiducial != kAverageAfter || b.fiducial < kBeatFiducial
        || b.beatType == kBeatTypeExcluded || beatCount_ == lastAveraged_)
        return;
    const int32_t level = rings.Smoothed(b.fiducial);
    for (int k = 0; k < kBeatSamples; ++k)
        sum_[k] += rings.Smoothed(b.fiducial - kBeatFiducial + k) - level;
    averagedCount_ = static_cast<uint8_t>(averagedCount_ + 1);
    lastAveraged_ = beatCount_;
}

bool BeatDetector::TakeAverageBeat(std::array<int32_t, kBeatSamples>& beat)
{
    if (averagedCount_ == 0) {
        beat.fill(0);
        return false;
    }
    for (int k = 0; k < kBeatSamples; ++k) {
        sum_[k] = sum_[k] / averagedCount_;
        beat[k] = sum_[k];
    }
    averagedCount_ = 0;
    return true;
}

bool BeatDetector::RrStatistics(int32_t& mean, int32_t& variance) const
{
    if (beatCount_ <= 1)
        return false;
    // Slot 0's rr has no previous beat and is skipped. Past 20 beats (over about 300 per
    // minute) the ring has turned and every slot holds a beat with a real predecessor, so all
    // 20 are used.
    const int first = beatCount_ > kBeatRing ? 0 : 1;
    const int last = beatCount_ > kBeatRing ? kBeatRing : beatCount_;
    const int32_t n = last - first;
    int32_t sum = 0;
    int32_t squares = 0;
    for (int slot = first; slot < last; ++slot) {
        sum += beats_[slot].rr;
        squares += beats_[slot].rr * beats_[slot].rr;
    }
    mean = sum / n;
    variance = squares / n - mean * mean;
    return true;
}

void RecordRhythm::Clear()
{
    *this = RecordRhythm();
}

void RecordRhythm::FinishLead(int lead, bool hasStatistics, int32_t mean, int32_t variance)
{
    if (hasStatistics) {
        statistics_[lead] = {mean, variance};
        // "Fixed" means fixed from a regular lead: a fallback chosen after lead V6 may still be
        // replaced by a regular lead of a following cycle of leads.
        if (!fixedFromRegularLead_ && variance < 400) {
            referenceRr_ = mean * 1000 / 400;
            fixedFromRegularLead_ = true;
        }
    }
    if (referenceRr_ != 0 || lead != kLeadV6)
        return;

    int32_t sum = 0;
    int32_t count = 0;
    for (const RrStatistic& s : statistics_)
        if (s.mean != 0 && s.variance < 11) {
            sum += s.mean;
            ++count;
        }
    if (count > 0) {
        referenceRr_ = sum / count * 1000 / 400;
        return;
    }
    int best = -1;
    for (int l = 0; l < kLeadCount; ++l)
        if (statistics_[l].mean != 0
            && (best < 0 || statistics_[l].variance <= statistics_[best].variance))
            best = l;
    if (best >= 0)
        referenceRr_ = statistics_[best].mean * 1000 / 400;
}
