#include "core/compiler.h"

#include <memory>
#include <utility>

#include "core/messages.h"
#include "core/sjis.h"

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
}

void CMmlCompiler::SetFormat(int format) { m_format = format; }

std::string CMmlCompiler::GetErrorText() const { return m_errorText; }

bool CMmlCompiler::Fail(std::string message) {
  m_errorText = std::move(message);
  return false;
}

std::string CMmlCompiler::PartLabel(int slot) const {
  return slot == kAdpcmSlot ? std::string(messages::frontend::kAdpcmLabel) : m_partName[slot];
}

bool CMmlCompiler::FailPart(int slot, std::string_view utf8Tail) {
  return Fail(PartLabel(slot) + Sjis(utf8Tail));
}

EventList::Handle CMmlCompiler::RefuseEvent(int slot) {
  if (m_eventCapSlot < 0) {
    m_eventCapSlot = slot;
  }
  return kNoEvent;
}

bool CMmlCompiler::CheckEventCap(bool stepped) {
  if (m_eventCapSlot >= 0) {
    m_errorPlace = {};  // the cap belongs to the whole compile, not to the step's command
    return FailPart(m_eventCapSlot, messages::core::kPartDataTooLarge);
  }
  return stepped;
}
