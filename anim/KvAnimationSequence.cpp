// Animations: sequences, positions, frames, and sequence editing.
//
// A sequence lies in the file until it is edited into memory the animation
// owns (seqOwned). Positions stay between 0 and the end position, whose entry
// is kAOEnd; edits keep that entry at the end, so that walks never leave the
// entries a sequence holds (seqLengths).
#include <algorithm>

#include "anim/KvAnimation.h"

void KvAnimation::computeLastSeqPos() {
    const int length = seqLengths[static_cast<size_t>(curSeq)];
    endPos = length - 1;
    for (int p = 0; p < length; ++p)
        if (seq[p].cel == kAOEnd) {
            endPos = p;
            return;
        }
}

void KvAnimation::setSequence(int s, int force) {
    s = std::clamp(s, 0, getNumberOfSeqs() - 1);
    if (!force && s == curSeq) return;
    curSeq = s;
    seq = seqTable[static_cast<size_t>(s)];
    seqPos = 0;
    lastSeqPos = 0;
    computeLastSeqPos();
}

void KvAnimation::setSequencePos(int pos, int force) {
    pos = std::clamp(pos, 0, endPos);
    if (!force && pos == seqPos) return;
    seqPos = pos;
    if (seq[pos].cel >= 0) processFrame(force);
}

int KvAnimation::framePosition(int n) const {
    for (int p = 0, frames = 0; p < endPos; ++p)
        if (seq[p].cel >= 0 && ++frames == n) return p;
    return endPos;
}

void KvAnimation::setFrame(int n, int force) {
    if (n <= 0) return;
    int pos = framePosition(n);
    if (pos == endPos)  // fewer frames: the last one
        while (pos > 0 && seq[pos].cel < 0) --pos;
    setSequencePos(pos, force);
    pause();
}

int KvAnimation::getFrame() const {
    int frames = 0;
    for (int p = 0; p <= seqPos; ++p) frames += seq[p].cel >= 0;
    return frames;
}

int KvAnimation::getNumberOfFrames() const {
    int frames = 0;
    for (int p = 0; p <= endPos; ++p) frames += seq[p].cel >= 0;
    return frames;
}

bool KvAnimation::isFrame(int pos) const {
    if (pos == -1) pos = seqPos;
    if (pos < 0 || pos > endPos) return false;
    return seq[pos].cel >= 0 || seq[pos].cel == kAONop;
}

const KvAOSequence& KvAnimation::getSeqEntry(int pos) const {
    return seq[pos == -1 ? seqPos : std::clamp(pos, 0, endPos)];
}

void KvAnimation::setStopPos(int pos) { stopPos = pos; }

void KvAnimation::setRepeat(int n) { repeat = n; }

int KvAnimation::hasChanged() const { return changed; }

// ---- editing ----

void KvAnimation::addSequence(const KvAOSequence* entries) {
    int count = 1;
    if (entries)
        while (count < kAOMaxSequenceEntries && entries[count - 1].cel != kAOEnd) ++count;
    auto* copy = new KvAOSequence[static_cast<size_t>(count)];
    if (entries) std::copy(entries, entries + count, copy);
    copy[count - 1] = entries && entries[count - 1].cel == kAOEnd ? entries[count - 1] : KvAOSequence{0, 0, kAOEnd, 0};
    seqTable.push_back(copy);
    seqLengths.push_back(count);
    seqOwned.push_back(1);
    seq = seqTable[static_cast<size_t>(curSeq)];
    changed = 1;
}

void KvAnimation::removeSequence(int s) {
    if (s == -1) s = curSeq;
    // An animation always keeps a sequence to be in.
    if (s < 0 || s >= getNumberOfSeqs() || getNumberOfSeqs() == 1) return;
    if (seqOwned[static_cast<size_t>(s)]) delete[] seqTable[static_cast<size_t>(s)];
    seqTable.erase(seqTable.begin() + s);
    seqLengths.erase(seqLengths.begin() + s);
    seqOwned.erase(seqOwned.begin() + s);
    setSequence(std::min(s, getNumberOfSeqs() - 1), 1);
    changed = 1;
}

void KvAnimation::setSeqEntry(short cel, short x, short y, short param, int pos) {
    setSeqEntry(KvAOSequence{x, y, cel, static_cast<uint16_t>(param)}, pos);
}

void KvAnimation::setSeqEntry(const KvAOSequence& entry, int pos) {
    if (pos == -1) pos = seqPos;
    if (pos < 0 || pos >= endPos) return;
    seq[pos] = entry;
    changed = 1;
}

void KvAnimation::ownCurrentSequence(int entries) {
    auto* grown = new KvAOSequence[static_cast<size_t>(entries)];
    std::copy(seq, seq + endPos + 1, grown);
    const size_t s = static_cast<size_t>(curSeq);
    if (seqOwned[s]) delete[] seqTable[s];
    seqTable[s] = seq = grown;
    seqLengths[s] = entries;
    seqOwned[s] = 1;
}

void KvAnimation::insertSeqEntry(short cel, short x, short y, short param, int pos) {
    insertSeqEntry(KvAOSequence{x, y, cel, static_cast<uint16_t>(param)}, pos);
}

void KvAnimation::insertSeqEntry(const KvAOSequence& entry, int pos) {
    if (pos == -1) pos = seqPos;
    if (pos < 0 || pos > endPos || endPos + 1 >= kAOMaxSequenceEntries) return;
    ownCurrentSequence(endPos + 2);
    std::copy_backward(seq + pos, seq + endPos + 1, seq + endPos + 2);
    seq[pos] = entry;
    ++endPos;
    if (lastSeqPos >= pos) ++lastSeqPos;
    if (seqPos >= pos) ++seqPos;
    changed = 1;
}

void KvAnimation::removeSeqEntry(int pos) {
    if (pos == -1) pos = seqPos;
    if (pos < 0 || pos >= endPos) return;
    if (pos == seqPos) setSequencePos(pos + 1, 0);
    if (seqPos > pos) --seqPos;
    if (lastSeqPos > pos) --lastSeqPos;
    std::copy(seq + pos + 1, seq + endPos + 1, seq + pos);
    --endPos;
    changed = 1;
}
