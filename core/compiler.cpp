#include "core/compiler.h"

#include <memory>
#include <utility>

#include "core/sjis.h"

namespace {
constexpr std::string_view kDataTooLarge = "パート データが大きすぎます。";
}  // namespace

CMmlCompiler::CMmlCompiler()
    : m_ma1Voices(BuiltInMa1Voices()),
      m_ma2FourOpVoices(BuiltInMa2FourOpVoices()),
      m_ma2Voices(BuiltInMa2Voices()) {
  m_defaultLength.fill(320000);
  m_octave.fill(4);
  m_gate.fill(8);
  m_channelVoice.fill(-1);
  m_channelVolume.fill(-1);
  m_noteLow.fill(108);
  m_heldNote.fill(-1);
  // One pool for all tracks: a long score maps slabs for its events, not for each track.
  auto pool = std::make_shared<EventBlockPool>();
  for (EventList& track : m_trackEvents) {
    track.SharePool(pool);
  }
  m_adpcmEvents.SharePool(pool);
}

void CMmlCompiler::SetFormat(int format) { m_format = format; }

std::string CMmlCompiler::GetErrorText() const { return m_errorText; }

bool CMmlCompiler::Fail(std::string message) {
  m_errorText = std::move(message);
  return false;
}

std::string CMmlCompiler::PartLabel(int slot) const {
  return slot == kAdpcmSlot ? std::string("A") : m_partName[slot];
}

bool CMmlCompiler::FailPart(int slot, std::string_view utf8Tail) {
  return Fail(PartLabel(slot) + Sjis(utf8Tail));
}

namespace {

// Step order: time, then slot.
bool StepBefore(int64_t time, int slot, int64_t otherTime, int otherSlot) {
  return time != otherTime ? time < otherTime : slot < otherSlot;
}

}  // namespace

EventList::Handle CMmlCompiler::RefuseEvent(int slot) {
  if (!m_countInOrder) {
    // The store is full. Steps sounded ahead of this one made events that step order makes
    // later; until they come, that order has room for as many events.
    m_countInOrder = true;
    size_t ahead = 0;
    for (int s = 0; s < kSequenceSlots; ++s) {
      const std::vector<int64_t>& times = m_aheadTimes[s];
      size_t before = 0;
      while (before < times.size() && StepBefore(times[before], s, m_stepTime, m_stepSlot)) {
        ++before;
      }
      m_aheadCounted[s] = before;
      ahead += times.size() - before;
    }
    m_eventsInOrder = m_eventCount - ahead;
  }
  if (m_eventsInOrder < kMaxEvents) {
    // Made in step order, but not stored: the steps ahead still to be counted take the order
    // past the cap, so the compile fails before its events are needed.
    ++m_eventsInOrder;
  } else if (m_eventCapSlot < 0) {
    m_eventCapSlot = slot;
  }
  return kNoEvent;
}

bool CMmlCompiler::CountStepsAheadBefore(int64_t time, int slot) {
  for (;;) {
    // The earliest step ahead not yet counted, in step order.
    int first = -1;
    for (int s = 0; s < kSequenceSlots; ++s) {
      const size_t i = m_aheadCounted[s];
      if (i < m_aheadTimes[s].size() &&
          (first < 0 ||
           StepBefore(m_aheadTimes[s][i], s, m_aheadTimes[first][m_aheadCounted[first]], first))) {
        first = s;
      }
    }
    if (first < 0 || !StepBefore(m_aheadTimes[first][m_aheadCounted[first]], first, time, slot)) {
      return true;
    }
    ++m_aheadCounted[first];
    if (m_eventsInOrder >= kMaxEvents) {
      if (m_eventCapSlot < 0) {
        m_eventCapSlot = first;
      }
      return false;
    }
    ++m_eventsInOrder;
  }
}

bool CMmlCompiler::CheckEventCap(bool stepped) {
  if (m_eventCapSlot >= 0) {
    m_errorPlace = {};  // the cap belongs to the whole compile, not to the step's command
    return FailPart(m_eventCapSlot, kDataTooLarge);
  }
  return stepped;
}
