// Compiling the tracks of a long MA2 score in two halves at once, the second half on a thread
// of its own.
//
// Once every "T" of the score is applied, one slot's steps no longer depend on another's: each
// slot writes only its own state and its own track, and a track's order sorts its events by
// time, kind, channel and the order the channel's slot made them, never by the order in which
// the scheduler stepped the slots. So each half runs the scheduler on a copy of the compiler, as
// if the other half's slots were done, and what each copy made for its slots is then taken into
// the compiler. Only the event cap and the choice of the fault to report look across slots, in
// step order; a half that fails, or two halves that make more events than the cap allows
// between them, are therefore thrown away, and the scheduler compiles the score in one.
//
// The halves share out the units of work (a track, or the ADPCM part) as they go, the longest
// first: each takes the next unit left when it is done with one. A processor that runs slower
// than the other, being busy with other work, then compiles fewer tracks instead of holding up
// the compile.

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
#include <vector>

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

// The units with slots still to compile, the most text first; none when the score is short,
// holds a "T" still to apply, or has fewer than two such units.
std::vector<int> UnitsToShare(CMmlCompiler& mc, const SlotProgress& progress) {
  if (mc.m_format != kFormatMa2 || mc.m_countInOrder || mc.m_eventCapSlot >= 0 ||
      mc.m_eventCount + kEndEvents >= kMaxEvents) {
    return {};
  }
  std::array<size_t, kUnits> weight{};
  size_t total = 0;
  for (int slot = 0; slot < kPartSlots; ++slot) {
    const size_t left = WorkLeft(mc, progress, slot);
    if (left == SIZE_MAX) {
      return {};
    }
    weight[slot < kSequenceSlots ? slot / 4 : 4] += left;
    total += left;
  }
  std::vector<int> units;
  for (int unit = 0; unit < kUnits; ++unit) {
    if (weight[unit] != 0) {
      units.push_back(unit);
    }
  }
  if (total < mc.m_halvesFrom || units.size() < 2) {
    return {};
  }
  std::stable_sort(units.begin(), units.end(), [&](int a, int b) { return weight[a] > weight[b]; });
  return units;
}

// What the two halves share while they run: the units left to compile; the events each has
// made, so that both stop soon after together they make more than the cap leaves them; and
// whether one has failed. Either way the compile goes back to one, and what is left of the
// halves' work is wasted.
class HalvesWatch {
 public:
  HalvesWatch(size_t eventsBefore, size_t room, std::vector<int> units)
      : before_(eventsBefore), room_(room), units_(std::move(units)) {}

  // The next unit for a half to compile; -1 when none is left or the compile stops.
  int NextUnit() {
    const size_t next = taken_.fetch_add(1, std::memory_order_relaxed);
    return next < units_.size() && !failed_.load(std::memory_order_relaxed) ? units_[next] : -1;
  }

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
  std::vector<int> units_;
  std::atomic<size_t> taken_{0};
  std::array<std::atomic<size_t>, 2> made_{};
  std::atomic<bool> failed_{false};
};

// One half: a copy of the compiler, where it stands, the slots of the units it took, and how
// its compile ended.
struct Half {
  explicit Half(CMmlCompiler& mc, const SlotProgress& from)
      : compiler(CopyWithoutTextsOrEvents(mc)), progress(from) {
    // The copy's events go into a pool of its own: two threads must not share one.
    auto pool = std::make_shared<EventBlockPool>();
    for (size_t track = 0; track < mc.m_trackEvents.size(); ++track) {
      CopyWithPool(compiler->m_trackEvents[track], mc.m_trackEvents[track], pool);
    }
    CopyWithPool(compiler->m_adpcmEvents, mc.m_adpcmEvents, pool);
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

  std::unique_ptr<CMmlCompiler> compiler;
  SlotProgress progress;
  uint32_t slots = 0;
  bool compiled = true;
  uint32_t lastSerial = 0;
};

// Lends each half the sequence texts of the units it takes, until the halves are over. The
// halves read those texts and never change them, so borrowing them spares copying what is most
// of a long score's compiler. Each unit's texts are lent on the thread that takes it; the two
// threads never touch the same text.
class TextLoan {
 public:
  TextLoan(CMmlCompiler& mc, Half& first, Half& second) : mc_(mc), halves_{&first, &second} {}
  TextLoan(const TextLoan&) = delete;
  TextLoan& operator=(const TextLoan&) = delete;
  ~TextLoan() {
    for (Half* half : halves_) {
      Move(*half->compiler, mc_, half->slots);
    }
  }

  // Gives `half` the unit's slots and their texts.
  void Lend(Half& half, int unit) {
    half.slots |= UnitSlots(unit);
    Move(mc_, *half.compiler, UnitSlots(unit));
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

// Compiles the units the watch hands out to `half` to their ends, numbering events from
// `serial` on, until none is left, one fails, or the watch stops the halves.
void CompileHalf(Half& half, TextLoan& loan, uint32_t serial, HalvesWatch& shared, int index) {
  g_eventSerial = serial;
  HalvesWatch::Side watch(shared, index);
  CMmlCompiler& copy = *half.compiler;
  copy.m_liveSlots = half.progress.Live();
  copy.m_slotTimes = half.progress.time.data();
  // Track by track: a track's events depend only on its own slots, which step in the same
  // order as among all the slots, and a track's slots and events stay in the cache.
  while (half.compiled) {
    const int unit = shared.NextUnit();
    if (unit < 0) {
      break;
    }
    loan.Lend(half, unit);
    half.compiled = RunHalfPasses(copy, half.progress, UnitSlots(unit), watch);
    if (half.compiled) {
      // The track takes its order here, on the half's own thread; the events completing the
      // tracks later go after them at little cost.
      (unit < 4 ? copy.m_trackEvents[unit] : copy.m_adpcmEvents).Sort();
    }
  }
  copy.m_slotTimes = nullptr;
  if (!half.compiled) {
    watch.Failed();
  }
  half.lastSerial = g_eventSerial;
}

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
  std::vector<int> units = UnitsToShare(mc, progress);
  if (units.empty()) {
    return false;
  }
  Half first(mc, progress);
  Half second(mc, progress);
  TextLoan loan(mc, first, second);
  const uint32_t serial = g_eventSerial;
  HalvesWatch watch(mc.m_eventCount, kMaxEvents - kEndEvents - mc.m_eventCount, std::move(units));
  std::exception_ptr secondFault;
  {
    std::jthread thread;
    try {
      thread = std::jthread([&] {
        try {
          CompileHalf(second, loan, serial, watch, 1);
        } catch (...) {
          secondFault = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      return false;  // no thread to be had: the scheduler compiles in one
    }
    CompileHalf(first, loan, serial, watch, 0);
  }  // joins the thread
  if (secondFault) {
    std::rethrow_exception(secondFault);
  }
  g_eventSerial = serial;
  const size_t firstMade = first.compiler->m_eventCount - mc.m_eventCount;
  const size_t secondMade = second.compiler->m_eventCount - mc.m_eventCount;
  if (!first.compiled || !second.compiled ||
      mc.m_eventCount + firstMade + secondMade + kEndEvents > kMaxEvents) {
    return false;
  }
  const size_t usedBefore = mc.m_usedVoices.size();
  TakeHalf(mc, progress, first, usedBefore, firstMade);
  TakeHalf(mc, progress, second, usedBefore, secondMade);
  // The events made after the halves must number after those of both.
  g_eventSerial = std::max(first.lastSerial, second.lastSerial);
  mc.m_liveSlots = progress.Live();
  return true;
}
