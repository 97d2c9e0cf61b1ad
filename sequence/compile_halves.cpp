// Compiling the tracks of a long MA2 score in two halves at once, the upper half on a thread of
// its own.
//
// Once every "T" of the score is applied, one slot's steps no longer depend on another's: each
// slot writes only its own state and its own track, and a track's order sorts its events by
// time, kind, channel and the order the channel's slot made them, never by the order in which
// the scheduler stepped the slots. So each half runs the scheduler on a copy of the compiler, as
// if the other half's slots were done, and what each copy made for its slots is then taken into
// the compiler. Only the event cap and the choice of the fault to report look across slots, in
// step order; a half that fails, or two halves that make more events than the cap allows
// between them, are therefore thrown away, and the scheduler compiles the score in one.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include "core/compiler.h"
#include "core/seq_event.h"
#include "sequence/scheduler.h"

namespace {

// The end-of-track events that completing the tracks adds after the steps.
constexpr size_t kEndEvents = 5;

// Units of work that never share a list: the four tracks of four slots each, and the ADPCM slot.
constexpr int kUnits = 5;
uint32_t UnitSlots(int unit) { return unit < 4 ? 0xFu << (4 * unit) : 1u << kAdpcmSlot; }

// The bytes a slot has left to read, one more when it is live (a chain may be all it has left);
// SIZE_MAX when a "T" is among them.
size_t WorkLeft(CMmlCompiler& mc, const SlotProgress& progress, int slot) {
  if (progress.IsDone(slot)) {
    return 0;
  }
  const std::string& text = TextOf(mc, slot);
  const size_t cursor = std::min(progress.cursor[slot], text.size());
  if (std::memchr(text.data() + cursor, 'T', text.size() - cursor) != nullptr) {
    return SIZE_MAX;
  }
  return text.size() - cursor + 1;
}

// The live slots of the lower half, chosen so that the larger half has as little text as can
// be; 0 when the score is short, holds a "T" still to apply, or cannot be split.
uint32_t ChooseLowerHalf(CMmlCompiler& mc, const SlotProgress& progress) {
  if (mc.m_format != kFormatMa2 || mc.m_countInOrder || mc.m_eventCapSlot >= 0 ||
      mc.m_eventCount + kEndEvents >= kMaxEvents) {
    return 0;
  }
  size_t weight[kUnits] = {};
  size_t total = 0;
  for (int slot = 0; slot < kPartSlots; ++slot) {
    const size_t left = WorkLeft(mc, progress, slot);
    if (left == SIZE_MAX) {
      return 0;
    }
    weight[slot < kSequenceSlots ? slot / 4 : 4] += left;
    total += left;
  }
  if (total < mc.m_halvesFrom) {
    return 0;
  }
  uint32_t best = 0;
  size_t bestLarger = SIZE_MAX;
  for (uint32_t units = 1; units + 1 < (1u << kUnits); ++units) {
    size_t lower = 0;
    for (int unit = 0; unit < kUnits; ++unit) {
      lower += (units >> unit & 1u) != 0 ? weight[unit] : 0;
    }
    const size_t larger = std::max(lower, total - lower);
    if (lower != 0 && lower != total && larger < bestLarger) {
      best = units;
      bestLarger = larger;
    }
  }
  uint32_t slots = 0;
  for (int unit = 0; unit < kUnits; ++unit) {
    slots |= (best >> unit & 1u) != 0 ? UnitSlots(unit) : 0;
  }
  return slots & progress.Live();
}

// What the two halves tell each other while they run: the events each has made, so that both
// stop soon after together they make more than the cap leaves them, and whether one has failed.
// Either way the compile goes back to one, and what is left of the halves' work is wasted.
class HalvesWatch {
 public:
  HalvesWatch(size_t eventsBefore, size_t room) : before_(eventsBefore), room_(room) {}

  // The watch of the half `index` (0 or 1).
  class Side : public PassWatch {
   public:
    Side(HalvesWatch& shared, int index) : shared_(shared), index_(index) {}
    bool GoOn(const CMmlCompiler& half) override { return shared_.GoOn(index_, half); }
    void Failed() { shared_.failed_.store(true, std::memory_order_relaxed); }

   private:
    HalvesWatch& shared_;
    int index_;
  };

 private:
  bool GoOn(int index, const CMmlCompiler& half) {
    made_[index].store(half.m_eventCount - before_, std::memory_order_relaxed);
    return !failed_.load(std::memory_order_relaxed) &&
           made_[0].load(std::memory_order_relaxed) + made_[1].load(std::memory_order_relaxed) <=
               room_;
  }

  size_t before_;
  size_t room_;
  std::array<std::atomic<size_t>, 2> made_{};
  std::atomic<bool> failed_{false};
};

// One half: a copy of the compiler, where it stands, and how its compile ended.
struct Half {
  Half(CMmlCompiler& mc, const SlotProgress& from, uint32_t own)
      : compiler(CopyWithoutTextsOrEvents(mc)), progress(from), slots(own) {
    // The copy's events go into a pool of its own: two threads must not share one.
    auto pool = std::make_shared<EventBlockPool>();
    for (size_t track = 0; track < mc.m_trackEvents.size(); ++track) {
      CopyWithPool(compiler->m_trackEvents[track], mc.m_trackEvents[track], pool);
    }
    CopyWithPool(compiler->m_adpcmEvents, mc.m_adpcmEvents, pool);
    progress.done |= kAllSlots & ~slots;
  }

  // A copy of the compiler without the sequence texts, which the halves borrow (TextLoan), and
  // with empty event lists, which CopyWithPool fills.
  static std::unique_ptr<CMmlCompiler> CopyWithoutTextsOrEvents(CMmlCompiler& mc) {
    std::array<std::string, kSequenceSlots> texts;
    std::array<EventList, 4> tracks;
    EventList adpcmEvents;
    auto swapOut = [&] {
      std::swap(texts, mc.m_partText);
      std::swap(tracks, mc.m_trackEvents);
      std::swap(adpcmEvents, mc.m_adpcmEvents);
    };
    swapOut();
    std::unique_ptr<CMmlCompiler> copy;
    try {
      copy = std::make_unique<CMmlCompiler>(mc);
    } catch (...) {
      swapOut();  // back in
      throw;
    }
    swapOut();  // back in
    return copy;
  }

  // Makes the empty list `copy` hold the events of `original` in blocks of `pool`.
  static void CopyWithPool(EventList& copy, const EventList& original,
                           const EventList::PoolPointer& pool) {
    copy.SharePool(pool);
    for (const SeqEvent& event : original) {
      copy.Add(event);
    }
  }

  // Compiles the half's slots to their ends, numbering events from `serial` on, unless the
  // watch stops it first.
  void Compile(uint32_t serial, HalvesWatch::Side watch) {
    g_eventSerial = serial;
    CMmlCompiler& half = *compiler;
    half.m_liveSlots = progress.Live();
    half.m_slotTimes = progress.time.data();
    // Track by track: a track's events depend only on its own slots, which step in the same
    // order as among all the slots, and a track's slots and events stay in the cache.
    compiled = true;
    for (int unit = 0; unit < kUnits && compiled; ++unit) {
      if ((slots & UnitSlots(unit)) != 0) {
        compiled = RunHalfPasses(half, progress, UnitSlots(unit), watch);
      }
    }
    half.m_slotTimes = nullptr;
    if (!compiled) {
      watch.Failed();
    }
    // The half's tracks take their order here, on its own thread; the events completing the
    // tracks later go after them at little cost.
    for (int unit = 0; unit < kUnits && compiled; ++unit) {
      if ((slots & UnitSlots(unit)) != 0) {
        (unit < 4 ? half.m_trackEvents[unit] : half.m_adpcmEvents).Sort();
      }
    }
    lastSerial = g_eventSerial;
  }

  std::unique_ptr<CMmlCompiler> compiler;
  SlotProgress progress;
  uint32_t slots;
  bool compiled = false;
  uint32_t lastSerial = 0;
};

// Lends each half the sequence texts of its slots for as long as it lives. The halves read
// those texts and never change them, so borrowing them spares copying what is most of a long
// score's compiler.
class TextLoan {
 public:
  TextLoan(CMmlCompiler& mc, Half& lower, Half& upper) : mc_(mc), halves_{&lower, &upper} {
    Move(mc_, *lower.compiler, lower.slots);
    Move(mc_, *upper.compiler, upper.slots);
  }
  TextLoan(const TextLoan&) = delete;
  TextLoan& operator=(const TextLoan&) = delete;
  ~TextLoan() {
    for (Half* half : halves_) {
      Move(*half->compiler, mc_, half->slots);
    }
  }

 private:
  static void Move(CMmlCompiler& from, CMmlCompiler& to, uint32_t slots) {
    for (int k = 0; k < kSequenceSlots; ++k) {
      if ((slots >> k & 1u) != 0) {
        to.m_partText[k] = std::move(from.m_partText[k]);
      }
    }
  }

  CMmlCompiler& mc_;
  std::array<Half*, 2> halves_;
};

template <typename T, size_t N>
void TakeSlots(std::array<T, N>& into, std::array<T, N>& from, uint32_t slots) {
  for (size_t k = 0; k < N; ++k) {
    if ((slots >> k & 1u) != 0) {
      into[k] = std::move(from[k]);
    }
  }
}

// Takes what the half made for its slots into `mc`: their state, their tracks, the voices they
// used (after the first `usedBefore`, which every copy started with) and the events they
// counted (`made` of them).
void TakeHalf(CMmlCompiler& mc, SlotProgress& progress, Half& half, size_t usedBefore,
              size_t made) {
  CMmlCompiler& h = *half.compiler;
  const uint32_t slots = half.slots;
  TakeSlots(mc.m_transpose, h.m_transpose, slots);
  TakeSlots(mc.m_detune, h.m_detune, slots);
  TakeSlots(mc.m_defaultLength, h.m_defaultLength, slots);
  TakeSlots(mc.m_octave, h.m_octave, slots);
  TakeSlots(mc.m_gate, h.m_gate, slots);
  TakeSlots(mc.m_channelVoice, h.m_channelVoice, slots);
  TakeSlots(mc.m_fourOpPart, h.m_fourOpPart, slots);
  TakeSlots(mc.m_channelVolume, h.m_channelVolume, slots);
  TakeSlots(mc.m_tupletOpen, h.m_tupletOpen, slots);
  TakeSlots(mc.m_tupletNoteLength, h.m_tupletNoteLength, slots);
  TakeSlots(mc.m_partUsed, h.m_partUsed, slots);
  TakeSlots(mc.m_legatoPending, h.m_legatoPending, slots);
  TakeSlots(mc.m_carryLength, h.m_carryLength, slots);
  TakeSlots(mc.m_noteHigh, h.m_noteHigh, slots);
  TakeSlots(mc.m_noteLow, h.m_noteLow, slots);
  TakeSlots(mc.m_heldNote, h.m_heldNote, slots);
  TakeSlots(mc.m_heldStart, h.m_heldStart, slots);
  TakeSlots(mc.m_heldEvent, h.m_heldEvent, slots);
  TakeSlots(mc.m_plainChainUntil, h.m_plainChainUntil, slots);
  TakeSlots(mc.m_tempoFreeFrom, h.m_tempoFreeFrom, slots);
  TakeSlots(mc.m_tempoFreeUntil, h.m_tempoFreeUntil, slots);
  TakeSlots(mc.m_aheadTimes, h.m_aheadTimes, slots);
  TakeSlots(mc.m_aheadCounted, h.m_aheadCounted, slots);
  TakeSlots(mc.m_glides, h.m_glides, slots);
  for (int track = 0; track < 4; ++track) {
    if ((slots & UnitSlots(track)) != 0) {
      mc.m_trackEvents[track] = std::move(h.m_trackEvents[track]);
    }
  }
  if ((slots & UnitSlots(4)) != 0) {
    mc.m_adpcmEvents = std::move(h.m_adpcmEvents);
    mc.m_adpcmFileUsed = h.m_adpcmFileUsed;
    mc.m_adpcmPartText = std::move(h.m_adpcmPartText);  // a tie marks the note it takes in
  }
  // The voices are sorted once the compile is over.
  mc.m_usedVoices.insert(mc.m_usedVoices.end(),
                         h.m_usedVoices.begin() + static_cast<ptrdiff_t>(usedBefore),
                         h.m_usedVoices.end());
  mc.m_eventCount += made;
  TakeSlots(progress.cursor, half.progress.cursor, slots);
  TakeSlots(progress.time, half.progress.time, slots);
  progress.done |= slots;
}

}  // namespace

bool CompileInHalves(CMmlCompiler& mc, SlotProgress& progress) {
  const uint32_t lowerSlots = ChooseLowerHalf(mc, progress);
  if (lowerSlots == 0) {
    return false;
  }
  Half lower(mc, progress, lowerSlots);
  Half upper(mc, progress, progress.Live() & ~lowerSlots);
  TextLoan loan(mc, lower, upper);
  const uint32_t serial = g_eventSerial;
  HalvesWatch watch(mc.m_eventCount, kMaxEvents - kEndEvents - mc.m_eventCount);
  std::exception_ptr upperFault;
  {
    std::jthread thread;
    try {
      thread = std::jthread([&] {
        try {
          upper.Compile(serial, HalvesWatch::Side(watch, 1));
        } catch (...) {
          upperFault = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      return false;  // no thread to be had: the scheduler compiles in one
    }
    lower.Compile(serial, HalvesWatch::Side(watch, 0));
  }  // joins the thread
  if (upperFault) {
    std::rethrow_exception(upperFault);
  }
  g_eventSerial = serial;
  const size_t lowerMade = lower.compiler->m_eventCount - mc.m_eventCount;
  const size_t upperMade = upper.compiler->m_eventCount - mc.m_eventCount;
  if (!lower.compiled || !upper.compiled ||
      mc.m_eventCount + lowerMade + upperMade + kEndEvents > kMaxEvents) {
    return false;
  }
  const size_t usedBefore = mc.m_usedVoices.size();
  TakeHalf(mc, progress, lower, usedBefore, lowerMade);
  TakeHalf(mc, progress, upper, usedBefore, upperMade);
  // The events made after the halves must number after those of both.
  g_eventSerial = std::max(lower.lastSerial, upper.lastSerial);
  mc.m_liveSlots = progress.Live();
  return true;
}
